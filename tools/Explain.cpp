#include "tools/Explain.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <vector>

#include "platform/platform.h"
#include "plugin/TC_Ombrels.h"
#include "settings/MemIniText.h"
#include "settings/TntIniFiles.h"

namespace wdxhost {

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

std::string Visible(std::string_view text) {
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
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
      out += ch;
    }
  }
  return out;
}

namespace {

using namespace ombrels;

constexpr std::size_t kSimilarKeys = 3;

std::string Quote(std::string_view text) { return "\"" + Visible(text) + "\""; }
std::string Quote(std::u16string_view text) { return Quote(platform::os().WideToAnsi(text)); }

void Say(int depth, const std::string& text) {
  std::printf("%*s%s\n", 2 * depth, "", text.c_str());
}

std::string FileState(const std::string& path) {
  auto& os = platform::os();
  if (os.IsFile(path)) return "exists";
  if (os.IsDirectory(path)) return "a folder, not a file";
  return "does not exist";
}

// Whether the file holds the entry, as the profile reader sees it: an
// absent entry gives back each of two different defaults.
bool HasEntry(const std::string& file, const std::u16string& section, const std::u16string& key) {
  try {
    TTntIniFile ini(platform::os().AnsiToWide(file));
    return ini.ReadEntry(section, key, u"0") == ini.ReadEntry(section, key, u"1");
  } catch (...) {
    return false;
  }
}

std::u16string FoldedName(std::u16string_view path) {
  const std::size_t cut = path.find_last_of(u"\\/");
  std::u16string name(cut == std::u16string_view::npos ? path : path.substr(cut + 1));
  for (char16_t& c : name) c = FoldCase(c);
  return name;
}

// Keys of the store's last "Files" section that name a file of the same
// name in any folder, letter case aside: the same file, spelt otherwise.
void ListSimilarKeys(const std::string& store, const std::u16string& key) {
  std::vector<std::u16string> keys;
  try {
    keys = TTntMemIniFile(platform::os().AnsiToWide(store)).ReadSection(u"Files");
  } catch (const std::exception& error) {
    Say(2, std::string("the store's keys cannot be listed: ") + error.what());
    return;
  }
  const std::u16string name = FoldedName(key);
  std::vector<std::u16string> similar;
  for (auto& candidate : keys)
    if (FoldedName(candidate) == name) similar.push_back(std::move(candidate));
  const std::size_t cut = key.find_last_of(u"\\/");
  const std::string named =
      Quote(std::u16string_view(key).substr(cut == std::u16string::npos ? 0 : cut + 1));
  if (similar.empty()) {
    Say(2, "no key of the last [Files] section names a file " + named + " (" +
               std::to_string(keys.size()) + " keys there)");
    return;
  }
  std::string head = "keys of the last [Files] section that name a file " + named;
  if (similar.size() > kSimilarKeys)
    head +=
        " (" + std::to_string(similar.size()) + ", the first " + std::to_string(kSimilarKeys) + ")";
  Say(2, head + ":");
  for (std::size_t i = 0; i < similar.size() && i < kSimilarKeys; ++i) Say(3, Quote(similar[i]));
}

void ExplainInstallDir(const RegistryReading& dir) {
  Say(1,
      std::string("install directory: HKEY_LOCAL_MACHINE\\") + kInstallKey +
          ", default value, read from " +
          platform::DescribeRegistryValue(platform::RegistryRoot::LocalMachine, kInstallKey, ""));
  if (!dir.read) {
    Say(2, "the key or its value cannot be read -> no install directory, \"\"");
    return;
  }
  std::string how = std::to_string(dir.size) + " bytes";
  if (dir.text.size() + 1 == dir.size) {
    how += ", a text and its terminating zero";
  } else if (dir.text.size() == dir.size) {
    if (dir.size != 0) how += ", no terminating zero: all kept";
  } else {
    how += ", cut at the first zero";
  }
  if (dir.text.size() > platform::kLongestPath) {
    Say(2, how + " -> a text of " + std::to_string(dir.text.size()) +
               " bytes, longer than any path (" + std::to_string(platform::kLongestPath) +
               "): no file lies in it, " + Quote(std::string_view(dir.text).substr(0, 60)) + "...");
    return;
  }
  Say(2, how + " -> " + Quote(dir.text));
}

void ExplainSettings(const SettingsFileChoice& choice, const std::string& settingsFile) {
  Say(1, "shared settings file: " + Quote(choice.shared) + " (" + FileState(choice.shared) + ")");
  std::string option = "\"BasePerUser\" in [Options]: ";
  if (!choice.failure.empty()) {
    option += "cannot be read (" + choice.failure + ") -> \"0\"";
  } else if (!HasEntry(choice.shared, u"Options", u"BasePerUser")) {
    option += "no entry -> \"0\"";
  } else {
    option += Quote(choice.basePerUser);
  }
  Say(1, option + (choice.perUser ? " -> not \"0\": the per-user settings file"
                                  : " -> the shared settings file"));
  if (choice.perUser) {
    if (choice.appData) {
      Say(2, "application-data folder: " + Quote(*choice.appData));
      std::string made = "folders created: ";
      for (const std::string& folder : choice.created)
        made += (&folder == &choice.created.front() ? "" : ", ") + Quote(folder);
      Say(2, made + (choice.created.empty() ? "none" : ""));
      if (!platform::os().IsDirectory(choice.folder))
        Say(2, "the folder " + Quote(choice.folder) + " is missing: it could not be made");
    } else {
      Say(2, "application-data folder: cannot be located -> the install directory serves");
    }
    Say(2, "logon name: " + Quote(choice.userName));
  }
  Say(1, "settings file in force: " + Quote(settingsFile) + " (" + FileState(settingsFile) + ")");
}

void ExplainEntry(const MarkLookup& lookup, std::int32_t number, const std::u16string& key) {
  const std::string entry = "[Files] entry " + Quote(key) + ": ";
  if (!lookup.failure.empty()) {
    Say(1, entry + "the lookup failed (" + lookup.failure + ") -> mark 0");
  } else if (!HasEntry(lookup.settingsFile, u"Files", key)) {
    Say(1, entry + "no entry -> mark 0: the store has no mark for this path");
    ListSimilarKeys(lookup.settingsFile, key);
  } else {
    // A text that is no whole number gives the default, whichever it is.
    const bool whole = TTntCustomIniFile::EntryNumber(lookup.entry, 1) ==
                       TTntCustomIniFile::EntryNumber(lookup.entry, 0);
    Say(1, entry + Quote(lookup.entry) + (whole ? "" : ", no whole number") + " -> mark " +
               std::to_string(number));
  }
}

void ExplainName(const MarkText& mark) {
  if (mark.number == 0) return;
  if (!mark.translation) {
    Say(1, "mark " + std::to_string(mark.number) + " has no name: shown as its digits");
    return;
  }
  const Translation& translation = *mark.translation;
  const LanguageFileChoice& language = translation.language;
  Say(1, "mark " + std::to_string(mark.number) + " is " + Quote(translation.key) + ", translated:");
  if (!language.failure.empty()) {
    Say(2, "the language file cannot be named (" + language.failure + ") -> \"Default\"");
  } else {
    const std::string& from = language.settingsFile;
    std::string line = "\"CurLang\" in [Translate] of ";
    line += from == mark.lookup.settingsFile ? "the settings file in force" : Quote(from);
    line += ": ";
    line += HasEntry(from, u"Translate", u"CurLang") ? Quote(language.curLang)
                                                     : "no entry -> \"Default\"";
    Say(2, line);
  }
  if (!language.refused.empty()) {
    Say(2, "\"CurLang\" names no file in the langs folder: " + language.refused + " -> English");
    return;
  }
  const std::string& file = translation.languageFile;
  Say(2, "language file: " + Quote(file) + " (" + FileState(file) + ")" +
             (translation.languageFileExists ? "" : " -> English"));
  if (!translation.languageFileExists) return;
  const std::string dict = "[Dict] entry " + Quote(translation.key) + ": ";
  if (!translation.failure.empty()) {
    Say(2, dict + "cannot be read (" + translation.failure + ") -> English");
  } else if (!HasEntry(file, u"Dict", translation.key)) {
    Say(2, dict + "no entry -> English");
  } else {
    Say(2, dict + Quote(translation.entry.value_or(u"")) + " -> " + Quote(mark.text));
  }
}

std::string Answer(int result, const std::vector<char>& buffer) {
  std::string text = std::to_string(result) + " (" + TypeName(result) + ")";
  if (result == ft_string || result == ft_fieldempty)
    text += " " + Quote(std::string_view(buffer.data()));
  return text;
}

}  // namespace

bool Explain(const Plugin& plugin, const char* file, int field, int maxlen) {
  const std::string_view name(file);
  // (A name longer than any path is shown by its start and its length.)
  const std::string heading =
      name.size() > platform::kLongestPath
          ? Quote(name.substr(0, 60)) + "... (" + std::to_string(name.size()) + " bytes)"
          : Quote(name);
  std::printf("%s\n", heading.c_str());
  const std::size_t size = maxlen > 0 ? static_cast<std::size_t>(maxlen) : 1;
  std::vector<char> ours(size, '\0'), theirs(size, '\0');

  std::optional<MarkText> steps;
  const int result = GetFieldValue(file, field, ours.data(), maxlen, &steps);
  if (steps && steps->nameTooLong) {
    Say(1, "the name is " + std::to_string(name.size()) + " bytes long, longer than any path (" +
               std::to_string(platform::kLongestPath) + " bytes, " +
               std::to_string(platform::kLongestPathUnits) +
               " UTF-16 units): no file has it, nothing is read");
  } else if (steps) {
    const MarkLookup& lookup = steps->lookup;
    ExplainInstallDir(lookup.choice.installDir);
    ExplainSettings(lookup.choice, lookup.settingsFile);
    ExplainEntry(lookup, steps->number, platform::os().AnsiToWide(file));
    ExplainName(*steps);
  } else if (field != 0) {
    Say(1, "field " + std::to_string(field) + " is no field of the plugin: nothing is looked up");
  } else {
    Say(1, "a buffer of " + std::to_string(maxlen) + " bytes holds no text: nothing is looked up");
  }
  std::string value = "value: " + Answer(result, ours);
  if (steps && steps->text != ours.data())
    value += ", cut to a buffer of " + std::to_string(maxlen) + " bytes from " + Quote(steps->text);
  Say(1, value);

  const int answer = plugin.getValue(file, field, 0, theirs.data(), maxlen, 0);
  const std::string module = Answer(answer, theirs);
  if (module == Answer(result, ours)) {
    Say(1, "module: " + module + ", the same");
    return true;
  }
  Say(1, "!! module: " + module + ", NOT what the explanation gives");
  std::fprintf(stderr, "wdxquery: the module answers %s for %s, the explanation %s\n",
               module.c_str(), Quote(std::string_view(file)).c_str(), Answer(result, ours).c_str());
  return false;
}

}  // namespace wdxhost
