// The host's call bridge and the control's string methods with any UTF-16 the fuzzer makes up: lone
// surrogates, embedded NULs, any Length. The engine is deployed from the image into a temporary folder of
// this process's own and loaded once, as on a control's first request.
// - Text conversion: the ANSI bytes convert back to the same text, each unpaired surrogate as '?'.
// - CallEngine: the engine sees the command and the input up to their first NUL bytes and never more
//   input than the text's bytes (the NUL that carries the text is not one of them); the output area
//   comes back as 302 characters, the checksum text of the reference libraries at its start for a known
//   word, unchanged for anything refused.
// - The string methods: the checksum text of the first Length bytes of the text's ANSI form (all of them
//   for a Length past its end), or qtv::InvalidArgumentError for a negative Length; an instance ending
//   now and then makes the next one load the engine again.
#include <dlfcn.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "host/dll_interface2.h"
#include "host/dll_interface2_testing.h"
#include "platform/testing.h"
#include "platform/text.h"
#include "qtvchecksum/qtv_checksum.h"
#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using qtv::fuzz::Check;

// The temporary folder the host deploys the engine to; the file names sent to the engine name entries of
// its subfolder "files".
class PrivateFolder {
public:
  PrivateFolder() {
    fs::create_directory(folder_.path() / "files");
    qtv::platform::testing::SetTempFolderVariable(folder_.path());
  }
  std::u16string Files() const { return qtv::platform::FromAnsi((folder_.path() / "files").string()) + u'/'; }
  std::string EnginePath() const {
    return (folder_.path() / qtv::platform::EngineFolderName() / std::u16string(qtv::host::kEngineFileName))
        .string();
  }

private:
  qtv::testing::TemporaryFolder folder_{"qtv-fuzz-call-engine"};
};

std::unique_ptr<PrivateFolder> gFolder;
std::unique_ptr<qtv::QTVChecksum> gControl;

std::u16string OutputArea() { return std::u16string(300, u' ') + u'\0'; }

std::u16string Widen(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

// Little-endian pairs of fuzz bytes, at most `maxUnits` of them.
std::u16string Units(FuzzedDataProvider& provider, std::size_t maxUnits) {
  const std::vector<std::uint8_t> bytes = provider.ConsumeBytes<std::uint8_t>(2 * maxUnits);
  std::u16string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    text += static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
  return text;
}

bool IsHigh(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLow(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The text that the ANSI form stands for: every surrogate without its partner becomes '?'.
std::u16string WithoutLoneSurrogates(const std::u16string& text) {
  std::u16string result = text;
  for (std::size_t i = 0; i < result.size(); ++i) {
    if (IsHigh(result[i]) && i + 1 < result.size() && IsLow(result[i + 1])) {
      ++i;
    } else if (IsHigh(result[i]) || IsLow(result[i])) {
      result[i] = u'?';
    }
  }
  return result;
}

// The bytes the engine is given for `text`, after checking that they stand for the text.
std::string Ansi(const std::u16string& text) {
  std::string bytes = qtv::platform::ToAnsi(text);
  Check(qtv::platform::FromAnsi(bytes) == WithoutLoneSurrogates(text), "ANSI form converts back");
  return bytes;
}

std::string UpToNul(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

// The output area after the engine wrote `text` and its NUL into it; unchanged for an empty `text`.
std::u16string AreaWith(const std::string& text) {
  if (text.empty()) return OutputArea() + u'\0';
  return Widen(text) + u'\0' + std::u16string(299 - text.size(), u' ') + u'\0' + u'\0';
}

std::string StringChecksum(const qtv::fuzz::Word& word, const std::string& bytes, std::int32_t length) {
  const std::size_t count = std::min(static_cast<std::size_t>(length), bytes.size());
  return qtv::fuzz::Reference(word.algorithm,
                              std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), count));
}

void FuzzCallEngine(FuzzedDataProvider& provider, std::uint8_t form, std::int32_t rawLength) {
  // The command: any text, or a known word as it is, followed by a NUL and more, or followed directly.
  std::u16string command;
  const auto& known = qtv::fuzz::kWords[provider.ConsumeIntegralInRange<std::size_t>(0, 9)];
  switch (form >> 1 & 0x03) {
  case 0:
    command = Units(provider, 24);
    break;
  case 1:
    command = Widen(std::string(known.text));
    break;
  case 2:
    command = Widen(std::string(known.text)) + u'\0' + Units(provider, 8);
    break;
  default:
    command = Widen(std::string(known.text)) + Units(provider, 2);
    break;
  }
  std::u16string input = Units(provider, provider.ConsumeIntegralInRange<std::size_t>(0, 512));
  const std::vector<std::uint8_t> fileBytes = provider.ConsumeRemainingBytes<std::uint8_t>();

  const qtv::fuzz::Word* word = qtv::fuzz::FindWord(UpToNul(Ansi(command)));
  // A file name is one entry of the private folder ("." and ".." name folders): no separators in it.
  const bool fileWord = word != nullptr && word->file;
  if (fileWord) {
    std::replace(input.begin(), input.end(), u'/', u'_');
    input = gFolder->Files() + input;
  }
  const std::string textBytes = Ansi(input);
  const std::string inputBytes = textBytes + '\0';
  const std::int32_t length =
      form & 0x08
          ? rawLength
          : static_cast<std::int32_t>(static_cast<std::uint32_t>(rawLength) % (inputBytes.size() + 1));

  std::string expected; // the checksum text the engine writes, or nothing
  std::int32_t expectedResult = 0;
  fs::path created;
  if (word != nullptr && !word->file && length >= 0) {
    expected = StringChecksum(*word, textBytes, length);
    expectedResult = 1;
  } else if (fileWord) {
    expectedResult = 1;
    const std::string path = UpToNul(inputBytes);
    const std::string name = path.substr(path.rfind('/') + 1);
    if (form & 0x10 && !name.empty() && name != "." && name != ".." && name.size() <= 255) {
      std::ofstream file(path, std::ios::binary);
      file.write(reinterpret_cast<const char*>(fileBytes.data()),
                 static_cast<std::streamsize>(fileBytes.size()));
      if (file.good()) {
        created = path;
        expected = qtv::fuzz::Reference(word->algorithm, fileBytes);
      }
    }
  }

  qtv::host::EnsureEngineLoaded();
  std::u16string output = OutputArea();
  const std::int32_t result = qtv::host::CallEngine(command, input, output, length);
  if (!created.empty()) fs::remove(created);
  Check(result == expectedResult, "CallEngine's result");
  Check(output == AreaWith(expected), "output area after CallEngine");
}

using StringMethod = std::u16string (qtv::QTVChecksum::*)(std::u16string, std::int32_t);
struct Method {
  StringMethod method;
  const qtv::fuzz::Word& word;
};
const Method kMethods[] = {
    {&qtv::QTVChecksum::MD5String, qtv::fuzz::kWords[0]},
    {&qtv::QTVChecksum::SHA1String, qtv::fuzz::kWords[1]},
    {&qtv::QTVChecksum::SHA256String, qtv::fuzz::kWords[2]},
    {&qtv::QTVChecksum::CRC32String, qtv::fuzz::kWords[3]},
    {&qtv::QTVChecksum::Adler32String, qtv::fuzz::kWords[4]},
};

void FuzzStringMethod(FuzzedDataProvider& provider, std::uint8_t form, std::int32_t rawLength) {
  const Method& method = kMethods[provider.ConsumeIntegralInRange<std::size_t>(0, 4)];
  const std::u16string text = Units(provider, 1024);
  const std::string bytes = Ansi(text);
  const std::int32_t length =
      form & 0x08 ? rawLength
                  : static_cast<std::int32_t>(static_cast<std::uint32_t>(rawLength) % (bytes.size() + 2));

  if ((form & 0x70) == 0x70) {
    gControl.reset();
    Check(!qtv::host::testing::CurrentEngineState().EngineLoaded,
          "an ending instance releases the thread's engine");
    gControl = std::make_unique<qtv::QTVChecksum>();
  }
  std::u16string result;
  bool refused = false;
  try {
    result = (gControl.get()->*method.method)(text, length);
  } catch (const qtv::InvalidArgumentError&) {
    refused = true;
  }
  Check(refused == (length < 0), "a negative Length, and only that, is refused");
  Check(refused || result == Widen(StringChecksum(method.word, bytes, length)), "string method's result");
  Check(qtv::host::testing::CurrentEngineState().EngineLoaded, "the engine stays loaded");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The engine's one message goes to standard output; libFuzzer reports on standard error.
  Check(std::freopen("/dev/null", "w", stdout) != nullptr, "standard output to /dev/null");
  gFolder = std::make_unique<PrivateFolder>();
  std::atexit([] {
    gControl.reset();
    gFolder.reset();
  });
  gControl = std::make_unique<qtv::QTVChecksum>();
  qtv::host::EnsureEngineLoaded();
  Check(qtv::host::testing::CurrentEngineState().EngineLoaded, "engine deployed and loaded");
  // libFuzzer keeps the coverage counters of every instrumented library it has met and clears them
  // before each run: the engine must stay mapped when the host releases its last load.
  Check(dlopen(gFolder->EnginePath().c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr,
        "engine kept mapped");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  // form: bit 0 a string method, bits 1-2 the command's shape, bit 3 a length that may be negative or too
  // long, bit 4 a file under the input's name, bits 4-6 all set: a fresh control instance.
  const auto form = provider.ConsumeIntegral<std::uint8_t>();
  const auto rawLength = provider.ConsumeIntegral<std::int32_t>();
  if (form & 0x01) {
    FuzzStringMethod(provider, form, rawLength);
  } else {
    FuzzCallEngine(provider, form, rawLength);
  }
  return 0;
}
