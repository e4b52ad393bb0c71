#pragma once
#include <span>

namespace qtv::platform::posix {

// The about box's window icon: the bytes of resources/about_box.ico, built into the library.
std::span<const unsigned char> AboutIconFile();

} // namespace qtv::platform::posix
