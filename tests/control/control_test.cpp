// The control class through its public methods, as a host application uses it.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>

#include "host/dll_interface2.h"
#include "host/dll_interface2_testing.h"
#include "platform/file_system.h"
#include "platform/testing.h"
#include "platform/text.h"
#include "qtvchecksum/control_error.h"
#include "qtvchecksum/qtv_checksum.h"
#include "tests/support/engine_folder_test.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>

#include "tests/support/noexec_mount.h"
#endif

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

class ControlTest : public qtv::testing::EngineFolderTest {
protected:
  void SetUp() override {
    EngineFolderTest::SetUp();
    control_.ConnectErrorCode([this](std::int32_t& number, std::u16string& description) {
      events_.push_back({number, description});
    });
  }
  fs::path WriteFile(const std::string& name, const std::string& bytes) {
    const fs::path path = root_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  QTVChecksum control_;
  std::vector<Event> events_;
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
    // A Length past the text counts the text's bytes, never the NUL that carries it to the engine.
    EXPECT_EQ((control_.*method.string)(u"abc", 4), method.abc);
    EXPECT_EQ((control_.*method.string)(u"abc", 1000000), method.abc);
    EXPECT_EQ((control_.*method.string)(u"", 5), method.empty);
  }
  EXPECT_TRUE(events_.empty());
}

// A negative Length fails the call as an invalid argument: no blanks, no event. The engine is made
// ready first, as for every request.
TEST_F(ControlTest, ANegativeLengthFailsTheCall) {
  for (const Method& method : kMethods) {
    for (const std::int32_t length : {-1, INT32_MIN}) {
      try {
        const std::u16string result = (control_.*method.string)(u"abc", length);
        ADD_FAILURE() << "returned [" << platform::ToAnsi(result) << "] for " << length;
      } catch (const ControlError& error) {
        EXPECT_EQ(error.number(), 5);
        EXPECT_EQ(error.description(), u"Invalid procedure call or argument");
      }
    }
  }
  EXPECT_TRUE(events_.empty());
  EXPECT_TRUE(host::testing::CurrentEngineState().EngineLoaded);
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
  EXPECT_TRUE(host::testing::CurrentEngineState().EngineLoaded);
  EXPECT_TRUE(fs::is_regular_file(EnginePath()));
}

TEST_F(ControlTest, AnUnreadableFileRaisesFive) {
  // Besides missing files and folders, anything that is not a regular file, found without waiting: a
  // FIFO without a writer, endless devices.
#ifdef _WIN32
  const std::u16string special[] = {u"NUL", u"CON", u"COM1"};
#else
  const fs::path fifo = root_ / "fifo";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  const std::u16string special[] = {Text(fifo), u"/dev/zero", u"/dev/urandom"};
#endif
  for (const Method& method : kMethods) {
    EXPECT_EQ((control_.*method.file)(Text(root_ / "missing.txt")), u"");
    EXPECT_EQ((control_.*method.file)(Text(root_)), u"");
    EXPECT_EQ((control_.*method.file)(u" "), u"");
    for (const std::u16string& name : special) EXPECT_EQ((control_.*method.file)(name), u"");
  }
  EXPECT_EQ(events_, std::vector<Event>(5 * (3 + std::size(special)), kInvalidFile));
}

// The file passes the check, then the engine cannot read it: the blanks it leaves are no checksum, and
// neither is the checksum of the bytes before a failed read. /proc/self/mem opens and fails at its first
// read; under Wine the Windows build reaches it as Z:\proc\self\mem.
TEST_F(ControlTest, AFileTheEngineCannotReadRaisesFive) {
#ifdef _WIN32
  const std::u16string unreadable = u"Z:\\proc\\self\\mem";
  if (GetFileAttributesW(L"Z:\\proc\\self\\mem") == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "no Linux file system under this Windows";
  }
#else
  const std::u16string unreadable = u"/proc/self/mem";
#endif
  for (const Method& method : kMethods) EXPECT_EQ((control_.*method.file)(unreadable), u"");
  EXPECT_EQ(events_, std::vector<Event>(5, kInvalidFile));
}

// Another program takes and leaves the file without sharing, as scanners do: some calls find it held at
// the check, some only when the engine opens it. Each call gives the checksum or raises 5, never blanks.
TEST_F(ControlTest, AFileHeldNowAndThenGivesItsChecksumOrFiveNeverBlanks) {
  const fs::path path = WriteFile("scanned.txt", "abc");
  if (!platform::testing::ExclusiveHold(path.string()).held())
    GTEST_SKIP() << "this system has no exclusive holds";
  std::atomic<bool> done{false};
  std::thread scanner([&done, &path] {
    while (!done) platform::testing::ExclusiveHold hold(path.string());
  });
  int checksums = 0;
  int refusals = 0;
  for (int i = 0; i < 2000; ++i) {
    const std::u16string result = control_.MD5File(Text(path));
    if (result == kMethods[1].abc) {
      ++checksums;
    } else {
      ASSERT_EQ(result, u"") << "call " << i;
      ++refusals;
    }
  }
  done = true;
  scanner.join();
  EXPECT_EQ(events_, std::vector<Event>(static_cast<std::size_t>(refusals), kInvalidFile));
  std::cout << checksums << " checksums, " << refusals << " refusals\n";
}

// A name is never replaced by a near form that names another file: without an exact ANSI form, the
// engine gets the file's short name when it has one, or the call raises 5.
TEST_F(ControlTest, ANameOutsideTheCodePageReachesItsOwnFileOrRaisesFive) {
  const std::u16string digestOf1 = u"c4ca4238a0b923820dcc509a6f75849b";
  const std::u16string digestOf3 = u"eccbc87e4b5ce2fe28308fd9f2a7baf3";
  WriteFile("abc.txt", "abc");
  EXPECT_EQ(control_.MD5File(Text(root_ / "abc.txt") + u'\0' + u"x"), u"");
  std::vector<Event> expected{kInvalidFile};
#ifdef _WIN32
  // Made through the wide functions. "\u0142" converts to "l" by best fit, which named al.txt.
  const std::u16string folder = root_.u16string() + u"\\";
  const std::pair<std::u16string, std::u16string> files[] = {{folder + u"a\u0142.txt", digestOf1},
                                                             {folder + u"\u4e2d.txt", digestOf3}};
  std::ofstream(fs::path(files[0].first), std::ios::binary) << "1";
  std::ofstream(fs::path(files[1].first), std::ios::binary) << "3";
  WriteFile("al.txt", "2");
  for (const auto& [name, digest] : files) {
    std::wstring shortName(600, L'\0');
    const std::wstring wide(name.begin(), name.end());
    shortName.resize(GetShortPathNameW(wide.c_str(), shortName.data(), 600));
    const bool hasShortName = !shortName.empty() && shortName != wide;
    EXPECT_EQ(control_.MD5File(name), hasShortName ? digest : u"") << platform::ToAnsi(name);
    if (!hasShortName) expected.push_back(kInvalidFile);
  }
#else
  // "?" stood in for an unpaired surrogate, which named a?b.
  WriteFile("a?b", "2");
  EXPECT_EQ(control_.MD5File(Text(root_) + u"/a\xD800"
                                           u"b"),
            u"");
  expected.push_back(kInvalidFile);
  static_cast<void>(digestOf1);
  static_cast<void>(digestOf3);
#endif
  EXPECT_EQ(events_, expected);
  // Texts keep their conversion: a character without an ANSI form still counts as its stand-in.
  EXPECT_EQ(control_.MD5String(u"a\xD800"
                               u"z",
                               3),
            control_.MD5String(u"a?z", 3));
}

// The engine's ANSI names stop at MAX_PATH characters: a longer name reaches the file through its short
// name, and one without a short name that fits raises 5 without reaching the engine at all.
TEST_F(ControlTest, ALongNameReachesItsOwnFileOrRaisesFive) {
  const fs::path abc = DeepFolder(327) / "abc.txt";
  std::ofstream(abc, std::ios::binary) << "abc";
  std::vector<std::u16string> names{Text(abc)};
  std::vector<Event> expected;
#ifdef _WIN32
  names.push_back(u"\\\\?\\" + Text(abc));
  const fs::path tooDeep = DeepFolder(1200, 12) / "abc.txt";
  std::ofstream(tooDeep, std::ios::binary) << "abc";
  EXPECT_EQ(Text(tooDeep).size(), 1208u);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(control_.MD5File(Text(tooDeep)), u"");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  expected.push_back(kInvalidFile);
#endif
  for (const std::u16string& name : names) {
    EXPECT_EQ(name.size() >= 335 ? control_.MD5File(name) : u"too short", kMethods[1].abc);
  }
  EXPECT_EQ(events_, expected);
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
  const QTVChecksum::Cookie cookie =
      control_.ConnectErrorCode([&calls](std::int32_t&, std::u16string&) { ++calls; });
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
  const fs::path abc = WriteFile("abc.txt", "abc");
  // A temporary folder longer than its query allows: the engine cannot be deployed.
  std::string longName = root_.string();
  while (longName.size() < 300)
    longName += static_cast<char>(platform::kPathSeparator) + std::string(40, 'x');
  UseTempFolder(longName);
  platform::testing::MessageCapture messages;
  EXPECT_EQ(control_.MD5String(u"abc", 3), std::u16string(32, u' '));
  EXPECT_EQ(control_.CRC32File(Text(abc)), std::u16string(8, u' '));
  EXPECT_TRUE(events_.empty());
  EXPECT_EQ(messages.Messages().size(), 4u);
}

TEST_F(ControlTest, ADamagedEngineFileIsHealed) {
  fs::create_directories(EngineFolder());
  std::ofstream(EnginePath(), std::ios::binary) << "damaged";
  platform::testing::MessageCapture messages;
  EXPECT_EQ(control_.MD5String(u"abc", 3), kMethods[1].abc);
  EXPECT_TRUE(messages.Messages().empty());
  EXPECT_GT(fs::file_size(EnginePath()), 1000u);
}

#ifndef _WIN32
// Hardened machines mount the temporary folder so that no program runs from it: every method still
// answers, with no message, and the engine is still deployed there.
TEST_F(ControlTest, ATemporaryFolderThatRunsNoProgramsStillGivesEveryChecksum) {
  const fs::path abc = WriteFile("abc.txt", "abc");
  const testing::NoexecMount noexec(root_ / "noexec");
  if (!noexec.refused().empty()) GTEST_SKIP() << "no noexec tmpfs can be mounted here: " << noexec.refused();
  UseTempFolder(noexec.path());
  platform::testing::MessageCapture messages;
  for (const Method& method : kMethods) {
    EXPECT_EQ((control_.*method.string)(u"abc", 3), method.abc);
    EXPECT_EQ((control_.*method.file)(Text(abc)), method.abc);
  }
  EXPECT_TRUE(messages.Messages().empty());
  EXPECT_TRUE(events_.empty());
  EXPECT_TRUE(fs::is_regular_file(noexec.path() / EngineFolder().filename() / EnginePath().filename()));
}
#endif

TEST_F(ControlTest, AFolderThatCannotBeCreatedIsAFailureNotAnEvent) {
  // The temporary folder lies below a file: no engine folder can be made there.
  std::ofstream(root_ / "blocker") << "a file where a folder must go";
  UseTempFolder(root_ / "blocker" / "below");
  const std::u16string expected = u"Unable to create the destination folder " +
                                  Text(root_ / "blocker" / "below" / EngineFolder().filename()) +
                                  platform::kPathSeparator;
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
  for (auto [width, height] :
       {std::pair{2000, 1000}, std::pair{0, 0}, std::pair{480, 480}, std::pair{-5, 99999}}) {
    std::int32_t Width = width;
    std::int32_t Height = height;
    control_.Resize(Width, Height);
    EXPECT_EQ(Width, 480);
    EXPECT_EQ(Height, 480);
  }
}

// The name is the control's own: asking for it neither deploys the engine nor fails where deploying would.
TEST_F(ControlTest, ControlNameNeedsNoEngine) {
  std::ofstream(EngineFolder()) << "a file in the folder's place";
  platform::testing::MessageCapture messages;
  EXPECT_EQ(control_.ControlName(), u"QTV Checksum OCX 1.0.0");
  EXPECT_TRUE(events_.empty());
  EXPECT_TRUE(messages.Messages().empty());
  EXPECT_TRUE(fs::is_regular_file(EngineFolder()));
}

// The engine stays loaded while any instance on the thread lives: one ending, even during its own event,
// neither releases it nor makes another instance load it again. The last one on a thread releases it,
// and a later request loads it again.
TEST_F(ControlTest, AnInstanceEndingLeavesTheOthersOnItsThreadWorking) {
  const auto expectLoadedAsBefore = [](const host::testing::EngineState& before, const char* after) {
    const host::testing::EngineState now = host::testing::CurrentEngineState();
    EXPECT_TRUE(now.EngineLoaded) << "the engine was released after " << after;
    EXPECT_EQ(now.EngineHandle, before.EngineHandle) << after;
    EXPECT_EQ(now.EngineEntry, before.EngineEntry) << after;
  };
  QTVChecksum other;
  EXPECT_EQ(other.MD5String(u"abc", 3), kMethods[1].abc);
  const host::testing::EngineState loaded = host::testing::CurrentEngineState();
  {
    QTVChecksum shortLived;
    EXPECT_EQ(shortLived.SHA1String(u"abc", 3), kMethods[2].abc);
  }
  expectLoadedAsBefore(loaded, "an instance ended");
  EXPECT_EQ(other.MD5String(u"abc", 3), kMethods[1].abc);
  EXPECT_EQ(control_.CRC32String(u"abc", 3), kMethods[0].abc);
  {
    QTVChecksum a;
    QTVChecksum b;
  } // two endings in a row that never asked for the engine
  expectLoadedAsBefore(loaded, "two instances ended");
  auto ending = std::make_unique<QTVChecksum>();
  ending->ConnectErrorCode([&ending](std::int32_t&, std::u16string&) { ending.reset(); });
  EXPECT_EQ(ending->MD5File(u""), u"");
  EXPECT_EQ(ending, nullptr);
  expectLoadedAsBefore(loaded, "an instance ended during its own event");
  EXPECT_EQ(other.Adler32String(u"abc", 3), kMethods[4].abc);
}

TEST_F(ControlTest, EachThreadLoadsTheEngineForItselfAndItsLastInstanceReleasesIt) {
  EXPECT_EQ(control_.MD5String(u"abc", 3), kMethods[1].abc);
  std::vector<std::thread> threads;
  std::vector<std::u16string> results(4);
  for (std::size_t i = 0; i < results.size(); ++i) {
    threads.emplace_back([&results, i] {
      QTVChecksum mine;
      results[i] =
          host::testing::CurrentEngineState().EngineLoaded ? u"shared state" : mine.SHA256String(u"abc", 3);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(results, std::vector<std::u16string>(4, kMethods[3].abc));
  EXPECT_EQ(control_.MD5String(u"abc", 3), kMethods[1].abc);

  std::thread([] {
    auto last = std::make_unique<QTVChecksum>();
    last->ConnectErrorCode([&last](std::int32_t&, std::u16string&) { last.reset(); });
    EXPECT_EQ(last->CRC32File(u""), u"");
    EXPECT_FALSE(host::testing::CurrentEngineState().EngineLoaded)
        << "the thread's last instance ended during its own event and left the engine loaded";
    {
      QTVChecksum a;
      QTVChecksum b;
      EXPECT_EQ(a.MD5String(u"abc", 3), kMethods[1].abc);
    }
    EXPECT_FALSE(host::testing::CurrentEngineState().EngineLoaded) << "the thread's last instance ended";
    QTVChecksum later;
    EXPECT_EQ(later.SHA1String(u"abc", 3), kMethods[2].abc);
  }).join();
  EXPECT_EQ(control_.MD5String(u"abc", 3), kMethods[1].abc);
}

} // namespace
} // namespace qtv
