// The built module through its exports, with what only a POSIX system
// offers: FIFOs and devices where files are expected, and UTF-8 file names
// of any script.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <future>

#include "platform/testing.h"
#include "support/LoadedModule.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

namespace ombrels {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using testing::WriteBytes;

constexpr auto kTimeLimit = 5s;

void MakeFifo(const std::filesystem::path& path) {
  std::filesystem::create_directories(path.parent_path());
  std::filesystem::remove(path);
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
}

// Tells whether any of the files it watches was opened: the system reports
// each open as it happens, a FIFO's too.
class OpenWatch {
 public:
  OpenWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
  ~OpenWatch() { ::close(fd_); }
  OpenWatch(const OpenWatch&) = delete;
  OpenWatch& operator=(const OpenWatch&) = delete;
  void Add(const std::filesystem::path& path) {
    ASSERT_GE(::inotify_add_watch(fd_, path.c_str(), IN_OPEN), 0) << path;
  }
  bool Opened() const {
    alignas(inotify_event) char events[4096];
    bool opened = false;
    for (ssize_t n; (n = ::read(fd_, events, sizeof events)) > 0;) {
      for (ssize_t at = 0; at < n;) {  // (a watch ends when its file goes: IN_IGNORED)
        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
        opened = opened || (event->mask & IN_OPEN) != 0;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return opened;
  }

 private:
  int fd_;
};

class ModulePosixTest : public testing::LoadedModule {
 protected:
  std::filesystem::path RegistryValueFile() const {
    return std::filesystem::path(std::getenv("OMBRELS_REGISTRY_ROOT")) /
           "HKEY_LOCAL_MACHINE/Software/Quorvel/Ombrels/@";
  }
  std::filesystem::path Settings() const { return install_.path() / "settings.ini"; }
  std::string File(const std::string& name) const { return install_.file("data/" + name); }

  // The result code and text for `file`, asked on a thread of its own. A
  // call that gives no answer within the time limit fails the test; the
  // FIFOs' writing ends are then opened until the call returns.
  std::pair<int, std::string> Value(const std::string& file,
                                    const std::vector<std::filesystem::path>& fifos = {}) {
    auto answer = std::async(std::launch::async, [this, file] {
      std::string buffer(2049, '#');
      const int result = plugin_.getValue(file.c_str(), 0, 0, buffer.data(), 2049, 0);
      return std::pair(result, buffer.substr(0, buffer.find('\0')));
    });
    if (answer.wait_for(kTimeLimit) != std::future_status::ready) {
      ADD_FAILURE() << "no answer for " << file << " within the time limit";
      while (answer.wait_for(50ms) != std::future_status::ready) {
        for (const auto& fifo : fifos) {
          const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
          if (fd >= 0) ::close(fd);
        }
      }
    }
    return answer.get();
  }
};

const std::pair<int, std::string> kNoMark{ft_fieldempty, ""};

// Whatever stands in a file's place, the answer comes at once, and nothing
// but a regular file is opened (opening a FIFO would release its writer).
TEST_F(ModulePosixTest, SpecialFilesAnswerAtOnceWithTheFallback) {
  const std::string marks = "[Files]\n" + File("a.txt") + "=2\n";
  const auto cool = std::pair(int{ft_string}, "Cool"s);
  OpenWatch watch;
  const auto fifo = [&](const std::filesystem::path& path) {
    MakeFifo(path);
    watch.Add(path);
  };

  // The registry value: no install directory, no mark.
  WriteBytes(Settings(), marks);
  fifo(RegistryValueFile());
  EXPECT_EQ(Value(File("a.txt"), {RegistryValueFile()}), kNoMark);
  std::filesystem::remove(RegistryValueFile());
  std::filesystem::create_symlink("/dev/zero", RegistryValueFile());
  EXPECT_EQ(Value(File("a.txt")), kNoMark);
  std::filesystem::remove(RegistryValueFile());
  registry_.Set(platform::RegistryRoot::LocalMachine, "Software\\Quorvel\\Ombrels", "",
                install_.path().string() + '\0');
  ASSERT_EQ(Value(File("a.txt")), cool);

  // The language file, a FIFO or a device: English.
  WriteBytes(Settings(), "[Translate]\nCurLang=Pipe\n" + marks);
  fifo(install_.path() / "langs/Pipe");
  EXPECT_EQ(Value(File("a.txt"), {install_.path() / "langs/Pipe"}), cool);
  std::filesystem::create_symlink("Pipe", install_.path() / "langs/ToPipe");
  WriteBytes(Settings(), "[Translate]\nCurLang=ToPipe\n" + marks);
  EXPECT_EQ(Value(File("a.txt"), {install_.path() / "langs/Pipe"}), cool);
  std::filesystem::create_symlink("/dev/zero", install_.path() / "langs/Zero");
  WriteBytes(Settings(), "[Translate]\nCurLang=Zero\n" + marks);
  EXPECT_EQ(Value(File("a.txt")), cool);

  // The per-user file: no mark.
  testing::TempDir appData;
  testing::ScopedAppData scoped(appData.path().string());
  const auto user = appData.path() / "Quorvel Ombrels" /
                    (platform::NativeOs().LogonName(253).value_or("error") + ".ini");
  WriteBytes(Settings(), "[Options]\nBasePerUser=1\n" + marks);
  fifo(user);
  EXPECT_EQ(Value(File("a.txt"), {user}), kNoMark);
  std::filesystem::remove(user);
  WriteBytes(user, marks);
  ASSERT_EQ(Value(File("a.txt")), cool);

  // The shared settings file: no mark.
  fifo(Settings());
  EXPECT_EQ(Value(File("a.txt"), {Settings()}), kNoMark);
  EXPECT_FALSE(watch.Opened()) << "a FIFO was opened";
}

// The user's application-data folder from a HOME or XDG_CONFIG_HOME that is
// not absolute: none. The user's file is then sought in the install
// directory, and nothing is made where the host happens to run.
TEST_F(ModulePosixTest, RelativeHomeMakesNothingWhereTheHostRuns) {
  testing::TempDir here;
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(here.path());
  testing::ScopedAppData scoped("config");  // (XDG_CONFIG_HOME, not absolute)
  const char* home = std::getenv("HOME");
  const std::string savedHome = home ? home : "";
  ::setenv("HOME", "home", 1);
  WriteBytes(Settings(), "[Options]\nBasePerUser=1\n[Files]\n" + File("a.txt") + "=2\n");
  const auto before = Value(File("a.txt"));
  WriteBytes(install_.path() / (platform::NativeOs().LogonName(253).value_or("error") + ".ini"),
             "[Files]\n" + File("a.txt") + "=8\n");
  const auto after = Value(File("a.txt"));
  home ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
  std::filesystem::current_path(previous);
  EXPECT_EQ(before, kNoMark);
  EXPECT_EQ(after, std::pair(int{ft_string}, "New"s));
  EXPECT_TRUE(std::filesystem::is_empty(here.path()));
}

// A name longer than any path is no file's name: nothing is looked up, and
// the host tool says so.
TEST_F(ModulePosixTest, ANameLongerThanAnyPathHasNoMark) {
  const std::string name = File(std::string(PATH_MAX, 'n'));
  WriteBytes(Settings(), "[Files]\n" + name + "=2\n");
  EXPECT_EQ(Value(name), kNoMark);
  const testing::ProgramRun run =
      testing::RunProgram({OMBRELS_WDXQUERY_PATH, "--explain", OMBRELS_MODULE_PATH, name});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("\n  the name is " + std::to_string(name.size()) +
                            " bytes long, longer than any path"),
            std::string::npos)
      << run.output.substr(0, 400);
  EXPECT_NE(run.output.find("\n  module: -3 (ft_fieldempty) \"\", the same\n"), std::string::npos);

  // At the edge, as the system draws it: the longest name it takes for a
  // path (slashes added until it says the name is too long) has its mark,
  // one byte more has none.
  std::string longest = File("a"), longer = longest;
  for (struct stat st{}; ::stat(longer.c_str(), &st) == 0 || errno != ENAMETOOLONG;)
    longest = longer, longer.insert(longer.rfind('/'), "/");
  WriteBytes(Settings(), "[Files]\n" + longest + "=2\n" + longer + "=3\n");
  EXPECT_EQ(Value(longest), std::pair(int{ft_string}, "Cool"s)) << longest.size() << " bytes";
  EXPECT_EQ(Value(longer), kNoMark) << longer.size() << " bytes";
}

// File names are bytes: names that differ only in bytes that are no UTF-8
// name different files, and never share a mark; case still does not count.
TEST_F(ModulePosixTest, NamesThatDifferInInvalidBytesAreDifferentFiles) {
  WriteBytes(Settings(),
             "[Files]\n" + File("bad\xFF.txt") + "=2\n" + File("\xC3\xA9t\xE9") + "=8\n");
  EXPECT_EQ(Value(File("bad\xFF.txt")), std::pair(int{ft_string}, "Cool"s));
  EXPECT_EQ(Value(File("BAD\xFF.TXT")), std::pair(int{ft_string}, "Cool"s));
  for (const char* other : {"bad\xFE.txt", "bad\xC0.txt", "bad\xEF\xBF\xBD.txt", "bad.txt"})
    EXPECT_EQ(Value(File(other)), kNoMark) << other;
  EXPECT_EQ(Value(File("\xC3\x89T\xE9")), std::pair(int{ft_string}, "New"s));
  EXPECT_EQ(Value(File("\xC3\x89T\xC9")), kNoMark);
}

// Names match without regard to case in any script, also where upper-casing
// changes a letter's UTF-8 length (U+2C65 to U+023A, U+0131 to I).
TEST_F(ModulePosixTest, FindsNamesOfAnyScriptInAnyCase) {
  WriteBytes(Settings(),
             "\xEF\xBB\xBF[files]\n" + File("\xCE\xAC\xE2\xB1\xA5-f\xC4\xB1le.txt") + "=8\n");
  EXPECT_EQ(Value(File("\xCE\x86\xC8\xBA-FILE.TXT")), std::pair(int{ft_string}, "New"s));
  EXPECT_EQ(Value(File("\xCE\x86\xC8\xBA-FILE.TX")), kNoMark);
}

}  // namespace
}  // namespace ombrels
