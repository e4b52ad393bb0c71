#include "platform/file_reading.h"

#include "platform/windows/disk_files.h"

namespace qtv::platform {

// The C runtime's "rb" open asks for read access with read and write sharing, and fails for a folder.
// Device names are refused before the open; whatever else opens and is no disk file after it.
UniqueFile OpenForReading(const char* path) noexcept {
  if (windows::IsDeviceName(path)) return {};
  return windows::KeepDiskFile(UniqueFile(std::fopen(path, "rb")));
}

} // namespace qtv::platform
