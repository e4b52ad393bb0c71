// interface1 with whatever command word, input and length the fuzzer makes up, each in a buffer of
// exactly its own size. Whatever the request:
// - a refused one (unknown word, null address, negative length on a string word) returns 0 and neither
//   reads its input nor writes its output: both are pages that fault on any access;
// - a known string word returns 1 and writes exactly its checksum text and a NUL, equal to libcrypto's or
//   zlib's for the first `length` bytes, into an output area of the 65 bytes promised;
// - a file word ignores the length, checksums the file as the string word would its bytes, and leaves the
//   output untouched when the file is missing or a folder.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/interface1.h"
#include "fuzz_support.h"
#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using qtv::fuzz::Check;

constexpr std::size_t kOutputSize = 65;
constexpr char kUntouched = '\xA5';

// One page that allows no access at all.
class GuardPage {
public:
  GuardPage() {
    page_ = mmap(nullptr, Size(), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    Check(page_ != MAP_FAILED, "guard page");
  }
  ~GuardPage() { munmap(page_, Size()); }
  GuardPage(const GuardPage&) = delete;
  GuardPage& operator=(const GuardPage&) = delete;
  char* get() const { return static_cast<char*>(page_); }

private:
  static std::size_t Size() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }
  void* page_;
};

// The files the file words read, in a folder of this process's own.
class FileFolder {
public:
  FileFolder() { fs::create_directory(Folder()); }

  fs::path Write(const std::vector<std::uint8_t>& bytes) const {
    const fs::path path = folder_.path() / "input.bin";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  fs::path Missing() const { return folder_.path() / "missing.bin"; }
  fs::path Folder() const { return folder_.path() / "folder"; }

private:
  qtv::testing::TemporaryFolder folder_{"qtv-fuzz-interface1"};
};

const GuardPage& Guard() {
  static const GuardPage page;
  return page;
}
const FileFolder& Files() {
  static const FileFolder folder;
  return folder;
}

// A heap block of exactly `bytes.size()` bytes, so that reading one byte past it is caught.
std::unique_ptr<char[]> ExactCopy(const std::string& bytes) {
  auto copy = std::make_unique_for_overwrite<char[]>(bytes.size());
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  return copy;
}

void CheckRefused(const char* command, std::int32_t length, int nullArgument) {
  char* guard = Guard().get();
  const char* input = nullArgument == 1 ? nullptr : guard;
  char* output = nullArgument == 2 ? nullptr : guard;
  Check(interface1(command, input, output, length) == 0, "a refused request returns 0");
}

// The output area holds the expected text and its NUL, and every byte behind them is as it was.
void CheckOutput(const char* output, const std::string& expected) {
  Check(std::memcmp(output, expected.data(), expected.size()) == 0, "checksum text");
  Check(output[expected.size()] == '\0', "NUL after the checksum text");
  for (std::size_t i = expected.size() + 1; i < kOutputSize; ++i) {
    Check(output[i] == kUntouched, "nothing written behind the NUL");
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The engine's one message goes to standard output; libFuzzer reports on standard error.
  Check(std::freopen("/dev/null", "w", stdout) != nullptr, "standard output to /dev/null");
  Guard();
  Files();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  // form: bit 0 any command bytes, bits 1-3 the file kind, bit 4 a length that may be negative.
  const auto form = provider.ConsumeIntegral<std::uint8_t>();
  const auto nulls = provider.ConsumeIntegral<std::uint8_t>();
  const auto rawLength = provider.ConsumeIntegral<std::int32_t>();
  const std::int32_t length = form & 0x10 ? rawLength : rawLength & INT32_MAX;

  // Mostly one of the ten words, so that most runs reach an operation; else any bytes, NULs included.
  std::string command;
  if (form & 0x01) {
    command = provider.ConsumeRandomLengthString(24);
  } else {
    command = qtv::fuzz::kWords[provider.ConsumeIntegralInRange<std::size_t>(0, 9)].text;
  }
  const std::vector<std::uint8_t> payload = provider.ConsumeRemainingBytes<std::uint8_t>();

  // What the engine matches: the command up to its first NUL.
  const std::string commandWithNul = command + '\0';
  const std::unique_ptr<char[]> commandBuffer = ExactCopy(commandWithNul);
  const qtv::fuzz::Word* word = qtv::fuzz::FindWord(command.c_str());

  // Now and then a null address, which every word refuses, the known ones included.
  const int nullArgument = nulls < 8 ? 1 + nulls % 3 : 0;
  if (nullArgument == 3) {
    Check(interface1(nullptr, Guard().get(), Guard().get(), length) == 0, "a null command is refused");
    return 0;
  }
  if (nullArgument != 0 || word == nullptr || (!word->file && length < 0)) {
    CheckRefused(commandBuffer.get(), length, nullArgument);
    return 0;
  }

  auto output = std::make_unique_for_overwrite<char[]>(kOutputSize);
  std::memset(output.get(), kUntouched, kOutputSize);

  if (!word->file) {
    // The length never exceeds the bytes the input holds; an empty input is a page that must not be read.
    const auto count = static_cast<std::size_t>(length) % (payload.size() + 1);
    const std::string bytes(payload.begin(), payload.end());
    const std::unique_ptr<char[]> input = ExactCopy(bytes);
    const char* address = payload.empty() ? Guard().get() : input.get();
    Check(interface1(commandBuffer.get(), address, output.get(), static_cast<std::int32_t>(count)) == 1,
          "a string word returns 1");
    CheckOutput(output.get(), qtv::fuzz::Reference(word->algorithm, std::span(payload.data(), count)));
    return 0;
  }

  // A file word: the file holds the payload, or the name is missing or a folder; the length is anything.
  const int kind = form >> 1 & 0x07;
  const fs::path path = kind == 0 ? Files().Missing() : kind == 1 ? Files().Folder() : Files().Write(payload);
  const std::unique_ptr<char[]> input = ExactCopy(path.string() + '\0');
  Check(interface1(commandBuffer.get(), input.get(), output.get(), length) == 1, "a file word returns 1");
  if (kind <= 1) {
    for (std::size_t i = 0; i < kOutputSize; ++i) Check(output[i] == kUntouched, "no file: output untouched");
  } else {
    CheckOutput(output.get(), qtv::fuzz::Reference(word->algorithm, payload));
  }
  return 0;
}
