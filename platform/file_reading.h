#pragma once
#include <cstdio>

#include "platform/unique_handle.h"

namespace qtv::platform {

inline constexpr auto kCloseFile = [](std::FILE* file) noexcept { std::fclose(file); };
using UniqueFile = UniqueHandle<std::FILE*, nullptr, kCloseFile>;

// Opens an existing file for binary reading (mode "rb"), read access only, other readers and writers
// allowed. A folder is refused on every platform: Windows refuses it already, POSIX would open it.
UniqueFile OpenForReading(const char* path) noexcept;

} // namespace qtv::platform
