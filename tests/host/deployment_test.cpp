// Deploying and loading the engine, against a real temporary folder and real faults.
#include <thread>

#include "host/control_error.h"
#include "host_test_support.h"

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

TEST_F(DeploymentTest, APresentFileIsLoadedUnchanged) {
  fs::create_directories(EngineFolder());
  // A usable library that differs from the built one: bytes appended to a library do not stop it loading.
  const std::string present = ReadBytes(BuiltEngine()) + "left here by an earlier build";
  WriteBytes(EnginePath(), present);
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  UnloadEngine();
  EXPECT_EQ(ReadBytes(EnginePath()), present);
}

TEST_F(DeploymentTest, ADamagedFileIsReportedTwicePerRequestAndRetriedEachTime) {
  fs::create_directories(EngineFolder());
  WriteBytes(EnginePath(), "MZ but nothing a loader would take");
  platform::testing::MessageCapture messages;
  EXPECT_EQ(Md5Request(u"abc"), std::u16string(32, u' '));
  EXPECT_EQ(messages.Messages(), (std::vector<std::string>{kLoadFailed, kLoadFailed}));
  EXPECT_FALSE(CurrentEngineState().EngineLoaded);
  EXPECT_EQ(CurrentEngineState().EngineHandle, 0u);

  // Repaired from outside: the next request loads it, since every request after a failure retries.
  fs::copy_file(BuiltEngine(), EnginePath(), fs::copy_options::overwrite_existing);
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  EXPECT_EQ(messages.Messages().size(), 2u);
}

TEST_F(DeploymentTest, ALibraryWithoutTheEntryIsReportedTwicePerRequest) {
  fs::create_directories(EngineFolder());
  fs::copy_file(QTV_NO_ENTRY_LIBRARY, EnginePath());
  platform::testing::MessageCapture messages;
  EXPECT_EQ(Md5Request(u"abc"), std::u16string(32, u' '));
  EXPECT_EQ(Md5Request(u"abc"), std::u16string(32, u' '));
  EXPECT_EQ(messages.Messages(), std::vector<std::string>(4, kEntryMissing));
  const EngineState state = CurrentEngineState();
  EXPECT_FALSE(state.EngineLoaded);
  EXPECT_NE(state.EngineHandle, 0u);
  EXPECT_EQ(state.EngineEntry, 0u);
}

TEST_F(DeploymentTest, AFolderThatCannotBeCreatedEndsTheRequestWithError70) {
  WriteBytes(EngineFolder(), "a file where the folder must go");
  const std::u16string expected =
      u"Unable to create the destination folder " + Text(root_) + platform::kPathSeparator + u"QTVSoftware" +
      platform::kPathSeparator;
  platform::testing::MessageCapture messages;
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      EnsureEngineLoaded();
      ADD_FAILURE() << "no error";
    } catch (const ControlError& error) {
      EXPECT_EQ(error.number(), 70);
      EXPECT_EQ(error.description(), expected);
    }
  }
  EXPECT_TRUE(messages.Messages().empty());
  EXPECT_EQ(CurrentEngineState().EngineHandle, 0u);
}

TEST_F(DeploymentTest, AMissingFolderIsCreatedLevelByLevel) {
  const fs::path deep = root_ / "one" / "two" / "three";
  UseTempFolder(deep.string());
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  EXPECT_TRUE(fs::is_regular_file(deep / "QTVSoftware" / engine::kFileName));

  const fs::path other = root_ / "a" / "b";
  EXPECT_TRUE(CreateFolderPath(Text(other)));
  EXPECT_TRUE(fs::is_directory(other));
  EXPECT_TRUE(CreateFolderPath(Text(other) + platform::kPathSeparator)); // exists: left as it is
  WriteBytes(root_ / "blocker", "");
  EXPECT_FALSE(CreateFolderPath(Text(root_ / "blocker" / "below")));
}

TEST_F(DeploymentTest, TheTemporaryFolderEndsInExactlyOneSeparator) {
  UseTempFolder(root_.string());
  EXPECT_EQ(GetTempFolder(), Text(root_) + platform::kPathSeparator);
  UseTempFolder(root_.string() + std::string(1, static_cast<char>(platform::kPathSeparator)));
  EXPECT_EQ(GetTempFolder(), Text(root_) + platform::kPathSeparator);
}

TEST_F(DeploymentTest, ATemporaryFolderTooLongForTheQueryBehavesAsAFailedLoad) {
  std::string longName = root_.string();
  while (longName.size() < 300) longName += static_cast<char>(platform::kPathSeparator) + std::string(40, 'x');
  UseTempFolder(longName);
  EXPECT_FALSE(GetTempFolder().has_value());
  platform::testing::MessageCapture messages;
  EXPECT_EQ(Md5Request(u"abc"), std::u16string(32, u' '));
  EXPECT_EQ(messages.Messages(), (std::vector<std::string>{kLoadFailed, kLoadFailed}));
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

TEST_F(DeploymentTest, AnotherWritersFileIsKeptAndNoPrivateNameIsLeftBehind) {
  fs::create_directories(EngineFolder());
  // A reader that meets the engine path sees either nothing or the whole engine: with the file already
  // there the write is not even attempted, and with it missing the private name is moved into place.
  for (int round = 0; round < 5; ++round) {
    const std::u16string path = Text(EnginePath());
    std::thread first([&path] { WriteEngineFile(path, 1); });
    WriteEngineFile(path, 1);
    first.join();
    WriteEngineFile(path, 1);
    EXPECT_EQ(ReadBytes(EnginePath()), ReadBytes(BuiltEngine()));
    EXPECT_EQ(std::distance(fs::directory_iterator(EngineFolder()), fs::directory_iterator()), 1);
    fs::remove(EnginePath());
  }
  WriteEngineFile(Text(root_ / "no-such-folder" / engine::kFileName), 1); // fails quietly
  WriteEngineFile(Text(EnginePath()), 99);                          // no such resource: quietly nothing
  EXPECT_FALSE(fs::exists(EnginePath()));
}

} // namespace
} // namespace qtv::host::testing
