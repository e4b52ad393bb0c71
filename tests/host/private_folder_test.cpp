// Linux shares /tmp among all users. Another user may take names there, swap folders in a temporary
// folder open to them, or leave files behind: none of it may stop this user's requests, and no library
// but the carried engine may ever be loaded. The other user is made real: a child process switched to
// ids no account uses, held to permission bits like any user. Processes of the user's own may also be
// killed in the middle of a deploy, and what they leave must not pile up.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <stdio.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>

#include "host_test_support.h"

namespace qtv::host::testing {
namespace {

constexpr uid_t kOtherUser = 47011;
constexpr gid_t kOtherGroup = 47011;

// `body` run by the other user in a child process; its result is the child's exit status.
class OtherUser {
public:
  explicit OtherUser(const std::function<int()>& body) {
    pid_ = fork();
    if (pid_ == 0) {
      const bool switched = setgroups(0, nullptr) == 0 &&
                            setresgid(kOtherGroup, kOtherGroup, kOtherGroup) == 0 &&
                            setresuid(kOtherUser, kOtherUser, kOtherUser) == 0;
      _exit(switched ? body() : 99);
    }
  }
  ~OtherUser() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
  }
  OtherUser(const OtherUser&) = delete;
  OtherUser& operator=(const OtherUser&) = delete;

  // The child's exit status once it ends.
  int Wait() {
    int status = 0;
    if (pid_ <= 0 || waitpid(std::exchange(pid_, -1), &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

private:
  pid_t pid_ = -1;
};

// Runs `body` in a child process killed with SIGKILL at its `stop`-th stop on entering or leaving a
// system call, as a user's kill lands; true when `body` ended before that, nothing when the child
// cannot be traced.
std::optional<bool> FinishesBeforeKill(int stop, const std::function<void()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(1);
    raise(SIGSTOP);
    body();
    _exit(0);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFSTOPPED(status)) return std::nullopt;
  ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
  for (int signal = 0, stops = 0; ptrace(PTRACE_SYSCALL, child, nullptr, signal) == 0;) {
    waitpid(child, &status, 0);
    if (!WIFSTOPPED(status)) break;
    const bool atSystemCall = WSTOPSIG(status) == (SIGTRAP | 0x80);
    signal = atSystemCall ? 0 : WSTOPSIG(status);
    if (atSystemCall && ++stops == stop) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return false;
    }
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

using KilledDeployTest = HostTest;

// Each deploy replaces the engine file; killed at any point, it leaves no file of its own behind.
TEST_F(KilledDeployTest, ADeployKilledAnywhereLeavesNoFileOfItsOwn) {
  fs::create_directory(EngineFolder());
  for (int stop = 1;; ++stop) {
    WriteBytes(EnginePath(), "an engine to be replaced");
    const std::optional<bool> finished = FinishesBeforeKill(stop, [] { EnsureEngineLoaded(); });
    ASSERT_TRUE(finished.has_value()) << "no child can be traced here";
    std::vector<std::string> strays;
    for (const auto& entry : fs::directory_iterator(EngineFolder())) {
      if (entry.path() != EnginePath()) strays.push_back(entry.path().filename());
    }
    ASSERT_EQ(strays, std::vector<std::string>{}) << "killed at stop " << stop;
    if (*finished) break;
  }
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
}

class PrivateFolderTest : public HostTest {
protected:
  void SetUp() override {
    HostTest::SetUp();
    if (geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  }
  // The request is answered by the carried engine, with no message.
  static void ExpectTheEngine(const std::string& what) {
    platform::testing::MessageCapture messages;
    EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc) << what;
    EXPECT_TRUE(messages.Messages().empty()) << what;
    UnloadEngine();
  }
  // Names in the temporary folder that begin with the engine folder's: its own, and any fresh folder
  // that was left behind.
  std::vector<std::string> EngineFolders() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root_)) {
      const std::string name = entry.path().filename().string();
      if (name.starts_with(EngineFolder().filename().string())) names.push_back(name);
    }
    return names;
  }
  static std::string Impostor() { return ReadBytes(QTV_IMPOSTOR_LIBRARY); }
};

TEST_F(PrivateFolderTest, TheFolderIsCreatedPrivateUnderTheUsersOwnName) {
  EXPECT_EQ(EngineFolder().filename(), "QTVSoftware-" + std::to_string(geteuid()));
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  struct stat status {};
  ASSERT_EQ(stat(EngineFolder().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  EXPECT_EQ(status.st_uid, geteuid());
}

TEST_F(PrivateFolderTest, AnotherUserHoldingTheFolderNameCannotStopTheUser) {
  fs::permissions(root_, fs::perms::all | fs::perms::sticky_bit, fs::perm_options::replace);
  const std::string impostor = Impostor();
  const fs::path folder = EngineFolder();
  const fs::path theirs = root_ / "theirs";
  const struct {
    const char* what;
    std::function<int()> plant;
  } plants[] = {
      {"their folder, open to all, holding a library of theirs",
       [&] {
         fs::create_directory(folder);
         fs::permissions(folder, fs::perms::all, fs::perm_options::replace);
         WriteBytes(folder / EnginePath().filename(), impostor);
         return 0;
       }},
      {"a link of theirs to their folder",
       [&] {
         fs::create_directory(theirs);
         WriteBytes(theirs / EnginePath().filename(), impostor);
         fs::create_directory_symlink(theirs, folder);
         return 0;
       }},
      {"a file of theirs",
       [&] {
         WriteBytes(folder, "mine");
         return 0;
       }},
  };
  for (const auto& [what, plant] : plants) {
    fs::remove_all(folder);
    fs::remove_all(theirs);
    ASSERT_EQ(OtherUser(plant).Wait(), 0) << what;
    // On every request and every run, not once.
    ExpectTheEngine(what);
    ExpectTheEngine(what);
    EXPECT_EQ(EngineFolders(), std::vector<std::string>{folder.filename().string()})
        << "left behind: " << what;
    if (fs::is_directory(folder)) {
      EXPECT_EQ(ReadBytes(folder / EnginePath().filename()), impostor) << what;
    }
  }
}

TEST_F(PrivateFolderTest, WhatIsNotPrivateIsNeverUsedAndNeverLoaded) {
  // The user's own folder name, taken by things of the user's own that are no private folder.
  const fs::path folder = EngineFolder();
  const fs::path elsewhere = root_ / "elsewhere";
  fs::create_directory(elsewhere);
  WriteBytes(elsewhere / EnginePath().filename(), Impostor());
  WriteBytes(folder, "a file of the user's own");
  ExpectTheEngine("a file in the folder's place");
  fs::remove(folder);
  fs::create_directory_symlink(elsewhere, folder);
  ExpectTheEngine("a link in the folder's place");
  fs::remove(folder);
  fs::create_directory(folder);
  fs::permissions(folder, fs::perms::all | fs::perms::sticky_bit, fs::perm_options::replace);
  ExpectTheEngine("the user's own folder open to others, closed again and used");
  EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
  EXPECT_TRUE(fs::is_regular_file(EnginePath()));
  EXPECT_EQ(EngineFolders(), std::vector<std::string>{folder.filename().string()});
  EXPECT_EQ(ReadBytes(elsewhere / EnginePath().filename()), Impostor());

  // In the private folder: the engine's very bytes, but not the user's own, or open to others, or a
  // link, are replaced by the user's own file before anything is loaded.
  fs::remove_all(folder);
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  UnloadEngine();
  struct stat status {};
  ASSERT_EQ(chown(EnginePath().c_str(), kOtherUser, kOtherGroup), 0);
  ExpectTheEngine("the engine file of another user");
  ASSERT_EQ(lstat(EnginePath().c_str(), &status), 0);
  EXPECT_EQ(status.st_uid, geteuid());
  fs::permissions(EnginePath(), fs::perms::group_write | fs::perms::others_write, fs::perm_options::add);
  ExpectTheEngine("the engine file open to others");
  ASSERT_EQ(lstat(EnginePath().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0022, 0u);
  fs::rename(EnginePath(), elsewhere / "engine");
  fs::create_symlink(elsewhere / "engine", EnginePath());
  ExpectTheEngine("a link to the engine");
  EXPECT_FALSE(fs::is_symlink(EnginePath()));
}

// In a temporary folder that others may write to (no sticky bit), another user swaps the engine folder
// with a folder of theirs, over and over, while the user loads. What was checked must be what is loaded.
TEST_F(PrivateFolderTest, AFolderSwappedDuringTheLoadNeverGetsItsLibraryLoaded) {
  fs::permissions(root_, fs::perms::all, fs::perm_options::replace);
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  UnloadEngine();
  const std::string impostor = Impostor();
  const fs::path folder = EngineFolder();
  const fs::path decoy = root_ / "decoy";
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  OtherUser swapper([&] {
    fs::create_directory(decoy);
    WriteBytes(decoy / EnginePath().filename(), impostor);
    (void)!write(ready[1], "r", 1);
    for (;;) renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, decoy.c_str(), RENAME_EXCHANGE);
    return 0;
  });
  close(ready[1]);
  char signal = 0;
  ASSERT_EQ(read(ready[0], &signal, 1), 1) << "the other user could not prepare the swap";
  close(ready[0]);

  platform::testing::MessageCapture messages;
  int wrong = 0;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    if (Md5Request(u"abc") != kMd5OfAbc) ++wrong;
    UnloadEngine();
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_TRUE(messages.Messages().empty());
}

} // namespace
} // namespace qtv::host::testing
