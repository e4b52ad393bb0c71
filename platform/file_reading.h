#pragma once
#include <cstdio>

#include "platform/unique_handle.h"

namespace qtv::platform {

inline constexpr auto kCloseFile = [](std::FILE* file) noexcept { std::fclose(file); };
using UniqueFile = UniqueHandle<std::FILE*, nullptr, kCloseFile>;

// Opens an existing regular file for binary reading (mode "rb"), read access only, other readers and
// writers allowed. Anything else is refused without waiting: a folder, a FIFO, a socket or a device
// (on Windows anything that is not a file on a disk: NUL, CON, COM1, pipes, \\.\ names). Devices and
// FIFOs are recognised before anything is opened where the system allows it: opening a FIFO waits for a
// writer, and reading /dev/zero or CON never ends.
UniqueFile OpenForReading(const char* path) noexcept;

} // namespace qtv::platform
