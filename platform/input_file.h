#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_reading.h"

// The input files of the file methods, looked at through their names exactly as the caller wrote them:
// UTF-16 names on Windows, their exact UTF-8 bytes on Linux. A name the system cannot take as it is (one
// holding a NUL; on Linux one without an exact UTF-8 form, such as a lone surrogate) names no file.
namespace qtv::platform {

// The size of the regular file `name` names (on Windows a file on a disk: no folder, device or pipe),
// found without opening it; nothing for anything else and for a missing file.
std::optional<std::int64_t> RegularFileSize(std::u16string_view name) noexcept;

// Opens the regular file `name` names for binary reading, as OpenForReading does.
UniqueFile OpenRegularFile(std::u16string_view name) noexcept;

// The name under which the engine, which takes ANSI names, reaches the very file `name` names: `name`
// itself when it has an exact ANSI form (on Windows one shorter than MAX_PATH); on Windows else the
// file's short name when it has one that fits and has an exact ANSI form; else nothing. Never a name
// that converts to another file's.
std::optional<std::u16string> NameInAnsiForm(std::u16string_view name);
// The same for the engine of a system whose ANSI code page is `codePage` (on Linux, always UTF-8).
std::optional<std::u16string> NameInAnsiForm(std::u16string_view name, unsigned codePage);

} // namespace qtv::platform
