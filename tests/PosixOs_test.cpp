// What the POSIX stand-ins promise beyond the common contract.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>

#include "platform/testing.h"
#include "settings/PerUser.h"
#include "support/TempDir.h"
#include "support/TestEnvironment.h"

namespace ombrels {
namespace {

using namespace std::string_literals;
using platform::RegistryRoot;

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

platform::Os& Os() { return platform::NativeOs(); }

TEST(PosixOs, RegistryIsAFolderTreeUnderItsRoot) {
  testing::TempDir dir;
  ScopedEnv root("OMBRELS_REGISTRY_ROOT", dir.path().c_str());
  testing::WriteBytes(dir.path() / "HKEY_LOCAL_MACHINE/Software/Quorvel/Ombrels/@", "/opt\0"s);
  testing::WriteBytes(dir.path() / "HKEY_LOCAL_MACHINE/Software/Quorvel/Ombrels/Other", "x");
  EXPECT_EQ(Os().RegistryValue(RegistryRoot::LocalMachine, "Software\\Quorvel\\Ombrels", ""),
            "/opt\0"s);
  EXPECT_EQ(Os().RegistryValue(RegistryRoot::LocalMachine, "Software\\Quorvel\\Ombrels", "Other"),
            "x");
  // Names that would leave the key's folder are no names.
  EXPECT_EQ(Os().RegistryValue(RegistryRoot::LocalMachine, "Software\\Quorvel\\Ombrels", ".."),
            std::nullopt);
  EXPECT_EQ(Os().RegistryValue(RegistryRoot::LocalMachine, "Software\\Quorvel\\Ombrels",
                               "../Ombrels/Other"),
            std::nullopt);
  EXPECT_EQ(Os().RegistryValue(RegistryRoot::LocalMachine,
                               "Software\\..\\Software\\Quorvel\\Ombrels", "Other"),
            std::nullopt);
  // A value that is a folder cannot be read.
  std::filesystem::create_directories(dir.path() /
                                      "HKEY_LOCAL_MACHINE/Software/Quorvel/Ombrels/Dir");
  EXPECT_EQ(Os().RegistryValue(RegistryRoot::LocalMachine, "Software\\Quorvel\\Ombrels", "Dir"),
            std::nullopt);
}

TEST(PosixOs, EmptyRegistryRootMeansTheSystemFolder) {
  ScopedEnv root("OMBRELS_REGISTRY_ROOT", "");
  if (std::filesystem::exists("/etc/ombrels/registry")) GTEST_SKIP() << "machine has a registry";
  EXPECT_EQ(Os().RegistryValue(RegistryRoot::LocalMachine, "Software\\Quorvel\\Ombrels", ""),
            std::nullopt);
}

// Bytes that are no UTF-8 stay apart, each its own escape, and come back
// as they were: names that differ in them name different files.
TEST(PosixOs, CodePageIsUtf8WithEscapes) {
  EXPECT_EQ(Os().AnsiToWide("\xC3\xA9\xE2\x82\xAC"), u"\u00E9\u20AC");
  EXPECT_EQ(Os().AnsiToWide("a\xFF"
                            "b\xC3"),
            u"a\xDCFF"
            u"b\xDCC3");
  EXPECT_EQ(Os().AnsiToWide("\xED\xA0\x80"), u"\xDCED\xDCA0\xDC80");  // an encoded surrogate
  EXPECT_EQ(Os().AnsiToWide("\xC0\xAF"), u"\xDCC0\xDCAF");            // an overlong slash
  EXPECT_EQ(Os().AnsiToWide("\xEF\xBF\xBD"), u"\uFFFD");
  EXPECT_EQ(Os().WideToAnsi(u"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(Os().WideToAnsi(std::u16string(u"a") + char16_t(0xD800) + u"b" + char16_t(0xDC00) +
                            char16_t(0xDC7F) + char16_t(0xDD00)),
            "a?b???");
  // Any bytes there and back, many of them no UTF-8.
  std::mt19937 random(5);
  for (int n = 0; n < 2000; ++n) {
    std::string bytes(random() % 12, '\0');
    for (char& c : bytes) c = static_cast<char>(random() % 4 ? 0x80 + random() % 0x80 : random());
    EXPECT_EQ(Os().WideToAnsi(Os().AnsiToWide(bytes)), bytes);
  }
  EXPECT_EQ(Os().CharLength("a\xE2\x82\xAC", 1), 3u);
  EXPECT_EQ(Os().CharLength("\xE2\x82", 0), 1u);  // a cut sequence is bytes of their own
  EXPECT_EQ(Os().CharLength("\xFF", 0), 1u);
}

// A host that closed its standard input: a file may then be opened as
// descriptor 0, which is read and closed like any other.
TEST(PosixOsDeathTest, DescriptorZeroIsAFileLikeAnyOther) {
  testing::TempDir dir;
  testing::WriteBytes(dir.path() / "a.ini", "x");
  const std::u16string name = Os().AnsiToWide(dir.file("a.ini"));
  EXPECT_EXIT(
      {
        ::close(0);
        const platform::FileBytes file = Os().ReadWholeFile(name);
        const bool closedAgain = ::fcntl(0, F_GETFD) == -1;
        std::_Exit(file.ok && file.bytes == "x" && closedAgain ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// Files that are not what their size says, as sysfs has them (each 4096
// bytes by its size): one that holds less is read to its end; one whose
// read fails (the loopback's link speed) is unreadable, with the system's
// reason. Skipped where there are none.
TEST(PosixOs, FilesThatAreNotWhatTheirSizeSays) {
  const std::string shorter = "/sys/devices/system/cpu/online", failing = "/sys/class/net/lo/speed";
  std::ifstream in(shorter, std::ios::binary);
  const std::string held{std::istreambuf_iterator<char>(in), {}};
  std::error_code error;
  if (in && held.size() < std::filesystem::file_size(shorter, error) && !error) {
    const platform::FileBytes file = Os().ReadWholeFile(Os().AnsiToWide(shorter));
    EXPECT_TRUE(file.ok) << file.error;
    EXPECT_EQ(file.bytes.view(), held);
  }
  const int fd = ::open(failing.c_str(), O_RDONLY);
  char byte;
  const bool fails = fd >= 0 && ::read(fd, &byte, 1) < 0;
  const int why = errno;
  if (fd >= 0) ::close(fd);
  if (fails) {
    const platform::FileBytes file = Os().ReadWholeFile(Os().AnsiToWide(failing));
    EXPECT_FALSE(file.ok || file.absent);
    EXPECT_EQ(file.error, std::strerror(why));
  }
  if (held.empty() && !fails) GTEST_SKIP() << "no such files here";
}

// In a working directory as deep as the system names one (a path of
// PATH_MAX - 1 bytes), a relative name's full name begins with it.
TEST(PosixOs, FullPathNameInTheDeepestWorkingDirectory) {
  testing::TempDir dir;
  std::string deep = dir.path().string();
  for (std::size_t left; (left = PATH_MAX - 1 - deep.size()) > 0;)
    deep += '/' + std::string(left > 202 ? 200 : left - 1, 'd');
  std::filesystem::create_directories(deep);
  const auto previous = std::filesystem::current_path();
  ASSERT_EQ(::chdir(deep.c_str()), 0);
  const std::u16string full = Os().FullPathName(u"x");
  std::filesystem::current_path(previous);
  EXPECT_EQ(full, Os().AnsiToWide(deep + "/x"));
}

// A user id that the user database does not know, as a container may run
// the host under, has no logon name. The id is taken in a user namespace
// of its own, in a child; skipped where the system offers none.
TEST(PosixOs, AUserIdWithoutAnEntryHasNoLogonName) {
  constexpr uid_t kUnknown = 0x7FFF1234;
  if (::getpwuid(kUnknown)) GTEST_SKIP() << "the user database knows " << kUnknown;
  const std::string map = std::to_string(kUnknown) + " " + std::to_string(::geteuid()) + " 1";
  const pid_t child = ::fork();
  if (child == 0) {
    const int fd = ::unshare(CLONE_NEWUSER) == 0 ? ::open("/proc/self/uid_map", O_WRONLY) : -1;
    if (fd < 0 || ::write(fd, map.data(), map.size()) != static_cast<ssize_t>(map.size()) ||
        ::close(fd) != 0 || ::geteuid() != kUnknown)
      std::_Exit(2);
    std::_Exit(Os().LogonName(253) == std::nullopt ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 2) GTEST_SKIP() << "no user namespace here";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
}

TEST(PosixOs, ProfileFilesAreReadInMemory) {
  EXPECT_EQ(Os().Family(), platform::PlatformFamily::Windows95);
}

TEST(PosixOs, AppDataFolderFromXdgOrHome) {
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/x/config");
    ScopedEnv home("HOME", "/home/anna");
    EXPECT_EQ(Os().AppDataFolder(), "/x/config");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", "relative/config");
    ScopedEnv home("HOME", "/home/anna");
    EXPECT_EQ(Os().AppDataFolder(), "/home/anna/.config");
  }
  {
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv home("HOME", nullptr);
    EXPECT_EQ(Os().AppDataFolder(), std::nullopt);
  }
}

// Even with a umask that takes nothing away, the folders made on the way to
// the user's file are his alone; the folder that was there keeps its mode.
TEST(PosixOs, FoldersMadeForTheUsersFileArePrivate) {
  testing::TempDir dir;
  const std::string config = dir.file("config");
  ASSERT_EQ(::mkdir(config.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(config.c_str(), 0755), 0);
  const mode_t saved = ::umask(0);
  const bool made = ForceDirectoryChain(config + "/more/Quorvel Ombrels");
  ::umask(saved);
  EXPECT_TRUE(made);
  const auto mode = [](const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0xFFFFu;
  };
  EXPECT_EQ(mode(config), 0755u);
  EXPECT_EQ(mode(config + "/more"), 0700u);
  EXPECT_EQ(mode(config + "/more/Quorvel Ombrels"), 0700u);
}

}  // namespace
}  // namespace ombrels
