// Deploying and loading the engine, against a real temporary folder and real faults.
#include <cctype>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "platform/library.h"
#include "platform/unique_handle.h"

#include "host_test_support.h"
#include "qtvchecksum/control_error.h"
#if !defined(_WIN32)
#include "tests/support/noexec_mount.h"
#endif

namespace qtv::host::testing {
namespace {

using DeploymentTest = HostTest;

TEST_F(DeploymentTest, FirstRequestWritesTheImageLoadsItAndResolvesTheEntry) {
  EXPECT_FALSE(CurrentEngineState().EngineLoaded);
  platform::testing::MessageCapture messages;
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  const EngineState state = CurrentEngineState();
  EXPECT_TRUE(state.EngineLoaded);
  EXPECT_NE(state.EngineHandle, 0u);
  EXPECT_NE(state.EngineEntry, 0u);
  EXPECT_TRUE(messages.Messages().empty());
  ASSERT_TRUE(fs::is_regular_file(EnginePath()));
  EXPECT_EQ(ReadBytes(EnginePath()), ReadBytes(BuiltEngine()));
  // Only the engine file is left in the folder: the private name it was written under is gone.
  EXPECT_EQ(std::distance(fs::directory_iterator(EngineFolder()), fs::directory_iterator()), 1);
}

TEST_F(DeploymentTest, LaterRequestsTouchNeitherTheDiskNorTheLoader) {
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  const EngineState loaded = CurrentEngineState();
  // Any look at the disk would now fail loudly: the temporary folder lies below a file, so the engine
  // folder could be neither found nor created, and any load from there would fail.
  WriteBytes(root_ / "blocker", "not a folder");
  UseTempFolder((root_ / "blocker" / "below").string());
  platform::testing::MessageCapture messages;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  EXPECT_TRUE(messages.Messages().empty());
  const EngineState after = CurrentEngineState();
  EXPECT_EQ(after.EngineHandle, loaded.EngineHandle);
  EXPECT_EQ(after.EngineEntry, loaded.EngineEntry);
}

// Whatever is found at the engine path is loaded only when it is the carried engine byte for byte;
// anything else is replaced first, and the request is answered by the real engine.
TEST_F(DeploymentTest, AnEngineFileThatDiffersIsReplacedBeforeLoading) {
  const std::string engine = ReadBytes(BuiltEngine());
  const struct {
    const char* what;
    std::string bytes;
  } found[] = {
      {"an older build (a usable library with other bytes)", engine + "left here by an earlier build"},
      {"another library that exports the entry", ReadBytes(QTV_IMPOSTOR_LIBRARY)},
      {"a library without the entry", ReadBytes(QTV_NO_ENTRY_LIBRARY)},
      {"an engine cut short", engine.substr(0, 1000)},
      {"an engine cut shorter still", engine.substr(0, 20000)},
      {"an engine with one byte changed", engine.substr(0, 5000) + "\x01" + engine.substr(5001)},
      {"a damaged file", "MZ but nothing a loader would take"},
      {"an empty file", ""},
  };
  fs::create_directories(EngineFolder());
  for (const auto& [what, bytes] : found) {
    WriteBytes(EnginePath(), bytes);
    platform::testing::MessageCapture messages;
    EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc) << what;
    EXPECT_TRUE(messages.Messages().empty()) << what;
    EXPECT_EQ(ReadBytes(EnginePath()), engine) << what;
    UnloadEngine();
    EXPECT_EQ(std::distance(fs::directory_iterator(EngineFolder()), fs::directory_iterator()), 1) << what;
  }
  // The carried engine is used as it is: not written again.
  const auto written = fs::last_write_time(EnginePath());
  const auto earlier = written - std::chrono::hours(1);
  fs::last_write_time(EnginePath(), earlier);
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  EXPECT_EQ(fs::last_write_time(EnginePath()), earlier);
}

TEST_F(DeploymentTest, AFileHeldByAnotherProgramIsLeftAndAPrivateCopyLoaded) {
  fs::create_directories(EngineFolder());
  const std::string impostor = ReadBytes(QTV_IMPOSTOR_LIBRARY);
  WriteBytes(EnginePath(), impostor);
  {
    platform::testing::ExclusiveHold hold(EnginePath().string());
    if (!hold.held()) GTEST_SKIP() << "this system has no exclusive holds";
    platform::testing::MessageCapture messages;
    EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
    EXPECT_TRUE(messages.Messages().empty());
    // The held file and the loaded copy.
    EXPECT_EQ(std::distance(fs::directory_iterator(EngineFolder()), fs::directory_iterator()), 2);
    UnloadEngine();
  }
  // Released, the copy goes; the other program's file was never touched.
  EXPECT_EQ(std::distance(fs::directory_iterator(EngineFolder()), fs::directory_iterator()), 1);
  EXPECT_EQ(ReadBytes(EnginePath()), impostor);
  // Once nobody holds it, the next load heals it.
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  EXPECT_EQ(ReadBytes(EnginePath()), ReadBytes(BuiltEngine()));
}

#if !defined(_WIN32)
// A temporary folder that runs no programs: the engine is still deployed there, in the user's folder or
// in a fresh private one, and the carried image is loaded from memory. Whatever was found there is never
// loaded, and a damaged image is refused from memory as from disk.
TEST_F(DeploymentTest, ATemporaryFolderThatRunsNoProgramsGetsTheCarriedEngineFromMemory) {
  const qtv::testing::NoexecMount noexec(root_ / "noexec");
  if (!noexec.refused().empty()) GTEST_SKIP() << "no noexec tmpfs can be mounted here: " << noexec.refused();
  UseTempFolder(noexec.path());
  const fs::path folder = noexec.path() / EngineFolder().filename();
  fs::create_directory(folder);
  for (const std::string& found : {ReadBytes(QTV_IMPOSTOR_LIBRARY), std::string("damaged")}) {
    WriteBytes(folder / EnginePath().filename(), found);
    platform::testing::MessageCapture messages;
    EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_EQ(ReadBytes(folder / EnginePath().filename()), ReadBytes(BuiltEngine()));
    UnloadEngine();
  }
  fs::remove_all(folder);
  WriteBytes(folder, "a file where the folder belongs");
  platform::testing::MessageCapture messages;
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  EXPECT_TRUE(messages.Messages().empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(noexec.path()), fs::directory_iterator()), 1);
  UnloadEngine();

  const fs::path closed = noexec.path() / "closed";
  fs::create_directory(closed);
  fs::permissions(closed, fs::perms::owner_all, fs::perm_options::replace);
  const std::string broken = "\177ELF and nothing a loader would take";
  const platform::Deployment damaged = platform::DeployAndLoad(
      closed.native() + "/", "broken.so", std::as_bytes(std::span(broken.data(), broken.size())));
  EXPECT_TRUE(damaged.folderUsable);
  EXPECT_EQ(damaged.library, 0u);
}
#endif

#if defined(_WIN32)
// Another program that loads the engine under this test's temporary folder and holds the load, never
// releasing it, until it is killed: a host killed or ended with the control alive.
class EngineHolder {
public:
  EngineHolder() {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE reading = nullptr;
    HANDLE writing = nullptr;
    if (!CreatePipe(&reading, &writing, &inherited, 0)) return;
    output_.reset(reading);
    const Handle childEnd(writing);
    SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writing;
    std::wstring command = QTV_PRIVATE_COPY_HOLDER;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &started))
      return;
    process_.reset(started.hProcess);
    CloseHandle(started.hThread);
  }
  ~EngineHolder() { Kill(); }

  // What the program said first ("loaded"), or nothing when it ended without a word.
  std::string FirstWord() {
    std::string word;
    char c = 0;
    DWORD count = 0;
    while (ReadFile(output_.get(), &c, 1, &count, nullptr) && count == 1 && std::isalpha(c)) word += c;
    return word;
  }
  void Kill() {
    if (!process_) return;
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), INFINITE);
    process_.reset();
  }

private:
  static constexpr auto kClose = [](HANDLE handle) noexcept { CloseHandle(handle); };
  using Handle = platform::UniqueHandle<HANDLE, nullptr, kClose>;
  Handle output_;
  Handle process_;
};

// Copies left by programs that ended without releasing them are removed by the next load that writes,
// while a copy still loaded by a living program stays.
TEST_F(DeploymentTest, PrivateCopiesLeftByEndedProgramsAreRemovedByTheNextLoad) {
  fs::create_directories(EngineFolder());
  WriteBytes(EnginePath(), ReadBytes(QTV_IMPOSTOR_LIBRARY));
  const auto files = [this] {
    return std::distance(fs::directory_iterator(EngineFolder()), fs::directory_iterator());
  };
  {
    const platform::testing::ExclusiveHold hold(EnginePath());
    ASSERT_TRUE(hold.held());
    EngineHolder living;
    ASSERT_EQ(living.FirstWord(), "loaded");
    EngineHolder killed;
    ASSERT_EQ(killed.FirstWord(), "loaded");
    killed.Kill();
    ASSERT_EQ(files(), 3); // the held file and two copies
    EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
    // The held file, the living program's copy and this load's own.
    EXPECT_EQ(files(), 3);
    UnloadEngine();
    EXPECT_EQ(files(), 2);
  }
  // The hold has ended, and so has the last program: the load that heals the engine file removes the rest.
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  EXPECT_EQ(files(), 1);
  EXPECT_EQ(ReadBytes(EnginePath()), ReadBytes(BuiltEngine()));
}
#endif

TEST_F(DeploymentTest, ALoadWithoutTheEntryIsReleasedAndTheEngineLoaded) {
  const platform::LibraryHandle foreign = platform::LoadLibraryAt(QTV_NO_ENTRY_LIBRARY);
  ASSERT_NE(foreign, 0u);
  AdoptLoad(foreign);
  EXPECT_FALSE(CurrentEngineState().EngineLoaded);
  platform::testing::MessageCapture messages;
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  EXPECT_TRUE(messages.Messages().empty());
  EXPECT_NE(CurrentEngineState().EngineHandle, foreign);
}

// The temporary folder is used as the system names it, in UTF-16 on Windows and as bytes on Linux:
// names outside the ANSI code page, or that are not UTF-8, reach the engine folder unchanged.
TEST_F(DeploymentTest, TemporaryFoldersOfAnyNameAreUsedAsTheyAre) {
#if defined(_WIN32)
  const fs::path names[] = {L"\u4e2d\u6587", L"\u0142", L"caf\u00e9"};
#else
  const fs::path names[] = {"\xe4\xb8\xad\xe6\x96\x87", "\xc5\x82", "caf\xe9"};
#endif
  for (const fs::path& name : names) {
    const fs::path temp = root_ / name;
    fs::create_directory(temp);
    UseTempFolder(temp);
    ASSERT_EQ(GetTempFolder(), temp.native() + platform::kNativeSeparator);
    EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
    EXPECT_EQ(ReadBytes(temp / EngineFolder().filename() / EnginePath().filename()),
              ReadBytes(BuiltEngine()));
    UnloadEngine();
  }
  // Nothing was written anywhere else: no folder under a converted name.
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()),
            static_cast<std::ptrdiff_t>(std::size(names)));

  // Error 70 names the real folder.
  const fs::path blocked = root_ / names[0] / "blocker";
  WriteBytes(blocked, "not a folder");
  UseTempFolder(blocked / "below");
  ExpectError70(blocked / "below");
}

TEST_F(DeploymentTest, AFolderThatCannotBeCreatedEndsTheRequestWithError70) {
  // The temporary folder lies below a file: neither the engine folder nor any other can be made there.
  WriteBytes(root_ / "blocker", "a file where a folder must go");
  UseTempFolder(root_ / "blocker" / "below");
  platform::testing::MessageCapture messages;
  for (int attempt = 0; attempt < 2; ++attempt) ExpectError70(root_ / "blocker" / "below");
#if defined(_WIN32)
  // A device as the temporary folder: the text names the folder tried, in its full form, once.
  UseTempFolder("NUL");
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      EnsureEngineLoaded();
      ADD_FAILURE() << "no error";
    } catch (const ControlError& error) {
      EXPECT_EQ(error.number(), 70);
      EXPECT_EQ(error.description(), u"Unable to create the destination folder \\\\.\\NUL\\QTVSoftware\\");
    }
  }
#endif
  EXPECT_TRUE(messages.Messages().empty());
  EXPECT_EQ(CurrentEngineState().EngineHandle, 0u);
}

// Only the engine folder is made, never one above it: a temporary folder that is missing, from the
// start or removed while the program runs, is error 70 and stays missing.
TEST_F(DeploymentTest, OnlyTheEngineFolderIsMadeNeverOneAboveIt) {
  const fs::path deep = root_ / "one" / "two";
  UseTempFolder(deep);
  ExpectError70(deep);
  EXPECT_FALSE(fs::exists(root_ / "one"));

  const fs::path temp = root_ / "temp";
  fs::create_directory(temp);
  UseTempFolder(temp);
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  UnloadEngine();
  fs::remove_all(temp);
  ExpectError70(temp);
  EXPECT_FALSE(fs::exists(temp));

  EXPECT_FALSE(CreateFolderPath((root_ / "a" / "b").native()));
  EXPECT_FALSE(fs::exists(root_ / "a"));
  EXPECT_TRUE(CreateFolderPath((root_ / "a").native()));
  EXPECT_TRUE(CreateFolderPath((root_ / "a").native() + platform::kNativeSeparator)); // left as it is
}

TEST_F(DeploymentTest, TheTemporaryFolderEndsInExactlyOneSeparator) {
  UseTempFolder(root_);
  EXPECT_EQ(GetTempFolder(), root_.native() + platform::kNativeSeparator);
  UseTempFolder(root_.native() + platform::kNativeSeparator);
  EXPECT_EQ(GetTempFolder(), root_.native() + platform::kNativeSeparator);
#ifndef _WIN32
  // A relative TMPDIR names a different folder wherever the program stands: the system's /tmp serves.
  UseTempFolder("relative/temp");
  EXPECT_EQ(GetTempFolder(), "/tmp/");
#endif
}

// The temporary folder query allows 255 characters, and the loader stops at MAX_PATH. A longer folder is
// used in its short form where it has one that fits (Windows), and an engine beyond MAX_PATH is loaded
// through its short name; a folder without a form that fits fails the load.
TEST_F(DeploymentTest, ALongTemporaryFolderIsUsedThroughShortNamesOrFailsTheLoad) {
  std::string longName = root_.string();
  while (longName.size() < 300)
    longName += static_cast<char>(platform::kPathSeparator) + std::string(40, 'x');
  UseTempFolder(longName);
  EXPECT_FALSE(GetTempFolder().has_value());
  platform::testing::MessageCapture messages;
  EXPECT_EQ(Md5Request(u"abc"), std::u16string(32, u' '));
  EXPECT_EQ(messages.Messages(), (std::vector<std::string>{kLoadFailed, kLoadFailed}));
#if defined(_WIN32)
  for (const std::size_t length : {300u, 250u}) {
    const Path folder = DeepFolder(length);
    UseTempFolder(folder);
    EXPECT_LT(GetTempFolder().value_or(platform::NativePath(255, L'x')).size(), 255u) << length;
    EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc) << length;
    std::wstring loaded(32768, L'\0');
    loaded.resize(GetModuleFileNameW(reinterpret_cast<HMODULE>(CurrentEngineState().EngineHandle),
                                     loaded.data(), static_cast<DWORD>(loaded.size())));
    EXPECT_LT(loaded.size(), std::size_t{MAX_PATH}) << length;
    EXPECT_EQ(ReadBytes(folder / EngineFolder().filename() / EnginePath().filename()),
              ReadBytes(BuiltEngine()))
        << length;
    UnloadEngine();
  }
  EXPECT_EQ(messages.Messages().size(), 2u);
#endif
}

TEST_F(DeploymentTest, EachThreadLoadsForItself) {
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  std::thread other([] {
    EXPECT_FALSE(CurrentEngineState().EngineLoaded);
    EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
    EXPECT_TRUE(CurrentEngineState().EngineLoaded);
    UnloadEngine();
  });
  other.join();
  // The other thread's release was of its own load: this thread's engine still answers.
  EXPECT_TRUE(CurrentEngineState().EngineLoaded);
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
}

TEST_F(DeploymentTest, UnloadingForgetsTheLoadSoLaterRequestsLoadAgain) {
  UnloadEngine(); // nothing loaded: nothing happens
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  // Several instances ending on one thread: one release, then nothing to release.
  UnloadEngine();
  UnloadEngine();
  UnloadEngine();
  const EngineState state = CurrentEngineState();
  EXPECT_FALSE(state.EngineLoaded);
  EXPECT_EQ(state.EngineHandle, 0u);
  EXPECT_EQ(state.EngineEntry, 0u);
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
}

// The thread's instances keep its engine, and the last one to end releases it. An ending where none was
// counted in (an instance made on another thread) finds nothing to keep, and never makes a later count
// miss its last instance.
TEST_F(DeploymentTest, TheThreadsLastInstanceToEndReleasesTheEngine) {
  InstanceCreated();
  InstanceCreated();
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  const EngineState loaded = CurrentEngineState();
  InstanceEnded();
  EXPECT_EQ(CurrentEngineState().EngineHandle, loaded.EngineHandle) << "released while an instance lives";
  EXPECT_TRUE(CurrentEngineState().EngineLoaded);
  InstanceEnded();
  EXPECT_EQ(CurrentEngineState().EngineHandle, 0u) << "kept after the last instance ended";
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  InstanceEnded();
  EXPECT_EQ(CurrentEngineState().EngineHandle, 0u);
  InstanceCreated();
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  InstanceEnded();
  EXPECT_EQ(CurrentEngineState().EngineHandle, 0u) << "an ending from another thread spoilt the count";
}

TEST_F(DeploymentTest, ThreadsDeployingAtOnceAllGetTheEngineAndLeaveOneFile) {
  fs::create_directories(EngineFolder());
  const std::string impostor = ReadBytes(QTV_IMPOSTOR_LIBRARY);
  // Each round starts from a file that must be replaced, or from none; every thread replaces or uses it
  // while the others do the same, and a reader never meets anything but a whole engine. In the last
  // rounds another program holds the file, and every thread writes and loads a copy of its own while
  // the others clear away what earlier copies left.
  for (int round = 0; round < 8; ++round) {
    if (round % 2 == 0) WriteBytes(EnginePath(), impostor);
    std::optional<platform::testing::ExclusiveHold> hold;
    if (round >= 6 && !hold.emplace(EnginePath()).held()) break; // this system has no exclusive holds
    std::vector<std::u16string> results(4);
    std::vector<std::thread> threads;
    for (std::u16string& result : results) {
      threads.emplace_back([&result] {
        platform::testing::MessageCapture messages;
        result = Md5Request(u"abc");
        UnloadEngine();
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(results, std::vector<std::u16string>(4, kMd5OfAbc)) << "round " << round;
    EXPECT_EQ(std::distance(fs::directory_iterator(EngineFolder()), fs::directory_iterator()), 1)
        << "round " << round;
    const bool held = hold.has_value();
    hold.reset();
    EXPECT_EQ(ReadBytes(EnginePath()), held ? impostor : ReadBytes(BuiltEngine())) << "round " << round;
    if (round % 2 == 1) fs::remove(EnginePath());
  }
}

} // namespace
} // namespace qtv::host::testing
