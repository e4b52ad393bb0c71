#include "dialog_driver_windows.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "platform/unique_handle.h"

namespace qtv::testing {

namespace {

struct Driver {
  const std::function<void(HWND)>* script;
  std::vector<HWND> seen;
  HWND dialog = nullptr;
  UINT_PTR timer = 0;
  DialogRun run;
};

// The hook and timer procedures reach the running drive only through this.
thread_local Driver* t_driver = nullptr;

void CALLBACK OnGraceOver(HWND, UINT, UINT_PTR, DWORD) {
  Driver& driver = *t_driver;
  KillTimer(nullptr, driver.timer);
  driver.timer = 0;
  if (IsWindowVisible(driver.dialog)) {
    driver.run.left_open = true;
    PostMessageA(driver.dialog, WM_CLOSE, 0, 0);
  }
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
  Driver& driver = *t_driver;
  // A dialog can become active before its modal loop first shows it.
  if (driver.run.ran || !IsWindowVisible(driver.dialog)) return;
  KillTimer(nullptr, driver.timer);
  driver.run.ran = true;
  (*driver.script)(driver.dialog);
  // A modal loop ends only after this returns: give the dialog time to go.
  driver.timer = SetTimer(nullptr, 0, 2000, OnGraceOver);
}

LRESULT CALLBACK OnWindowEvent(int code, WPARAM wparam, LPARAM lparam) {
  const auto window = reinterpret_cast<HWND>(wparam);
  Driver* driver = t_driver;
  // Under Wine the hook also sees other programs' windows becoming active (tests run side by side show
  // their own dialogs): only this thread's dialogs count.
  if (code == HCBT_ACTIVATE && driver != nullptr && ClassName(window) == "#32770" &&
      GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() &&
      std::find(driver->seen.begin(), driver->seen.end(), window) == driver->seen.end()) {
    driver->seen.push_back(window);
    if (driver->dialog == nullptr) {
      driver->dialog = window;
      driver->timer = SetTimer(nullptr, 0, 10, OnTimer);
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

inline constexpr auto kUnhook = [](HHOOK hook) noexcept { UnhookWindowsHookEx(hook); };

} // namespace

DialogRun DriveDialog(const std::function<void()>& show, const std::function<void(HWND)>& script) {
  Driver driver{&script, {}, nullptr, 0, {}};
  t_driver = &driver;
  {
    const platform::UniqueHandle<HHOOK, nullptr, kUnhook> hook(
        SetWindowsHookExA(WH_CBT, OnWindowEvent, nullptr, GetCurrentThreadId()));
    show();
  }
  if (driver.timer != 0) KillTimer(nullptr, driver.timer);
  t_driver = nullptr;
  driver.run.dialogs = static_cast<int>(driver.seen.size());
  return driver.run;
}

bool PumpUntil(const std::function<bool()>& done, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return done();
}

std::string WindowText(HWND window) {
  std::array<char, 1024> text{};
  GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  return text.data();
}

std::string ClassName(HWND window) {
  std::array<char, 256> name{};
  GetClassNameA(window, name.data(), static_cast<int>(name.size()));
  return name.data();
}

std::vector<HWND> Children(HWND dialog) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

} // namespace qtv::testing
