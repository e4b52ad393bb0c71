#pragma once
#include <cstdint>
#include <string>

namespace qtv::platform {

// A loaded library and an entry found in it, as plain values: 0 means "none". The host keeps them in
// per-thread state and decides itself when to release a load.
using LibraryHandle = std::uintptr_t;
using EntryAddress = std::uintptr_t;

// Loads the library at `path` (ANSI text); 0 when it cannot be loaded.
LibraryHandle LoadLibraryAt(const std::string& path) noexcept;
// The address of the export `name`, or 0.
EntryAddress FindExport(LibraryHandle library, const char* name) noexcept;
// Releases one load.
void ReleaseLibrary(LibraryHandle library) noexcept;

// Calls an engine entry through its address with the four values in order and returns its result.
std::int32_t CallEntry(EntryAddress entry, const char* command, const char* input, char* output,
                       std::int32_t length) noexcept;

} // namespace qtv::platform
