#include "settings/PerUser.h"

#include <vector>

#include "platform/platform.h"
#include "settings/Text.h"

namespace ombrels {
namespace {

constexpr std::size_t kUserNameCapacity = 253;

}  // namespace

std::string GetCurrentUserName() {
  try {
    const auto name = platform::os().LogonName(kUserNameCapacity);
    if (!name) return "error";
    return std::string(Trim(std::string_view(*name)));
  } catch (...) {
    return "error";
  }
}

bool ForceDirectoryChain(const std::string& path, std::vector<std::string>* created) {
  auto& os = platform::os();
  constexpr char sep = platform::kPathSeparator;

  // Only a separator that is a character of its own ends the path or a
  // prefix: a trail byte of a double-byte character never does.
  std::size_t last = std::string::npos;
  for (std::size_t pos = 0; pos < path.size(); pos += os.CharLength(path, pos)) last = pos;
  const bool trailing = last != std::string::npos && path[last] == sep;
  if ((trailing ? last : path.size()) == 0) return false;

  for (std::size_t pos = 0;; pos += os.CharLength(path, pos)) {
    const bool atEnd = pos == path.size();
    if (atEnd ? !trailing : path[pos] == sep) {
      const std::string prefix = path.substr(0, pos) + sep;
      if (!os.IsDirectory(prefix)) {
        if (!os.MakeDirectory(prefix)) return false;
        if (created) created->push_back(prefix);
      }
    }
    if (atEnd) return true;
  }
}

}  // namespace ombrels
