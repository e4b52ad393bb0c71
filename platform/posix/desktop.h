#pragma once

namespace qtv::platform::posix {

// Whether the calling thread may use the GTK toolkit: the first call with a display (DISPLAY or
// WAYLAND_DISPLAY) starts the toolkit, and only that thread may use it afterwards, since GTK belongs to
// one thread. Without a display the toolkit is never started and every call answers false.
bool ToolkitReady();

} // namespace qtv::platform::posix
