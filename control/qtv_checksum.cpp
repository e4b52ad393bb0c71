#include "qtvchecksum/qtv_checksum.h"

#include <algorithm>
#include <optional>

#include "about/about_box.h"
#include "host/dll_interface2.h"
#include "platform/input_file.h"
#include "platform/message_box.h"

namespace qtv {
namespace {

// The output area the engine writes into: 300 blanks and a NUL. Each call gets its own copy, with room
// for the text that comes back one NUL longer, so the area is allocated once per call.
std::u16string OutputArea() {
  static const std::u16string area = std::u16string(300, u' ') + u'\0';
  std::u16string output;
  output.reserve(area.size() + 1);
  output = area;
  return output;
}

// The checksum is the start of the area the engine wrote; it keeps the area's storage.
std::u16string Digits(std::u16string&& output, std::size_t length) {
  output.resize(std::min(length, output.size()));
  return std::move(output);
}

// The engine writes its text and one NUL at the start of the area; the area's blanks stay where it did not.
bool WroteChecksum(const std::u16string& output, std::size_t length) {
  return output.size() > length && output[length] == u'\0' && output[0] != u' ';
}

struct ErrorRow {
  std::int32_t number;
  const char16_t* description;
};
// Numbers 2 to 6 report themselves; any other number is reported as 255.
constexpr ErrorRow kErrorTable[] = {
    {2, u"The input file is the same as the output"},
    {3, u"The input file is empty "},
    {4, u"The outputfile file is empty "},
    {5, u"The input file or path is invalid"},
    {6, u"The output file or path is invalid"},
};
constexpr ErrorRow kUnexpectedError = {255, u"Unexpected error"};

constexpr std::int32_t kEmptyInputFile = 3;
constexpr std::int32_t kInvalidInputFile = 5;

} // namespace

QTVChecksum::QTVChecksum() noexcept { host::InstanceCreated(); }

// Other instances on this thread may still be working with the engine: only the last one releases it.
QTVChecksum::~QTVChecksum() { host::InstanceEnded(); }

std::u16string QTVChecksum::StringChecksum(const char16_t* command, std::size_t resultLength,
                                           std::u16string TheString, std::int32_t Length) {
  // The engine is made ready before the arguments are looked at, as in the file methods, so that what
  // a request leaves on disk never depends on them.
  host::EnsureEngineLoaded();
  if (Length < 0) throw InvalidArgumentError();
  std::u16string output = OutputArea();
  host::CallEngine(command, TheString, output, Length);
  return Digits(std::move(output), resultLength);
}

std::u16string QTVChecksum::FileChecksum(const char16_t* command, std::size_t resultLength,
                                         std::u16string InputFile) {
  // The engine is made ready before the name is looked at, so even a refused request deploys it.
  host::EnsureEngineLoaded();
  if (host::IsEmptyName(InputFile)) {
    RaiseErrorCode(kEmptyInputFile);
    return {};
  }
  if (!host::CanReadFile(InputFile)) {
    RaiseErrorCode(kInvalidInputFile);
    return {};
  }
  // The engine takes ANSI names: it is given one that reaches this very file, or nothing at all.
  std::optional<std::u16string> engineName = platform::NameInAnsiForm(InputFile);
  if (!engineName) {
    RaiseErrorCode(kInvalidInputFile);
    return {};
  }
  *engineName += u'\0';
  std::u16string output = OutputArea();
  const std::int32_t recognised = host::CallEngine(command, *engineName, output, 0);
  // The file can still become unreadable after the check (removed, held by another program, failing
  // to read); the engine then writes nothing, and its blanks are no checksum. An engine that could not
  // be called has said so in its message and leaves the blanks as they are.
  if (recognised != 0 && !WroteChecksum(output, resultLength)) {
    RaiseErrorCode(kInvalidInputFile);
    return {};
  }
  return Digits(std::move(output), resultLength);
}

void QTVChecksum::RaiseErrorCode(const std::int32_t& number) {
  const auto row = std::find_if(std::begin(kErrorTable), std::end(kErrorTable),
                                [number](const ErrorRow& candidate) { return candidate.number == number; });
  const ErrorRow& reported = row != std::end(kErrorTable) ? *row : kUnexpectedError;
  // Handlers may run code that connects or disconnects handlers: iterate over a snapshot. Each gets
  // private values, so what one writes reaches neither the control nor the next handler.
  const auto handlers = handlers_;
  for (const auto& [cookie, handler] : handlers) {
    std::int32_t ErrorNumber = reported.number;
    std::u16string ErrorDescription = reported.description;
    handler(ErrorNumber, ErrorDescription);
  }
}

void QTVChecksum::About() { about::ShowAboutBox(); }

std::u16string QTVChecksum::CRC32String(std::u16string TheString, std::int32_t Length) {
  return StringChecksum(u"crc32string", 8, std::move(TheString), Length);
}
std::u16string QTVChecksum::MD5String(std::u16string TheString, std::int32_t Length) {
  return StringChecksum(u"md5string", 32, std::move(TheString), Length);
}
std::u16string QTVChecksum::SHA1String(std::u16string TheString, std::int32_t Length) {
  return StringChecksum(u"sha1string", 40, std::move(TheString), Length);
}
std::u16string QTVChecksum::SHA256String(std::u16string TheString, std::int32_t Length) {
  return StringChecksum(u"sha256string", 64, std::move(TheString), Length);
}
std::u16string QTVChecksum::Adler32String(std::u16string TheString, std::int32_t Length) {
  return StringChecksum(u"adler32string", 8, std::move(TheString), Length);
}
std::u16string QTVChecksum::CRC32File(std::u16string InputFile) {
  return FileChecksum(u"crc32file", 8, std::move(InputFile));
}
std::u16string QTVChecksum::MD5File(std::u16string InputFile) {
  return FileChecksum(u"md5file", 32, std::move(InputFile));
}
std::u16string QTVChecksum::SHA1File(std::u16string InputFile) {
  return FileChecksum(u"sha1file", 40, std::move(InputFile));
}
std::u16string QTVChecksum::SHA256File(std::u16string InputFile) {
  return FileChecksum(u"sha256file", 64, std::move(InputFile));
}
std::u16string QTVChecksum::Adler32File(std::u16string InputFile) {
  return FileChecksum(u"adler32file", 8, std::move(InputFile));
}

std::u16string QTVChecksum::ControlName() { return platform::kControlTitle; }

void QTVChecksum::Resize(std::int32_t& Width, std::int32_t& Height) noexcept {
  Width = kSizeInTwips;
  Height = kSizeInTwips;
}

QTVChecksum::Cookie QTVChecksum::ConnectErrorCode(ErrorCodeHandler handler) {
  const Cookie cookie = ++lastCookie_;
  handlers_.emplace_back(cookie, std::move(handler));
  return cookie;
}

bool QTVChecksum::DisconnectErrorCode(Cookie cookie) {
  return std::erase_if(handlers_, [cookie](const auto& entry) { return entry.first == cookie; }) != 0;
}

} // namespace qtv
