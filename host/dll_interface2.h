#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/interface1.h"
#include "platform/engine_files.h"

// The engine host: deploys the engine library from the control library's own resource to its folder
// under the user's temporary folder ("QTVSoftware", on Linux with the user id appended), loads exactly
// those bytes once per thread, carries every request to its entry `interface1`, and tests input files
// before they are sent.
namespace qtv::host {

// The name the engine file has in its folder: one per bitness, so that 32-bit and 64-bit programs of one
// user never touch each other's engine.
inline constexpr std::u16string_view kEngineFileName = engine::kFileName;

// Deploying and loading (engine_loader.cpp).

// Deploys and loads the engine on the thread's first request; does nothing once it is loaded. An engine
// file that differs from the carried engine in any byte is replaced before it is loaded. A load failure
// is shown to the user and leaves the engine unloaded. Throws qtv::ControlError 70 when no engine folder
// of the user's own can be had.
void EnsureEngineLoaded();

// Releases the thread's engine load and forgets it, so that the next request on the thread loads it
// again. Several calls in a row release at most the one load there is.
void UnloadEngine() noexcept;

// The control instances on a thread share its engine, which stays loaded while any of them lives: each
// instance counts itself in when it is made and out when it ends, and the last one on the thread to end
// releases the load (UnloadEngine), so that a thread without instances holds no engine. An instance that
// ends on a thread where none was counted in (one made on another thread) finds no instance there that
// needs the engine, and releases it too.
void InstanceCreated() noexcept;
void InstanceEnded() noexcept;

// The user's temporary folder with exactly one trailing separator, in the system's own form (never
// converted), or nothing when the system cannot say or names a folder too long for the 255 characters
// the query allows (on Windows in its short form too).
std::optional<platform::NativePath> GetTempFolder();

// Creates `folder` itself, never a folder above it; true when the folder exists afterwards.
bool CreateFolderPath(const platform::NativePath& folder);

// The call bridge (call_bridge.cpp).

// Sends one request to the engine: the three texts travel as NUL-terminated ANSI bytes, and `output` is
// replaced by the text form of the whole output buffer (one NUL longer than it came). Shows a message
// and returns 0 without calling the engine when it is not loaded or its entry is missing.
std::int32_t CallEngine(std::u16string_view command, std::u16string_view input, std::u16string& output,
                        std::int32_t length);
// The same as on a system whose ANSI code page is `codePage`: the texts travel, and `length` counts, in
// that code page's bytes (the first form takes the system's).
std::int32_t CallEngine(std::u16string_view command, std::u16string_view input, std::u16string& output,
                        std::int32_t length, unsigned codePage);

// The input file checks (input_file_checks.cpp).

// True for the empty name (a name of blanks is not empty).
bool IsEmptyName(const std::u16string& name) noexcept;

// True when the file is a regular file (on Windows a file on a disk, not a device) that can be sized,
// opened for reading, read (its first 255 bytes at most) and closed.
bool CanReadFile(const std::u16string& name) noexcept;

} // namespace qtv::host
