// wdxquery: loads a content plugin the way a file manager does, lists its
// fields and asks it for the value of one field for each file given; with
// --explain, shows how each value comes about.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tools/Explain.h"
#include "tools/PluginModule.h"

namespace {

constexpr int kHostValueBuffer = 2049;  // what the hosts pass for a string field
constexpr int kHostNameBuffer = 256;

// Names the module: the first argument after the options, when it ends in
// the host's module extension.
bool IsModuleName(const std::string& arg) {
  auto endsWith = [&arg](const std::string& ending) {
    return arg.size() >= ending.size() &&
           std::equal(ending.rbegin(), ending.rend(), arg.rbegin(), [](char a, char b) {
             return a == std::tolower(static_cast<unsigned char>(b));
           });
  };
  return endsWith(".wdx") || endsWith(".wdx64");
}

std::string DefaultModuleName() {
  const auto paths = wdxhost::DefaultModulePaths();
  if (paths.empty()) return "the module";
  const auto& path = paths.front();
  return path.substr(path.find_last_of("\\/") + 1);
}

int Usage(const char* self) {
  std::fprintf(stderr,
               "usage: %s [--maxlen N] [--field N] [MODULE] [FILE...]\n"
               "       %s --explain [--maxlen N] [--field N] [MODULE] FILE...\n"
               "  Lists MODULE's fields, then prints FILE, the result code and the value\n"
               "  of field N (default 0), asked with a buffer of N bytes (default %d).\n"
               "  --explain prints instead, for each FILE, the road its value takes, step\n"
               "  by step: the install directory in the registry, the settings file in\n"
               "  force, the file's entry in it (or keys spelt otherwise), the language\n"
               "  file; then the value, and MODULE's own answer. Exit status 3 when the\n"
               "  two differ.\n"
               "  The first argument after the options is MODULE when its name ends in\n"
               "  .wdx or .wdx64 (in any letter case); every other argument is a FILE.\n"
               "  Without MODULE, the tool loads %s from its own folder.\n",
               self, self, kHostValueBuffer, DefaultModuleName().c_str());
  return 2;
}

bool ParseInt(const char* text, int& out) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (!*text || *end || value < -2147483647L - 1 || value > 2147483647L) return false;
  out = static_cast<int>(value);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int maxlen = kHostValueBuffer;
  int field = 0;
  bool explain = false;
  int arg = 1;
  for (; arg < argc && argv[arg][0] == '-' && argv[arg][1] == '-'; ++arg) {
    const std::string option = argv[arg];
    if (option == "--") {
      ++arg;
      break;
    }
    if (option == "--explain") {
      explain = true;
    } else if ((option == "--maxlen" || option == "--field") && arg + 1 < argc) {
      if (!ParseInt(argv[++arg], option == "--maxlen" ? maxlen : field)) {
        std::fprintf(stderr, "%s: %s needs a whole number, not '%s'\n", argv[0], option.c_str(),
                     argv[arg]);
        return 2;
      }
    } else {
      std::fprintf(
          stderr, "%s: %s '%s'\n", argv[0],
          option == "--maxlen" || option == "--field" ? "a number must follow" : "unknown option",
          option.c_str());
      return Usage(argv[0]);
    }
  }
  if (arg >= argc) return Usage(argv[0]);
  std::string module;
  if (IsModuleName(argv[arg])) {
    module = argv[arg++];
  } else {
    const auto paths = wdxhost::DefaultModulePaths();
    for (const auto& path : paths) {
      if (module.empty() && ombrels::platform::os().IsFile(path)) module = path;
    }
    if (module.empty()) {
      std::fprintf(stderr, "%s: no MODULE named (a name ending in .wdx or .wdx64), and %s\n",
                   argv[0],
                   paths.empty() ? "the tool cannot tell its own folder"
                                 : ("none at " + paths.front()).c_str());
      return 1;
    }
  }
  const int files = arg;
  if (explain && files >= argc) {
    std::fprintf(stderr, "%s: --explain needs a FILE\n", argv[0]);
    return Usage(argv[0]);
  }

  std::string error;
  auto plugin = wdxhost::LoadPlugin(module, error);
  if (!plugin) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
    return 1;
  }

  if (explain) {
    bool same = true;
    for (int i = files; i < argc; ++i)
      same = wdxhost::Explain(*plugin, argv[i], field, maxlen) && same;
    return same ? 0 : 3;
  }

  std::printf("fields of %s:\n", module.c_str());
  for (int index = 0; index < 1000; ++index) {
    char name[kHostNameBuffer] = {};
    char units[kHostNameBuffer] = {};
    const int type = plugin->getSupportedField(index, name, units, kHostNameBuffer);
    if (type == ft_nomorefields) break;
    std::printf("  %d  \"%s\"  type %d (%s)  units \"%s\"\n", index, name, type,
                wdxhost::TypeName(type), units);
  }

  if (files < argc) std::printf("values of field %d (buffer of %d bytes):\n", field, maxlen);
  std::vector<char> buffer(maxlen > 0 ? static_cast<std::size_t>(maxlen) : 1, '\0');
  for (int i = files; i < argc; ++i) {
    buffer.assign(buffer.size(), '\0');
    const int result = plugin->getValue(argv[i], field, 0, buffer.data(), maxlen, 0);
    const bool hasText = result == ft_string || result == ft_fieldempty;
    std::printf("  %s  %d (%s)", argv[i], result, wdxhost::TypeName(result));
    if (hasText) std::printf("  \"%s\"", wdxhost::Visible(buffer.data()).c_str());
    std::printf("\n");
  }
  return 0;
}
