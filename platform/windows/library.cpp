#include "platform/library.h"

#include <windows.h>

#include "engine/interface1.h"

namespace qtv::platform {

LibraryHandle LoadLibraryAt(const std::string& path) noexcept {
  return reinterpret_cast<LibraryHandle>(LoadLibraryA(path.c_str()));
}

EntryAddress FindExport(LibraryHandle library, const char* name) noexcept {
  return reinterpret_cast<EntryAddress>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
}

void ReleaseLibrary(LibraryHandle library) noexcept { FreeLibrary(reinterpret_cast<HMODULE>(library)); }

// 32-bit: the entry has the shape of a window procedure (four 32-bit values, stdcall), so the system's
// window-procedure call serves as the trampoline for a call through an address held in data.
// 64-bit: a window procedure's message parameter is 32 bits wide and cannot carry the input's address,
// so the entry is called directly through a typed pointer (x64 has one calling convention).
std::int32_t CallEntry(EntryAddress entry, const char* command, const char* input, char* output,
                       std::int32_t length) noexcept {
#if defined(_WIN64)
  return reinterpret_cast<engine::EntryPoint>(entry)(command, input, output, length);
#else
  return static_cast<std::int32_t>(
      CallWindowProcA(reinterpret_cast<WNDPROC>(entry), reinterpret_cast<HWND>(const_cast<char*>(command)),
                      static_cast<UINT>(reinterpret_cast<UINT_PTR>(input)), reinterpret_cast<WPARAM>(output),
                      static_cast<LPARAM>(length)));
#endif
}

} // namespace qtv::platform
