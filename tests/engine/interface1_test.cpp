// The engine's call protocol, exercised the way the control uses it: the built engine library is
// loaded at run time and `interface1` is called through its address.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/interface1.h"
#include "platform/library.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;

// What the control hands the engine: 300 spaces and two NULs.
std::string OutputArea() { return std::string(300, ' ') + std::string(2, '\0'); }

class Interface1Test : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    library_ = qtv::platform::LoadLibraryAt(QTV_ENGINE_FILE);
    ASSERT_NE(library_, 0u) << "cannot load " << QTV_ENGINE_FILE;
    entry_ = qtv::platform::FindExport(library_, qtv::engine::kEntryName);
    ASSERT_NE(entry_, 0u);
  }
  static void TearDownTestSuite() { qtv::platform::ReleaseLibrary(library_); }

  void SetUp() override {
    folder_ =
        fs::temp_directory_path() /
        ("qtv-interface1-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  struct Reply {
    std::int32_t result;
    std::string output;
    // The checksum text: everything before the first NUL.
    std::string text() const { return output.substr(0, output.find('\0')); }
  };

  static Reply Call(const char* command, const std::string& input, std::int32_t length,
                    std::string output = OutputArea()) {
    std::int32_t result = qtv::platform::CallEntry(entry_, command, input.c_str(), output.data(), length);
    return {result, output};
  }
  static Reply CallString(const char* command, const std::string& input) {
    return Call(command, input, static_cast<std::int32_t>(input.size()));
  }
  static Reply CallFile(const char* command, const fs::path& path) { return Call(command, path.string(), 0); }
  static void ExpectEachFileCommandRefuses(const std::vector<fs::path>& paths);

  fs::path WriteFile(const std::string& name, const std::string& bytes) const {
    fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static inline qtv::platform::LibraryHandle library_ = 0;
  static inline qtv::platform::EntryAddress entry_ = 0;
  fs::path folder_;
};

struct Algorithm {
  const char* stringCommand;
  const char* fileCommand;
  const char* empty;
  const char* abc;
};
const Algorithm kAlgorithms[] = {
    {"md5string", "md5file", "d41d8cd98f00b204e9800998ecf8427e", "900150983cd24fb0d6963f7d28e17f72"},
    {"sha1string", "sha1file", "da39a3ee5e6b4b0d3255bfef95601890afd80709",
     "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {"sha256string", "sha256file", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
     "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {"crc32string", "crc32file", "00000000", "352441c2"},
    {"adler32string", "adler32file", "00000001", "024d0127"},
};

TEST_F(Interface1Test, StringCommandsWriteTextAndOneNulAndLeaveTheRest) {
  for (const Algorithm& algorithm : kAlgorithms) {
    SCOPED_TRACE(algorithm.stringCommand);
    Reply reply = CallString(algorithm.stringCommand, "abc");
    EXPECT_EQ(reply.result, 1);
    const std::string expected = algorithm.abc;
    EXPECT_EQ(reply.output.substr(0, expected.size() + 1), expected + '\0');
    EXPECT_EQ(reply.output.substr(expected.size() + 1), OutputArea().substr(expected.size() + 1));
  }
}

TEST_F(Interface1Test, OnlyTheFirstLengthBytesCountAndLengthZeroIsTheEmptyMessage) {
  for (const Algorithm& algorithm : kAlgorithms) {
    SCOPED_TRACE(algorithm.stringCommand);
    EXPECT_EQ(Call(algorithm.stringCommand, "abcdef", 3).text(), algorithm.abc);
    EXPECT_EQ(Call(algorithm.stringCommand, "abcdef", 0).text(), algorithm.empty);
    EXPECT_EQ(Call(algorithm.stringCommand, "", 0).text(), algorithm.empty);
  }
}

TEST_F(Interface1Test, RunningChecksumsKeepLeadingZerosAndCountNulBytes) {
  EXPECT_EQ(Call("crc32string", "ae", 2).text(), "00e7ddce");
  EXPECT_EQ(Call("adler32string", "a", 1).text(), "00620062");
  const std::string withNul("abc\0def", 7);
  EXPECT_EQ(CallString("crc32string", withNul).text(), "d8860390");
  EXPECT_EQ(CallString("adler32string", withNul).text(), "09450256");
  EXPECT_NE(CallString("md5string", withNul).text(), kAlgorithms[0].abc);
}

TEST_F(Interface1Test, UnknownWordsAreRefusedWithoutTouchingTheOutput) {
  for (const char* word :
       {"MD5STRING", "md5string ", " md5string", "md5", "md5str", "", "md5stringx", "crc32"}) {
    SCOPED_TRACE(word);
    Reply reply = CallString(word, "abc");
    EXPECT_EQ(reply.result, 0);
    EXPECT_EQ(reply.output, OutputArea());
  }
}

TEST_F(Interface1Test, NullAddressesAndNegativeLengthsAreRefused) {
  std::string output = OutputArea();
  EXPECT_EQ(qtv::platform::CallEntry(entry_, nullptr, "abc", output.data(), 3), 0);
  EXPECT_EQ(qtv::platform::CallEntry(entry_, "md5string", nullptr, output.data(), 3), 0);
  EXPECT_EQ(qtv::platform::CallEntry(entry_, "md5string", "abc", nullptr, 3), 0);
  EXPECT_EQ(qtv::platform::CallEntry(entry_, "md5file", nullptr, output.data(), 0), 0);
  for (const Algorithm& algorithm : kAlgorithms) {
    EXPECT_EQ(qtv::platform::CallEntry(entry_, algorithm.stringCommand, "abc", output.data(), -1), 0);
    EXPECT_EQ(qtv::platform::CallEntry(entry_, algorithm.stringCommand, "abc", output.data(), INT32_MIN), 0);
  }
  EXPECT_EQ(output, OutputArea());
}

TEST_F(Interface1Test, FileCommandsMatchTheStringCommandsOverTheSameBytes) {
  std::string block(4097, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i % 251);
  const std::string contents[] = {std::string(),
                                  "abc",
                                  block.substr(0, 4095),
                                  block.substr(0, 4096),
                                  block,
                                  "line one\r\nline two\n\x1a after the end-of-file marker\r",
                                  std::string(3 * 4096 + 17, '\x1a')};
  int n = 0;
  for (const std::string& bytes : contents) {
    fs::path path = WriteFile("input" + std::to_string(n++), bytes);
    for (const Algorithm& algorithm : kAlgorithms) {
      SCOPED_TRACE(std::string(algorithm.fileCommand) + " of " + std::to_string(bytes.size()) + " bytes");
      Reply file = CallFile(algorithm.fileCommand, path);
      EXPECT_EQ(file.result, 1);
      EXPECT_EQ(file.text(), CallString(algorithm.stringCommand, bytes).text());
      if (bytes == "abc") {
        EXPECT_EQ(file.text(), algorithm.abc);
      }
      if (bytes.empty()) {
        EXPECT_EQ(file.text(), algorithm.empty);
      }
    }
  }
}

TEST_F(Interface1Test, FileCommandsIgnoreTheLength) {
  fs::path path = WriteFile("abc.txt", "abc");
  for (const Algorithm& algorithm : kAlgorithms) {
    EXPECT_EQ(Call(algorithm.fileCommand, path.string(), 7).text(), algorithm.abc);
    EXPECT_EQ(Call(algorithm.fileCommand, path.string(), -5).text(), algorithm.abc);
  }
}

// Every file command on each path answers that it knows the command, leaves the output area as it was
// and says on standard output that it could not open the file.
void Interface1Test::ExpectEachFileCommandRefuses(const std::vector<fs::path>& paths) {
  for (const fs::path& path : paths) {
    for (const Algorithm& algorithm : kAlgorithms) {
      SCOPED_TRACE(std::string(algorithm.fileCommand) + " on '" + path.string() + "'");
      ::testing::internal::CaptureStdout();
      Reply reply = CallFile(algorithm.fileCommand, path);
      EXPECT_EQ(::testing::internal::GetCapturedStdout(), "error opening input file \n");
      EXPECT_EQ(reply.result, 1);
      EXPECT_EQ(reply.output, OutputArea());
    }
  }
}

TEST_F(Interface1Test, UnopenableFilesLeaveTheOutputAndSayItOnStandardOutput) {
  const fs::path missing = folder_ / "missing.bin";
  const fs::path inMissingFolder = folder_ / "no-such-folder" / "file.bin";
  ExpectEachFileCommandRefuses({missing, inMissingFolder, folder_, fs::path()});
}

// Anything but a regular file is refused at once, without waiting for a writer or reading forever, and a
// file whose reading fails gives no checksum of the bytes before the failure (for /proc/self/mem, at
// once: none, where the checksum of nothing used to come back).
TEST_F(Interface1Test, SpecialFilesAndReadErrorsLeaveTheOutputAndSaySo) {
  std::vector<fs::path> paths;
#ifdef _WIN32
  paths = {"NUL", "CON", "COM1", folder_ / "nul.txt", "\\\\.\\PhysicalDrive0", "\\\\.\\pipe\\qtv-none"};
  std::error_code absent;
  if (fs::exists("Z:\\proc\\self\\mem", absent))
    paths.push_back("Z:\\proc\\self\\mem"); // Linux's, under Wine
#else
  const fs::path fifo = folder_ / "fifo";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  fs::create_symlink(fifo, folder_ / "link-to-fifo");
  paths = {fifo,        folder_ / "link-to-fifo", "/dev/zero", "/dev/urandom", "/dev/full",
           "/dev/null", "/proc/self/mem"};
#endif
  ExpectEachFileCommandRefuses(paths);
}

TEST_F(Interface1Test, ALaterShorterTextLeavesTheEarlierDigitsBehindItsNul) {
  std::string output = CallString("sha256string", "abc").output;
  Reply reply = Call("crc32string", "abc", 3, output);
  EXPECT_EQ(reply.text(), "352441c2");
  EXPECT_EQ(reply.output.substr(9, 55), std::string(kAlgorithms[2].abc).substr(9));
}

TEST_F(Interface1Test, FileNamesEndAtTheFirstNul) {
  fs::path path = WriteFile("abc.txt", "abc");
  std::string name = path.string() + std::string(2, '\0');
  EXPECT_EQ(Call("md5file", name, 0).text(), kAlgorithms[0].abc);
}

} // namespace
