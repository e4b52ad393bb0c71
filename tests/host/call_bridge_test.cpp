// The call bridge from UTF-16 texts to the engine's ANSI buffers, and the input file checks.
#include <thread>

#include "host_test_support.h"
#include "platform/library.h"

namespace qtv::host::testing {
namespace {

using CallBridgeTest = HostTest;
using FileCheckTest = HostTest;

std::u16string OutputArea() { return std::u16string(300, u' ') + u'\0'; }

struct Call {
  std::int32_t result;
  std::u16string output;
};
Call Bridge(const std::u16string& commandWord, const std::u16string& text, std::int32_t length) {
  std::u16string command = commandWord;
  std::u16string input = text;
  std::u16string output = OutputArea();
  const std::int32_t result = CallEngine(command, input, output, length);
  return {result, output};
}

// The engine's answer over raw bytes, bypassing the bridge.
std::u16string EngineOver(const char* command, const std::string& bytes) {
  std::string output(302, ' ');
  platform::CallEntry(CurrentEngineState().EngineEntry, command, bytes.data(), output.data(),
                      static_cast<std::int32_t>(bytes.size()));
  return platform::FromAnsi(output.substr(0, output.find('\0')));
}

TEST_F(CallBridgeTest, TheOutputComesBackWhole) {
  EnsureEngineLoaded();
  const Call call = Bridge(u"md5string", u"abc", 3);
  EXPECT_EQ(call.result, 1);
  ASSERT_EQ(call.output.size(), 302u);
  EXPECT_EQ(call.output.substr(0, 33), kMd5OfAbc + u'\0');
  EXPECT_EQ(call.output.substr(33), std::u16string(300 - 33, u' ') + std::u16string(2, u'\0'));
}

TEST_F(CallBridgeTest, EachGuardShowsOneMessageAndLeavesTheOutput) {
  platform::testing::MessageCapture messages;
  // Nothing loaded on this thread yet.
  Call call = Bridge(u"md5string", u"abc", 3);
  EXPECT_EQ(call.result, 0);
  EXPECT_EQ(call.output, OutputArea());
  EXPECT_EQ(messages.Messages(), std::vector<std::string>{kLoadFailed});

  // Loaded, but the entry is missing.
  AdoptLoad(platform::LoadLibraryAt(QTV_NO_ENTRY_LIBRARY));
  ASSERT_NE(CurrentEngineState().EngineHandle, 0u);
  call = Bridge(u"md5string", u"abc", 3);
  EXPECT_EQ(call.result, 0);
  EXPECT_EQ(call.output, OutputArea());
  EXPECT_EQ(messages.Messages(), (std::vector<std::string>{kLoadFailed, kEntryMissing}));
}

TEST_F(CallBridgeTest, TheCommandArrivesWithExactlyOneNul) {
  EnsureEngineLoaded();
  EXPECT_EQ(Bridge(u"md5string", u"abc", 3).result, 1);
  EXPECT_EQ(Bridge(u"md5string ", u"abc", 3).result, 0);
  EXPECT_EQ(Bridge(std::u16string(u"md5string\0", 10), u"abc", 3).result, 1); // ends at the first NUL
  EXPECT_EQ(Bridge(u"MD5STRING", u"abc", 3).output, OutputArea() + u'\0');
}

TEST_F(CallBridgeTest, TextsTravelInTheAnsiCodePage) {
  EnsureEngineLoaded();
  const std::u16string texts[] = {u"abc", u"", u"caf\u00e9 \u20ac", u"\u4e2d\u6587", u"a\xD800z", u"\xDC00"};
  for (const std::u16string& text : texts) {
    const std::string bytes = platform::ToAnsi(text);
    const Call call = Bridge(u"sha1string", text, static_cast<std::int32_t>(bytes.size()));
    EXPECT_EQ(call.output.substr(0, 40), EngineOver("sha1string", bytes));
  }
  // A lone surrogate has no ANSI form on any system: it travels as "?".
  EXPECT_EQ(Bridge(u"md5string", u"a\xD800z", 3).output.substr(0, 32),
            Bridge(u"md5string", u"a?z", 3).output.substr(0, 32));
}

TEST_F(CallBridgeTest, ALengthBeyondTheBufferIsLimitedToIt) {
  EnsureEngineLoaded();
  // The input buffer is the text and one NUL: 4 bytes for "abc".
  const std::u16string four = EngineOver("md5string", std::string("abc\0", 4));
  EXPECT_EQ(Bridge(u"md5string", u"abc", 4).output.substr(0, 32), four);
  EXPECT_EQ(Bridge(u"md5string", u"abc", 5).output.substr(0, 32), four);
  EXPECT_EQ(Bridge(u"md5string", u"abc", INT32_MAX).output.substr(0, 32), four);
  EXPECT_EQ(Bridge(u"md5string", u"", 1000).output.substr(0, 32),
            EngineOver("md5string", std::string(1, '\0')));
  // Lengths within the buffer keep their meaning.
  EXPECT_EQ(Bridge(u"md5string", u"abcdef", 3).output.substr(0, 32), kMd5OfAbc);
  // A negative length reaches the engine, which refuses it.
  const Call negative = Bridge(u"md5string", u"abc", -1);
  EXPECT_EQ(negative.result, 0);
  EXPECT_EQ(negative.output, OutputArea() + u'\0');
}

TEST_F(CallBridgeTest, FileNamesArriveWithTwoNuls) {
  EnsureEngineLoaded();
  WriteBytes(root_ / "abc.txt", "abc");
  const Call call = Bridge(u"md5file", Text(root_ / "abc.txt") + u'\0', 0);
  EXPECT_EQ(call.result, 1);
  EXPECT_EQ(call.output.substr(0, 32), kMd5OfAbc);
}

TEST_F(FileCheckTest, OnlyTheEmptyNameIsEmpty) {
  EXPECT_TRUE(IsEmptyName(u""));
  EXPECT_FALSE(IsEmptyName(u" "));
  EXPECT_FALSE(IsEmptyName(u"  name.txt"));
  EXPECT_FALSE(IsEmptyName(u"name.txt "));
  EXPECT_FALSE(IsEmptyName(std::u16string(1, u'\0')));
}

TEST_F(FileCheckTest, ReadableFilesOfAnySizePass) {
  for (const std::size_t size : {0u, 1u, 254u, 255u, 256u, 100000u}) {
    const fs::path path = root_ / ("file" + std::to_string(size));
    WriteBytes(path, std::string(size, 'x'));
    EXPECT_TRUE(CanReadFile(Text(path))) << size;
  }
}

TEST_F(FileCheckTest, MissingFoldersAndBadNamesFailQuietly) {
  EXPECT_FALSE(CanReadFile(Text(root_ / "missing.txt")));
  EXPECT_FALSE(CanReadFile(Text(root_ / "no-folder" / "file.txt")));
  EXPECT_FALSE(CanReadFile(Text(root_)));
  EXPECT_FALSE(CanReadFile(u""));
  EXPECT_FALSE(CanReadFile(Text(root_) + platform::kPathSeparator + u"wild*card?.txt"));
  // No failure stays pending: the next probe answers on its own merits.
  WriteBytes(root_ / "present.txt", "abc");
  EXPECT_TRUE(CanReadFile(Text(root_ / "present.txt")));
}

TEST_F(FileCheckTest, AFileHeldWithoutReadSharingFails) {
  const fs::path path = root_ / "held.txt";
  WriteBytes(path, "abc");
  platform::testing::ExclusiveHold hold(path.string());
  if (!hold.held()) GTEST_SKIP() << "this system has no exclusive holds";
  EXPECT_FALSE(CanReadFile(Text(path)));
}

} // namespace
} // namespace qtv::host::testing
