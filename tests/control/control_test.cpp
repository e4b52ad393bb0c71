// The control class through its public methods, as a host application uses it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "control/qtv_checksum.h"
#include "engine/interface1.h"
#include "host/control_error.h"
#include "host/dll_interface2.h"
#include "platform/file_system.h"
#include "platform/testing.h"
#include "platform/text.h"

namespace qtv {
namespace {

namespace fs = std::filesystem;

struct Event {
  std::int32_t number;
  std::u16string description;
  bool operator==(const Event&) const = default;
};
const Event kEmptyName{3, u"The input file is empty "};
const Event kInvalidFile{5, u"The input file or path is invalid"};

std::u16string Text(const fs::path& path) { return platform::FromAnsi(path.string()); }

class ControlTest : public ::testing::Test {
protected:
  static const fs::path& Base() {
    static const fs::path base = fs::temp_directory_path();
    return base;
  }
  void SetUp() override {
    host::UnloadEngine();
    root_ = Base() / ("qtv-control-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    platform::testing::SetTempFolderVariable(root_.string());
    control_.ConnectErrorCode([this](std::int32_t& number, std::u16string& description) {
      events_.push_back({number, description});
    });
  }
  void TearDown() override {
    host::UnloadEngine();
    platform::testing::SetTempFolderVariable(Base().string());
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  fs::path WriteFile(const std::string& name, const std::string& bytes) {
    const fs::path path = root_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  QTVChecksum control_;
  std::vector<Event> events_;
  fs::path root_;
};

struct Method {
  std::u16string (QTVChecksum::*string)(std::u16string, std::int32_t);
  std::u16string (QTVChecksum::*file)(std::u16string);
  std::u16string abc;
  std::u16string empty;
};
const Method kMethods[] = {
    {&QTVChecksum::CRC32String, &QTVChecksum::CRC32File, u"352441c2", u"00000000"},
    {&QTVChecksum::MD5String, &QTVChecksum::MD5File, u"900150983cd24fb0d6963f7d28e17f72",
     u"d41d8cd98f00b204e9800998ecf8427e"},
    {&QTVChecksum::SHA1String, &QTVChecksum::SHA1File, u"a9993e364706816aba3e25717850c26c9cd0d89d",
     u"da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    {&QTVChecksum::SHA256String, &QTVChecksum::SHA256File,
     u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
     u"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {&QTVChecksum::Adler32String, &QTVChecksum::Adler32File, u"024d0127", u"00000001"},
};

TEST_F(ControlTest, StringMethodsReturnExactlyTheirDigits) {
  for (const Method& method : kMethods) {
    EXPECT_EQ((control_.*method.string)(u"abc", 3), method.abc);
    EXPECT_EQ((control_.*method.string)(u"abcdef", 3), method.abc);
    EXPECT_EQ((control_.*method.string)(u"whatever it holds", 0), method.empty);
    EXPECT_EQ((control_.*method.string)(u"", 0), method.empty);
  }
  EXPECT_TRUE(events_.empty());
}

TEST_F(ControlTest, FileMethodsMatchTheStringMethods) {
  const fs::path abc = WriteFile("abc.txt", "abc");
  const fs::path empty = WriteFile("empty.bin", "");
  for (const Method& method : kMethods) {
    EXPECT_EQ((control_.*method.file)(Text(abc)), method.abc);
    EXPECT_EQ((control_.*method.file)(Text(empty)), method.empty);
  }
  EXPECT_TRUE(events_.empty());
}

TEST_F(ControlTest, AnEmptyNameRaisesThreeAndStillDeploysTheEngine) {
  for (const Method& method : kMethods) EXPECT_EQ((control_.*method.file)(u""), u"");
  EXPECT_EQ(events_, std::vector<Event>(5, kEmptyName));
  EXPECT_TRUE(host::CurrentEngineState().EngineLoaded);
  EXPECT_TRUE(fs::is_regular_file(root_ / "QTVSoftware" / engine::kFileName));
}

TEST_F(ControlTest, AnUnreadableFileRaisesFive) {
  for (const Method& method : kMethods) {
    EXPECT_EQ((control_.*method.file)(Text(root_ / "missing.txt")), u"");
    EXPECT_EQ((control_.*method.file)(Text(root_)), u"");
    EXPECT_EQ((control_.*method.file)(u" "), u"");
  }
  EXPECT_EQ(events_, std::vector<Event>(15, kInvalidFile));
}

TEST_F(ControlTest, WhatAHandlerWritesChangesNothing) {
  std::vector<Event> seenBySecond;
  control_.ConnectErrorCode([](std::int32_t& number, std::u16string& description) {
    number = 99;
    description = u"changed";
  });
  control_.ConnectErrorCode([&seenBySecond](std::int32_t& number, std::u16string& description) {
    seenBySecond.push_back({number, description});
  });
  EXPECT_EQ(control_.MD5File(u""), u"");
  EXPECT_EQ(control_.MD5File(u"no such file"), u"");
  EXPECT_EQ(events_, (std::vector<Event>{kEmptyName, kInvalidFile}));
  EXPECT_EQ(seenBySecond, events_);
}

TEST_F(ControlTest, HandlersConnectAndDisconnectByCookie) {
  int calls = 0;
  const QTVChecksum::Cookie cookie = control_.ConnectErrorCode([&calls](std::int32_t&, std::u16string&) { ++calls; });
  EXPECT_NE(cookie, 0u);
  control_.CRC32File(u"");
  EXPECT_TRUE(control_.DisconnectErrorCode(cookie));
  EXPECT_FALSE(control_.DisconnectErrorCode(cookie));
  EXPECT_FALSE(control_.DisconnectErrorCode(0));
  control_.CRC32File(u"");
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(events_.size(), 2u);
}

TEST_F(ControlTest, WithoutAnEngineMethodsReturnBlanksAndRaiseNothing) {
  fs::create_directories(root_ / "QTVSoftware");
  std::ofstream(root_ / "QTVSoftware" / engine::kFileName, std::ios::binary) << "damaged";
  const fs::path abc = WriteFile("abc.txt", "abc");
  platform::testing::MessageCapture messages;
  EXPECT_EQ(control_.MD5String(u"abc", 3), std::u16string(32, u' '));
  EXPECT_EQ(control_.CRC32File(Text(abc)), std::u16string(8, u' '));
  EXPECT_TRUE(events_.empty());
  EXPECT_EQ(messages.Messages().size(), 4u);
}

TEST_F(ControlTest, AFolderThatCannotBeCreatedIsAFailureNotAnEvent) {
  std::ofstream(root_ / "QTVSoftware") << "a file in the folder's place";
  const std::u16string expected = u"Unable to create the destination folder " + Text(root_) +
                                  platform::kPathSeparator + u"QTVSoftware" + platform::kPathSeparator;
  for (int i = 0; i < 2; ++i) {
    try {
      i == 0 ? control_.SHA1String(u"abc", 3) : control_.SHA1File(u"");
      ADD_FAILURE() << "no failure";
    } catch (const ControlError& error) {
      EXPECT_EQ(error.number(), 70);
      EXPECT_EQ(error.description(), expected);
    }
  }
  EXPECT_TRUE(events_.empty());
}

TEST_F(ControlTest, TheControlKeepsItsFixedSize) {
  for (auto [width, height] : {std::pair{2000, 1000}, std::pair{0, 0}, std::pair{480, 480}, std::pair{-5, 99999}}) {
    std::int32_t Width = width;
    std::int32_t Height = height;
    control_.Resize(Width, Height);
    EXPECT_EQ(Width, 480);
    EXPECT_EQ(Height, 480);
  }
}

TEST_F(ControlTest, ControlNameIsTheLibrarysTitle) { EXPECT_EQ(control_.ControlName(), u"QTV Checksum OCX 1.0.0"); }

TEST_F(ControlTest, AnInstanceEndingLeavesTheOthersOnItsThreadWorking) {
  QTVChecksum other;
  EXPECT_EQ(other.MD5String(u"abc", 3), kMethods[1].abc);
  {
    QTVChecksum shortLived;
    EXPECT_EQ(shortLived.SHA1String(u"abc", 3), kMethods[2].abc);
  }
  EXPECT_EQ(other.MD5String(u"abc", 3), kMethods[1].abc);
  EXPECT_EQ(control_.CRC32String(u"abc", 3), kMethods[0].abc);
  {
    QTVChecksum a;
    QTVChecksum b;
  } // two endings in a row with nothing loaded
  EXPECT_EQ(other.Adler32String(u"abc", 3), kMethods[4].abc);
}

TEST_F(ControlTest, EachThreadLoadsTheEngineForItself) {
  EXPECT_EQ(control_.MD5String(u"abc", 3), kMethods[1].abc);
  std::vector<std::thread> threads;
  std::vector<std::u16string> results(4);
  for (std::size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([&results, i] {
      QTVChecksum mine;
      results[i] = host::CurrentEngineState().EngineLoaded ? u"shared state" : mine.SHA256String(u"abc", 3);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(results, std::vector<std::u16string>(4, kMethods[3].abc));
  EXPECT_EQ(control_.MD5String(u"abc", 3), kMethods[1].abc);
}

} // namespace
} // namespace qtv
