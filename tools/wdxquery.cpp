// wdxquery: loads a content plugin the way a file manager does, lists its
// fields and asks it for the value of one field for each file given.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/PluginModule.h"

namespace {

constexpr int kHostValueBuffer = 2049;  // what the hosts pass for a string field
constexpr int kHostNameBuffer = 256;

const char* TypeName(int type) {
  switch (type) {
    case ft_nomorefields:
      return "ft_nomorefields";
    case ft_string:
      return "ft_string";
    case ft_nosuchfield:
      return "ft_nosuchfield";
    case ft_fieldempty:
      return "ft_fieldempty";
    default:
      return "other";
  }
}

// The value as the host would get it, with control characters made
// visible: "\n", "\r", "\t", "\xNN".
std::string Visible(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 32 || c == 127) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int Usage(const char* self) {
  std::fprintf(stderr,
               "usage: %s [--maxlen N] [--field N] MODULE [FILE...]\n"
               "  Lists MODULE's fields, then prints FILE, the result code and the value\n"
               "  of field N (default 0), asked with a buffer of N bytes (default %d).\n",
               self, kHostValueBuffer);
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
  int arg = 1;
  for (; arg < argc && argv[arg][0] == '-' && argv[arg][1] == '-'; ++arg) {
    const std::string option = argv[arg];
    if (option == "--") {
      ++arg;
      break;
    }
    if ((option == "--maxlen" || option == "--field") && arg + 1 < argc) {
      if (!ParseInt(argv[++arg], option == "--maxlen" ? maxlen : field)) {
        std::fprintf(stderr, "%s: %s needs a whole number, not '%s'\n", argv[0], option.c_str(),
                     argv[arg]);
        return 2;
      }
    } else {
      return Usage(argv[0]);
    }
  }
  if (arg >= argc) return Usage(argv[0]);

  std::string error;
  auto plugin = wdxhost::LoadPlugin(argv[arg], error);
  if (!plugin) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
    return 1;
  }

  std::printf("fields of %s:\n", argv[arg]);
  for (int index = 0; index < 1000; ++index) {
    char name[kHostNameBuffer] = {};
    char units[kHostNameBuffer] = {};
    const int type = plugin->getSupportedField(index, name, units, kHostNameBuffer);
    if (type == ft_nomorefields) break;
    std::printf("  %d  \"%s\"  type %d (%s)  units \"%s\"\n", index, name, type, TypeName(type),
                units);
  }

  if (arg + 1 < argc) std::printf("values of field %d (buffer of %d bytes):\n", field, maxlen);
  std::vector<char> buffer(maxlen > 0 ? static_cast<std::size_t>(maxlen) : 1, '\0');
  for (int i = arg + 1; i < argc; ++i) {
    buffer.assign(buffer.size(), '\0');
    const int result = plugin->getValue(argv[i], field, 0, buffer.data(), maxlen, 0);
    const bool hasText = result == ft_string || result == ft_fieldempty;
    std::printf("  %s  %d (%s)", argv[i], result, TypeName(result));
    if (hasText) std::printf("  \"%s\"", Visible(buffer.data()).c_str());
    std::printf("\n");
  }
  return 0;
}
