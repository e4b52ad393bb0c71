#pragma once
// Telling files on a disk from devices, for the readers of input files.
#include <windows.h>

#include <io.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "platform/file_reading.h"

namespace qtv::platform::windows {

template <typename Char> DWORD FullPathName(const Char* name, DWORD size, Char* buffer) noexcept {
  if constexpr (sizeof(Char) == 1) {
    return GetFullPathNameA(name, size, buffer, nullptr);
  } else {
    return GetFullPathNameW(name, size, buffer, nullptr);
  }
}

// True when the system takes `name` for a device, not a file on a disk: its full form lies in the
// device namespace (\\.\PhysicalDrive0, \\.\pipe\x, and NUL, CON, COM1 and the other reserved names,
// which the system maps there from any folder and with any extension), or in the \\?\ namespace
// anywhere but under a drive or a share. Nothing is opened to find out.
template <typename Char> bool IsDeviceName(const Char* name) noexcept {
  try {
    DWORD size = FullPathName<Char>(name, 0, nullptr);
    if (size == 0) return true; // a name the system cannot make whole is refused like a device
    std::basic_string<Char> full(size, Char{});
    size = FullPathName<Char>(name, size, full.data());
    if (size == 0 || size >= full.size()) return true;
    full.resize(size);
    // Whether the full name begins with `prefix`, letters in either case; "*" stands for any unit.
    const auto starts = [&full](std::string_view prefix) {
      if (full.size() < prefix.size()) return false;
      for (std::size_t i = 0; i < prefix.size(); ++i) {
        std::uint32_t unit = static_cast<std::make_unsigned_t<Char>>(full[i]);
        if (unit >= 'a' && unit <= 'z') unit -= 'a' - 'A';
        if (prefix[i] != '*' && unit != static_cast<unsigned char>(prefix[i])) return false;
      }
      return true;
    };
    if (starts("\\\\.\\")) return true;
    if (starts("\\\\?\\")) return !starts("\\\\?\\*:\\") && !starts("\\\\?\\UNC\\");
    return false;
  } catch (...) {
    return true;
  }
}

// Keeps an open file only when it is a file on a disk.
inline UniqueFile KeepDiskFile(UniqueFile file) noexcept {
  if (file) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file.get())));
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) file.reset();
  }
  return file;
}

} // namespace qtv::platform::windows
