#pragma once
// Open file descriptors, owned, and whole writes through them, for the services that write the engine.
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <span>

#include "platform/unique_handle.h"

namespace qtv::platform::posix {

inline constexpr auto kCloseDescriptor = [](int descriptor) noexcept { close(descriptor); };
using Descriptor = UniqueHandle<int, -1, kCloseDescriptor>;

// Writes all of `bytes` from the file's current position; false when any part could not be written.
inline bool WriteWhole(int file, std::span<const std::byte> bytes) noexcept {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = write(file, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    written += static_cast<std::size_t>(count);
  }
  return true;
}

} // namespace qtv::platform::posix
