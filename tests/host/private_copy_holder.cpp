// A host that never releases the engine: it loads it as a control does, says "loaded" (or what went
// wrong) on its standard output, and waits to be killed with the load in place.
#include <windows.h>

#include <cstdio>

#include "host/dll_interface2.h"
#include "host/dll_interface2_testing.h"
#include "platform/testing.h"
#include "qtvchecksum/control_error.h"

int main() {
  qtv::platform::testing::MessageCapture messages;
  try {
    qtv::host::EnsureEngineLoaded();
    std::puts(qtv::host::testing::CurrentEngineState().EngineLoaded ? "loaded" : "not loaded");
  } catch (const qtv::ControlError& error) {
    std::printf("error %d\n", static_cast<int>(error.number()));
  }
  std::fflush(stdout);
  Sleep(INFINITE);
}
