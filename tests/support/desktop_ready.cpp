// Waits until this Wine prefix's desktop can hold windows, and says how long that took.
// Wine starts its desktop process with the first program that makes a window, and waits only ten seconds
// for it; on a busy machine, and where 32-bit programs are emulated, it can take longer, and that first
// program's windows then fail to be created. The test scripts run this once before a suite, so that no
// test is that first program.
#include <windows.h>

#include <cstdio>

int main() {
  constexpr DWORD kPatienceMs = 180'000;
  const DWORD start = GetTickCount();
  DWORD lastError = 0;
  for (;;) {
    if (HWND window = CreateWindowExW(0, L"STATIC", L"desktop_ready", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                      nullptr, nullptr, nullptr)) {
      DestroyWindow(window);
      std::printf("desktop_ready: the desktop holds windows after %lu ms\n",
                  static_cast<unsigned long>(GetTickCount() - start));
      return 0;
    }
    lastError = GetLastError();
    if (GetTickCount() - start > kPatienceMs) break;
    Sleep(500);
  }
  std::printf("desktop_ready: no window could be made in %lu ms (last error %lu)\n",
              static_cast<unsigned long>(kPatienceMs), static_cast<unsigned long>(lastError));
  return 1;
}
