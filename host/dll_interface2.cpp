#include "host/dll_interface2.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <random>
#include <string_view>

#include "engine/interface1.h"
#include "host/control_error.h"
#include "platform/file_reading.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/text.h"

namespace qtv::host {
namespace {

constexpr char16_t kSeparator = platform::kPathSeparator;
constexpr std::u16string_view kEngineFolderName = u"QTVSoftware";
constexpr std::u16string_view kEngineFileName = engine::kFileName;
constexpr int kRcData = 10;
constexpr int kEngineResource = 1;
constexpr std::int32_t kCannotCreateFolder = 70;
// The temporary folder query declares 255 characters: 254 and the NUL.
constexpr std::uint32_t kTempPathLength = 255;

constexpr std::u16string_view kLoadFailed = u"error loading the dll";
constexpr std::u16string_view kEntryMissing = u"error locating the interface1 function ";

thread_local EngineState tEngine;

std::u16string EngineFolder(const std::u16string& tempFolder) {
  return tempFolder + std::u16string(kEngineFolderName) + kSeparator;
}

// A name in the engine folder that no other writer, thread or process, picks at the same time.
std::u16string PrivateName(const std::u16string& path) {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  std::array<char, 17> digits{};
  std::snprintf(digits.data(), digits.size(), "%016llx", static_cast<unsigned long long>(generator()));
  return path + u"." + platform::FromAnsi(digits.data()) + u".tmp";
}

// Forgets the thread's load after releasing it, so that no later call reaches a released library.
void ForgetEngine() noexcept {
  if (tEngine.EngineHandle != 0) platform::ReleaseLibrary(tEngine.EngineHandle);
  tEngine = EngineState{};
}

// A text in the engine's form with a NUL of its own. A NUL converts to one zero byte, so it is added
// after the conversion, where the converted text has room for it.
std::string TerminatedAnsi(std::u16string_view text) {
  std::string bytes = platform::ToAnsi(text);
  bytes += '\0';
  return bytes;
}

} // namespace

EngineState CurrentEngineState() noexcept { return tEngine; }

std::optional<std::u16string> GetTempFolder() {
  std::string buffer(300, ' ');
  const std::uint32_t written = platform::GetTempPathAnsi(kTempPathLength, buffer.data());
  if (written == 0 || written >= kTempPathLength) return std::nullopt;
  buffer.resize(written);
  std::u16string folder = platform::FromAnsi(buffer);
  if (folder.back() != kSeparator) folder += kSeparator;
  return folder;
}

bool CreateFolderPath(const std::u16string& folder) {
  std::u16string path = folder;
  if (path.empty() || path.back() != kSeparator) path += kSeparator;
  for (std::size_t end = path.find(kSeparator); end != std::u16string::npos;
       end = path.find(kSeparator, end + 1)) {
    platform::CreateOneFolder(platform::ToAnsi(path.substr(0, end + 1)));
  }
  return platform::IsFolder(platform::ToAnsi(folder));
}

void WriteEngineFile(const std::u16string& path, int resourceId) {
  try {
    const auto image = platform::ReadOwnResource(kRcData, resourceId);
    if (!image) return;
    const std::string target = platform::ToAnsi(path);
    const std::string privateName = platform::ToAnsi(PrivateName(path));
    if (!platform::WriteNewFile(privateName, *image)) return;
    if (!platform::MoveIntoPlaceNoReplace(privateName, target)) platform::RemoveFile(privateName);
  } catch (...) {
    // Whatever went wrong shows as a failed load in the step that follows.
  }
}

void EnsureEngineLoaded() {
  if (tEngine.EngineLoaded) return;

  const std::optional<std::u16string> tempFolder = GetTempFolder();
  if (!tempFolder) {
    ForgetEngine();
    platform::ShowMessage(std::u16string(kLoadFailed));
    return;
  }
  const std::u16string folder = EngineFolder(*tempFolder);
  const std::u16string path = folder + std::u16string(kEngineFileName);
  if (!platform::IsOrdinaryFile(platform::ToAnsi(path))) {
    if (!CreateFolderPath(folder)) {
      throw ControlError(kCannotCreateFolder, u"Unable to create the destination folder " + folder);
    }
    WriteEngineFile(path, kEngineResource);
  }

  // A load left from an earlier attempt whose entry was missing is released before it is replaced, so
  // that loads and releases stay paired.
  ForgetEngine();
  const std::string ansiPath = platform::ToAnsi(path);
  if (platform::IsPrivateToUser(platform::ToAnsi(folder), ansiPath)) {
    tEngine.EngineHandle = platform::LoadLibraryAt(ansiPath);
  }
  if (tEngine.EngineHandle == 0) {
    platform::ShowMessage(std::u16string(kLoadFailed));
    return;
  }
  tEngine.EngineEntry = platform::FindExport(tEngine.EngineHandle, engine::kEntryName);
  if (tEngine.EngineEntry == 0) {
    platform::ShowMessage(std::u16string(kEntryMissing));
    return;
  }
  tEngine.EngineLoaded = true;
}

void UnloadEngine() noexcept { ForgetEngine(); }

std::int32_t CallEngine(std::u16string_view command, std::u16string_view input, std::u16string& output,
                        std::int32_t length) {
  if (tEngine.EngineHandle == 0) {
    platform::ShowMessage(std::u16string(kLoadFailed));
    return 0;
  }
  if (tEngine.EngineEntry == 0) {
    platform::ShowMessage(std::u16string(kEntryMissing));
    return 0;
  }
  std::string commandBytes = TerminatedAnsi(command);
  std::string inputBytes = TerminatedAnsi(input);
  std::string outputBytes = TerminatedAnsi(output);
  // The engine reads `length` bytes of input: never more than the buffer holds. A negative length goes
  // through, and the engine refuses it.
  const auto available = static_cast<std::int32_t>(std::min<std::size_t>(inputBytes.size(), INT32_MAX));
  const std::int32_t result = platform::CallEntry(tEngine.EngineEntry, commandBytes.data(), inputBytes.data(),
                                                  outputBytes.data(), std::min(length, available));
  platform::FromAnsi(outputBytes, output);
  return result;
}

bool IsEmptyName(const std::u16string& name) noexcept { return name.empty(); }

bool CanReadFile(const std::u16string& name) noexcept {
  try {
    const std::string path = platform::ToAnsi(name);
    const std::optional<std::int64_t> size = platform::FileSize(path);
    if (!size) return false;
    const auto probeLength = static_cast<std::size_t>(std::clamp<std::int64_t>(*size, 0, 255));
    platform::UniqueFile file = platform::OpenForReading(path.c_str());
    if (!file) return false;
    std::array<char, 255> probe;
    const std::size_t read = std::fread(probe.data(), 1, probeLength, file.get());
    const bool failed = read != probeLength && std::ferror(file.get()) != 0;
    return !failed && std::fclose(file.release()) == 0;
  } catch (...) {
    return false;
  }
}

} // namespace qtv::host
