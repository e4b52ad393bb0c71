#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// File-system services of the engine host. Paths are ANSI texts (see platform/text.h); the engine's own
// folder and file are handled in platform/engine_files.h.
namespace qtv::platform {

#if defined(_WIN32)
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// The bytes of one of the control library's own resources (type 10 is RCDATA), or nothing.
std::optional<std::span<const std::byte>> ReadOwnResource(int type, int id) noexcept;

} // namespace qtv::platform
