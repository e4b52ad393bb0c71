// The call bridge from UTF-16 texts to the engine's ANSI buffers, and the input file checks.
#include <thread>

#include "host_test_support.h"
#include "platform/input_file.h"
#include "platform/library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace qtv::host::testing {
namespace {

using CallBridgeTest = HostTest;
using FileCheckTest = HostTest;

std::u16string OutputArea() { return std::u16string(300, u' ') + u'\0'; }

struct Call {
  std::int32_t result;
  std::u16string output;
};
// On Windows a code page may be given: the call as a system with that ANSI code page makes it.
template <typename... CodePage>
Call Bridge(const std::u16string& commandWord, const std::u16string& text, std::int32_t length,
            CodePage... codePage) {
  std::u16string command = commandWord;
  std::u16string input = text;
  std::u16string output = OutputArea();
  const std::int32_t result = CallEngine(command, input, output, length, codePage...);
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
  // A lone surrogate has no form in this system's code page: it travels as "?" (in UTF-8 on Windows, as
  // U+FFFD).
  EXPECT_EQ(Bridge(u"md5string", u"a\xD800z", 3).output.substr(0, 32),
            Bridge(u"md5string", u"a?z", 3).output.substr(0, 32));
}

// The NUL that carries a text to the engine is not part of it; a NUL inside the text is.
TEST_F(CallBridgeTest, ALengthBeyondTheTextCountsTheTextsBytes) {
  EnsureEngineLoaded();
  for (const std::int32_t length : {4, 5, 1000000, INT32_MAX}) {
    EXPECT_EQ(Bridge(u"md5string", u"abc", length).output.substr(0, 32), kMd5OfAbc) << length;
  }
  EXPECT_EQ(Bridge(u"md5string", u"", 5).output.substr(0, 32), EngineOver("md5string", ""));
  const std::u16string inner(u"ab\0c", 4);
  EXPECT_EQ(Bridge(u"md5string", inner, 100).output.substr(0, 32),
            EngineOver("md5string", std::string("ab\0c", 4)));
  // Lengths within the text keep their meaning.
  EXPECT_EQ(Bridge(u"md5string", u"abcdef", 3).output.substr(0, 32), kMd5OfAbc);
  // A negative length reaches the engine, which refuses it.
  const Call negative = Bridge(u"md5string", u"abc", -1);
  EXPECT_EQ(negative.result, 0);
  EXPECT_EQ(negative.output, OutputArea() + u'\0');
}

#ifdef _WIN32
// On a system whose ANSI code page is UTF-8 or double-byte, Length counts the bytes of that code page:
// all of them at most, and a cut may fall inside a character, as it does in the engine.
TEST_F(CallBridgeTest, LengthCountsTheBytesOfTheSystemsCodePage) {
  EnsureEngineLoaded();
  const std::u16string text = u"\u65e5\u672ca\xD800";
  const std::pair<unsigned, std::string> pages[] = {
      {65001, std::string("\xe6\x97\xa5\xe6\x9c\xac") + "a\xef\xbf\xbd"},
      {932, std::string("\x93\xfa\x96\x7b") + "a?"},
      {936, std::string("\xc8\xd5\xb1\xbe") + "a?"}};
  for (const auto& [codePage, bytes] : pages) {
    for (const std::int32_t length : {1, 2, 3, 4, 5, 7, 8, 100}) {
      const std::string counted = bytes.substr(0, static_cast<std::size_t>(length));
      EXPECT_EQ(Bridge(u"md5string", text, length, codePage).output.substr(0, 32),
                EngineOver("md5string", counted))
          << "code page " << codePage << ", length " << length;
    }
  }
}
#endif

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

#ifdef _WIN32
TEST_F(FileCheckTest, DevicesFailWithoutBeingOpened) {
  // A pipe that is there, with one instance: a check that opened it would take that instance.
  const std::wstring pipe = L"\\\\.\\pipe\\qtv-file-check-" + std::to_wstring(GetCurrentProcessId());
  const HANDLE server =
      CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, server);
  const std::u16string names[] = {u"NUL",
                                  u"CON",
                                  u"COM1",
                                  u"aux",
                                  Text(root_) + u"\\nul.txt",
                                  Text(root_) + u"\\LPT1",
                                  u"\\\\.\\PhysicalDrive0",
                                  u"\\\\.\\C:",
                                  u"\\\\?\\GLOBALROOT\\Device\\Null",
                                  std::u16string(pipe.begin(), pipe.end())};
  for (const std::u16string& name : names) {
    EXPECT_FALSE(CanReadFile(name)) << platform::ToAnsi(name);
  }
  const HANDLE client = CreateFileW(pipe.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, client) << "the pipe's one instance was taken";
  if (client != INVALID_HANDLE_VALUE) CloseHandle(client);
  CloseHandle(server);
  // A disk file's long form in the \\?\ namespace is still a file.
  WriteBytes(root_ / "plain.txt", "abc");
  EXPECT_TRUE(CanReadFile(u"\\\\?\\" + Text(root_ / "plain.txt")));
}
#else
TEST_F(FileCheckTest, SpecialFilesFailWithoutWaiting) {
  // A FIFO without a writer made the check wait for ever; the devices never end.
  const fs::path fifo = root_ / "fifo";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  fs::create_symlink(fifo, root_ / "link-to-fifo");
  const fs::path socketPath = root_ / "socket";
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socketPath.string().copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(0, bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address));
  for (const fs::path& path : {fifo, root_ / "link-to-fifo", socketPath, fs::path("/dev/zero"),
                               fs::path("/dev/urandom"), fs::path("/dev/full"), fs::path("/dev/null")}) {
    EXPECT_FALSE(CanReadFile(Text(path))) << path;
  }
  close(listener);
  // A link to a regular file still passes.
  WriteBytes(root_ / "plain.txt", "abc");
  fs::create_symlink(root_ / "plain.txt", root_ / "link-to-plain");
  EXPECT_TRUE(CanReadFile(Text(root_ / "link-to-plain")));
}
#endif

// A name is looked at as it is: never through a near form that names another file.
TEST_F(FileCheckTest, NamesAreLookedAtExactlyAsGiven) {
  WriteBytes(root_ / "abc.txt", "abc");
  EXPECT_FALSE(CanReadFile(Text(root_ / "abc.txt") + u'\0' + u"more"));
#ifdef _WIN32
  // "ł" has no form in the code page; its best fit is "l".
  WriteBytes(root_ / "al.txt", "al");
  EXPECT_FALSE(CanReadFile(Text(root_) + u"\\a\u0142.txt"));
#else
  // An unpaired surrogate has no UTF-8 form; "?" stood in for it.
  WriteBytes(root_ / "a?b", "a?b");
  EXPECT_FALSE(CanReadFile(Text(root_) + u"/a\xD800"
                                         u"b"));
  EXPECT_TRUE(CanReadFile(Text(root_) + u"/a?b"));
#endif
}

#ifdef _WIN32
// The engine of a system with another ANSI code page gets the name itself where it converts exactly
// there, else the file's short name, else nothing: in UTF-8 every name but one with an unpaired
// surrogate; in a double-byte code page never a name with a best fit (the yen sign's is "\").
TEST_F(FileCheckTest, TheEngineGetsAnExactNameInEveryCodePage) {
  const std::u16string folder = Text(root_) + u"\\", inAll = folder + u"\u65e5\u672c.txt";
  for (const std::u16string& name : {inAll, folder + u"a\u0142.txt", folder + u"\u00a5.txt"}) {
    std::ofstream(fs::path(name), std::ios::binary) << "x";
    std::wstring shortName(600, L'\0');
    shortName.resize(GetShortPathNameW(fs::path(name).c_str(), shortName.data(), 600));
    const std::u16string shortForm(shortName.begin(), shortName.end());
    for (const unsigned codePage : {65001u, 932u, 936u}) {
      const auto expected = codePage == 65001 || name == inAll        ? std::optional(name)
                            : !shortForm.empty() && shortForm != name ? std::optional(shortForm)
                                                                      : std::nullopt;
      EXPECT_EQ(platform::NameInAnsiForm(name, codePage), expected)
          << "code page " << codePage << ", " << platform::ToAnsi(name);
      // Its U+FFFD form would name another file.
      EXPECT_EQ(platform::NameInAnsiForm(folder + u"a\xD800.txt", codePage), std::nullopt)
          << "code page " << codePage;
    }
  }
}
#endif

TEST_F(FileCheckTest, AFileHeldWithoutReadSharingFails) {
  const fs::path path = root_ / "held.txt";
  WriteBytes(path, "abc");
  platform::testing::ExclusiveHold hold(path.string());
  if (!hold.held()) GTEST_SKIP() << "this system has no exclusive holds";
  EXPECT_FALSE(CanReadFile(Text(path)));
}

} // namespace
} // namespace qtv::host::testing
