#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/library.h"

// The engine's place on disk and its loading. Paths here are in the system's own form and are never
// converted: UTF-16 on Windows, where only the wide functions take every name a user's profile can have;
// bytes on Linux, where a folder's name is whatever bytes the user gave it.
namespace qtv::platform {

#if defined(_WIN32)
using PathChar = wchar_t;
inline constexpr PathChar kNativeSeparator = L'\\';
#else
using PathChar = char;
inline constexpr PathChar kNativeSeparator = '/';
#endif
using NativePath = std::basic_string<PathChar>;

// A text as a path and back. Windows: the same UTF-16 units both ways. Linux: UTF-8 one way; the
// other way is for messages only, since bytes that are not UTF-8 show as U+FFFD.
NativePath ToNativePath(std::u16string_view text);
std::u16string FromNativePath(const NativePath& path);

// As Windows' GetTempPathW: writes the user's temporary folder and a NUL into `buffer` when it fits in
// `length` characters and returns the characters written without the NUL; returns the size needed when
// it does not fit, and 0 on failure. Windows gives a folder too long for `length` in its short form when
// that fits. Linux answers $TMPDIR's bytes as they are when they are an absolute path, else /tmp.
std::uint32_t GetTempPathNative(std::uint32_t length, PathChar* buffer) noexcept;

// Creates one folder, private to the user where the system has owners. Fails harmlessly when it exists.
void CreateOneFolder(const NativePath& path) noexcept;
bool IsFolder(const NativePath& path) noexcept;

// The name of the engine's folder under the temporary folder: "QTVSoftware", and where all users share
// one temporary folder (Linux) the user id after it, so that no user can take another's folder.
NativePath EngineFolderName();

// What DeployAndLoad achieved.
struct Deployment {
  // False when no folder of the user's own could be had at the engine folder's place: nothing loaded.
  bool folderUsable = false;
  // The loaded engine, or 0 when it could not be loaded.
  LibraryHandle library = 0;
  // True when a copy under a unique name was loaded because the engine file could not be replaced; it
  // is removed once released.
  bool privateCopy = false;
};

// Loads the file `fileName` in `folder` (which ends in a separator) only when it is byte for byte
// `image`: a file that differs, or is missing, damaged or not the user's own, is first replaced by
// `image`, written whole before it takes the name: on Linux as a file without a name until then, so that
// a process killed in the middle leaves nothing behind; on Windows under a unique name, then renamed
// over it. Where it cannot be replaced (another process holds it), a private copy under a unique name in
// the same folder is loaded. What is loaded is exactly what was compared or written: on Linux the folder
// and the file are held open from the check to the load, a folder that is not the user's own gives way
// to a fresh private one, and the user's own folder left open to others is closed to them again. On
// Windows a deployment that writes first removes what earlier ones left under unique names and nobody
// holds (the copies of programs that ended without releasing them).
// Where the folder is usable but cannot load the engine, the engine comes from elsewhere: on Linux, when
// the folder runs no programs (noexec), the carried image from memory; on Windows the engine file beside
// the control library, only when it is byte for byte `image` and held so until it is loaded.
Deployment DeployAndLoad(const NativePath& folder, const NativePath& fileName,
                         std::span<const std::byte> image) noexcept;

// Releases one load made by DeployAndLoad and removes its private copy, if any and no longer in use.
void ReleaseDeployed(LibraryHandle library, bool privateCopy) noexcept;

} // namespace qtv::platform
