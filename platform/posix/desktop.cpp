#include "platform/posix/desktop.h"

#include <gtk/gtk.h>

#include <cstdlib>
#include <mutex>
#include <thread>

namespace qtv::platform::posix {

namespace {

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// The toolkit is started once per process and then belongs to the thread that started it.
struct Toolkit {
  std::once_flag started;
  bool ready = false;
  std::thread::id owner;
};

Toolkit& TheToolkit() {
  static Toolkit toolkit;
  return toolkit;
}

} // namespace

bool ToolkitReady() {
  Toolkit& toolkit = TheToolkit();
  std::call_once(toolkit.started, [&toolkit] {
    if (!HasDisplay()) return;
    // The host program's locale is its own business; the toolkit must not change it.
    gtk_disable_setlocale();
    toolkit.ready = gtk_init_check(nullptr, nullptr) != FALSE;
    toolkit.owner = std::this_thread::get_id();
  });
  return toolkit.ready && toolkit.owner == std::this_thread::get_id();
}

} // namespace qtv::platform::posix
