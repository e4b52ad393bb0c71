#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/library.h"

// The engine host: deploys the engine library from the control library's own resource to
// "QTVSoftware/qtvsum.dll" under the user's temporary folder, loads it once per thread, carries every
// request to its entry `interface1`, and tests input files before they are sent.
namespace qtv::host {

// The per-thread state. Every control instance on a thread shares its thread's copy.
struct EngineState {
  platform::LibraryHandle EngineHandle = 0;
  platform::EntryAddress EngineEntry = 0;
  bool EngineLoaded = false;
};

// A copy of the calling thread's state, for diagnostics and tests.
EngineState CurrentEngineState() noexcept;

// Deploys and loads the engine on the thread's first request; does nothing once it is loaded. A load
// failure is shown to the user and leaves the engine unloaded. Throws qtv::ControlError 70 when the
// engine folder cannot be created.
void EnsureEngineLoaded();

// Releases the thread's engine load and forgets it, so that the next request on the thread loads it
// again. Several calls in a row release at most the one load there is.
void UnloadEngine() noexcept;

// The user's temporary folder with exactly one trailing separator, or nothing when the system cannot
// say or names a folder too long for the 255 characters the query allows.
std::optional<std::u16string> GetTempFolder();

// Creates `folder` level by level, the deepest last; true when the folder exists afterwards.
bool CreateFolderPath(const std::u16string& folder);

// Writes the resource `resourceId` (RCDATA) to `path` unless a file is there already. The bytes go to a
// private name first and take `path` only when complete, so no reader ever meets a partial engine; if
// another writer got there first, theirs stays. Never fails towards its caller.
void WriteEngineFile(const std::u16string& path, int resourceId);

// Sends one request to the engine: the three texts travel as NUL-terminated ANSI bytes, and `output` is
// replaced by the text form of the whole output buffer (one NUL longer than it came). Shows a message
// and returns 0 without calling the engine when it is not loaded or its entry is missing.
std::int32_t CallEngine(std::u16string_view command, std::u16string_view input, std::u16string& output,
                        std::int32_t length);

// True for the empty name (a name of blanks is not empty).
bool IsEmptyName(const std::u16string& name) noexcept;

// True when the file is a regular file (on Windows a file on a disk, not a device) that can be sized,
// opened for reading, read (its first 255 bytes at most) and closed.
bool CanReadFile(const std::u16string& name) noexcept;

} // namespace qtv::host
