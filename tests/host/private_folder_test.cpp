// Linux shares /tmp among all users: an engine file that another user could have placed or changed must
// never be loaded.
#include <sys/stat.h>
#include <unistd.h>

#include "host_test_support.h"

namespace qtv::host::testing {
namespace {

constexpr uid_t kNobody = 65534;

class PrivateFolderTest : public HostTest {
protected:
  void SetUp() override {
    HostTest::SetUp();
    fs::create_directories(EngineFolder());
    fs::permissions(EngineFolder(), fs::perms::owner_all, fs::perm_options::replace);
    fs::copy_file(BuiltEngine(), EnginePath());
  }
  // The request fails as a failed load does, and nothing is loaded.
  void ExpectRefused() {
    platform::testing::MessageCapture messages;
    EXPECT_EQ(Md5Request(u"abc"), std::u16string(32, u' '));
    EXPECT_EQ(messages.Messages(), (std::vector<std::string>{kLoadFailed, kLoadFailed}));
    EXPECT_EQ(CurrentEngineState().EngineHandle, 0u);
  }
};

TEST_F(PrivateFolderTest, TheFolderIsCreatedPrivate) {
  fs::remove_all(EngineFolder());
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
  struct stat status {};
  ASSERT_EQ(stat(EngineFolder().c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  EXPECT_EQ(status.st_uid, geteuid());
}

TEST_F(PrivateFolderTest, AFileOrFolderOfAnotherUserIsNotLoaded) {
  if (geteuid() != 0) GTEST_SKIP() << "giving files away needs root";
  ASSERT_EQ(chown(EnginePath().c_str(), kNobody, kNobody), 0);
  ExpectRefused();
  ASSERT_EQ(chown(EnginePath().c_str(), 0, 0), 0);
  ASSERT_EQ(chown(EngineFolder().c_str(), kNobody, kNobody), 0);
  ExpectRefused();
}

TEST_F(PrivateFolderTest, AFileOrFolderWritableByOthersIsNotLoaded) {
  fs::permissions(EnginePath(), fs::perms::group_write, fs::perm_options::add);
  ExpectRefused();
  fs::permissions(EnginePath(), fs::perms::group_write, fs::perm_options::remove);
  fs::permissions(EngineFolder(), fs::perms::others_write, fs::perm_options::add);
  ExpectRefused();
  fs::permissions(EngineFolder(), fs::perms::others_write, fs::perm_options::remove);
  EXPECT_EQ(Md5Request(u"abc"), kMd5OfAbc);
}

TEST_F(PrivateFolderTest, ALinkInPlaceOfTheFileOrFolderIsNotLoaded) {
  const fs::path elsewhere = root_ / "elsewhere.dll";
  fs::rename(EnginePath(), elsewhere);
  fs::create_symlink(elsewhere, EnginePath());
  ExpectRefused();

  fs::remove(EnginePath());
  fs::rename(EngineFolder(), root_ / "real-folder");
  fs::copy_file(BuiltEngine(), root_ / "real-folder" / engine::kFileName);
  fs::create_directory_symlink(root_ / "real-folder", EngineFolder());
  ExpectRefused();
}

} // namespace
} // namespace qtv::host::testing
