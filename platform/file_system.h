#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// File-system services of the engine host. Paths are ANSI texts (see platform/text.h).
namespace qtv::platform {

#if defined(_WIN32)
inline constexpr char16_t kPathSeparator = u'\\';
#else
inline constexpr char16_t kPathSeparator = u'/';
#endif

// As Windows' GetTempPathA: writes the user's temporary folder and a NUL into `buffer` when it fits in
// `length` characters and returns the characters written without the NUL; returns the size needed when
// it does not fit, and 0 on failure. Linux answers $TMPDIR, else /tmp.
std::uint32_t GetTempPathAnsi(std::uint32_t length, char* buffer) noexcept;

// Creates one folder, private to the user where the system has owners. Fails harmlessly when it exists.
void CreateOneFolder(const std::string& path) noexcept;

// An ordinary file: not a folder, not hidden, not a system file, not a link.
bool IsOrdinaryFile(const std::string& path) noexcept;
bool IsFolder(const std::string& path) noexcept;

// Creates a file that must not exist yet and writes `bytes` into it; false on any failure, in which
// case no file of that name is left behind.
bool WriteNewFile(const std::string& path, std::span<const std::byte> bytes) noexcept;
// Gives the file at `from` the name `to` unless a file of that name exists already; false then.
bool MoveIntoPlaceNoReplace(const std::string& from, const std::string& to) noexcept;
void RemoveFile(const std::string& path) noexcept;

// A file's size in bytes, or nothing when there is no such file.
std::optional<std::int64_t> FileSize(const std::string& path) noexcept;

// Whether a library file may be loaded from `folder`: where several users share the temporary folder,
// both must belong to the current user and be writable by no one else, and the file must be a regular
// file, not a link. Always true where the temporary folder is the user's own.
bool IsPrivateToUser(const std::string& folder, const std::string& file) noexcept;

// The bytes of one of the control library's own resources (type 10 is RCDATA), or nothing.
std::optional<std::span<const std::byte>> ReadOwnResource(int type, int id) noexcept;

} // namespace qtv::platform
