// Closes the about box for a script that calls About and cannot close the modal box itself:
//   close_about_box MARKER
// waits up to 30 seconds for a dialog box captioned with the control's title that belongs to the process
// that started this one (other tests may show theirs at the same time), writes the file MARKER, so the
// script can tell that About showed its box, and closes the box. Exit code 0 when it did.
#include <windows.h>

#include <tlhelp32.h>

#include <string>

#include "platform/unique_handle.h"

namespace {

inline constexpr auto kCloseHandle = [](HANDLE handle) noexcept { CloseHandle(handle); };
inline constexpr auto kInvalidHandle = [] { return INVALID_HANDLE_VALUE; };
using Handle = qtv::platform::UniqueHandle<HANDLE, kInvalidHandle, kCloseHandle>;

DWORD ParentProcess() {
  const Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == GetCurrentProcessId()) return entry.th32ParentProcessID;
  }
  return 0;
}

struct Search {
  DWORD process;
  HWND found;
};

BOOL CALLBACK Inspect(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<Search*>(context);
  wchar_t name[16] = {}, caption[64] = {};
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  GetClassNameW(window, name, 16);
  GetWindowTextW(window, caption, 64);
  if (process == search.process && std::wstring(name) == L"#32770" &&
      std::wstring(caption) == L"QTV Checksum OCX 1.0.0") {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Search search{ParentProcess(), nullptr};
  for (int waited = 0; waited < 30000; waited += 20) {
    EnumWindows(&Inspect, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      const Handle marker(CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
      PostMessageW(search.found, WM_CLOSE, 0, 0);
      return 0;
    }
    Sleep(20);
  }
  return 1;
}
