// Deploying the engine from the control library's resource under the temporary folder, loading it once
// per thread, and releasing it when the thread's last control instance ends. The per-thread state lives
// here and nowhere else.
#include "host/engine_loader.h"

#include <string_view>

#include "engine/interface1.h"
#include "host/dll_interface2.h"
#include "host/dll_interface2_testing.h"
#include "platform/file_system.h"
#include "platform/message_box.h"
#include "qtvchecksum/control_error.h"

namespace qtv::host {
namespace {

using platform::kNativeSeparator;
using platform::NativePath;

constexpr int kRcData = 10;
constexpr int kEngineResource = 1;
constexpr std::int32_t kCannotCreateFolder = 70;
// The temporary folder query declares 255 characters: 254 and the NUL.
constexpr std::uint32_t kTempPathLength = 255;

thread_local EngineState tEngine;
// Whether the thread's engine is a private copy, loaded because another process held the engine file;
// the copy is removed when the load is released. Per-thread data here stays trivially destructible: the
// control library may be unloaded while threads that used it live on.
thread_local bool tPrivateCopy = false;
// The control instances alive on the thread; the engine is released when the last of them ends.
thread_local std::uint32_t tInstances = 0;

// Forgets the thread's load after releasing it, so that no later call reaches a released library.
void ForgetEngine() noexcept {
  platform::ReleaseDeployed(tEngine.EngineHandle, tPrivateCopy);
  tEngine = EngineState{};
  tPrivateCopy = false;
}

} // namespace

const EngineState& ThreadEngine() noexcept { return tEngine; }

std::optional<NativePath> GetTempFolder() {
  NativePath buffer(300, platform::PathChar{' '});
  const std::uint32_t written = platform::GetTempPathNative(kTempPathLength, buffer.data());
  if (written == 0 || written >= kTempPathLength) return std::nullopt;
  buffer.resize(written);
  if (buffer.back() != kNativeSeparator) buffer += kNativeSeparator;
  return buffer;
}

// Only the folder itself: a missing folder above it is the system's or the user's to make. Made here,
// it would carry this user's private mode, and a shared temporary folder made so would shut out all
// other users.
bool CreateFolderPath(const NativePath& folder) {
  platform::CreateOneFolder(folder);
  return platform::IsFolder(folder);
}

void EnsureEngineLoaded() {
  if (tEngine.EngineLoaded) return;

  // A load left from an earlier attempt whose entry was missing is released before it is replaced, so
  // that loads and releases stay paired.
  ForgetEngine();
  const std::optional<NativePath> tempFolder = GetTempFolder();
  if (!tempFolder) {
    platform::ShowMessage(std::u16string(kLoadFailed));
    return;
  }
  const NativePath folder = *tempFolder + platform::EngineFolderName() + kNativeSeparator;
  CreateFolderPath(folder);
  const auto image = platform::ReadOwnResource(kRcData, kEngineResource);
  platform::Deployment deployment;
  if (image) {
    deployment = platform::DeployAndLoad(folder, platform::ToNativePath(kEngineFileName), *image);
    if (!deployment.folderUsable) {
      throw ControlError(kCannotCreateFolder,
                         u"Unable to create the destination folder " + platform::FromNativePath(folder));
    }
  }
  tEngine.EngineHandle = deployment.library;
  tPrivateCopy = deployment.privateCopy;
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

void InstanceCreated() noexcept { ++tInstances; }

void InstanceEnded() noexcept {
  if (tInstances > 0) --tInstances;
  if (tInstances == 0) UnloadEngine();
}

void testing::AdoptLoad(platform::LibraryHandle library) noexcept {
  ForgetEngine();
  tEngine.EngineHandle = library;
  tEngine.EngineEntry = platform::FindExport(library, engine::kEntryName);
  tEngine.EngineLoaded = tEngine.EngineEntry != 0;
}

} // namespace qtv::host
