#pragma once
#include <cstddef>
#include <span>
#include <string>

#include "platform/library.h"

// The engine where the temporary folder lets no program run (a noexec mount, as hardened machines have):
// the carried image is loaded from an anonymous file in memory instead, and nothing is written to disk.
namespace qtv::platform::posix {

// True when the file system that holds the open `folder` refuses to run programs from it.
bool RunsNoPrograms(int folder) noexcept;

// Loads `image` from an anonymous in-memory file called `name`, sealed against every change before it is
// loaded, so that what is loaded is exactly `image`. 0 when it cannot be loaded.
LibraryHandle LoadFromMemory(const std::string& name, std::span<const std::byte> image) noexcept;

} // namespace qtv::platform::posix
