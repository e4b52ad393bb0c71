// Deploying the engine from the control library's resource under the temporary folder, loading it once
// per thread, and releasing it. The per-thread state lives here and nowhere else.
#include "host/engine_loader.h"

#include <array>
#include <cstdio>
#include <random>
#include <string_view>

#include "engine/interface1.h"
#include "host/control_error.h"
#include "host/dll_interface2.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/text.h"

namespace qtv::host {
namespace {

constexpr char16_t kSeparator = platform::kPathSeparator;
constexpr std::u16string_view kEngineFolderName = u"QTVSoftware";
constexpr int kRcData = 10;
constexpr int kEngineResource = 1;
constexpr std::int32_t kCannotCreateFolder = 70;
// The temporary folder query declares 255 characters: 254 and the NUL.
constexpr std::uint32_t kTempPathLength = 255;

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

} // namespace

const EngineState& ThreadEngine() noexcept { return tEngine; }

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

} // namespace qtv::host
