#pragma once
// The module that holds the calling code, and a module's file name, for the services that look at the
// control library's own resources and files.
#include <windows.h>

#include <string>

namespace qtv::platform::windows {

// The module that holds this code: the control library, not the process that loaded it.
inline HMODULE OwnModule() noexcept {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OwnModule), &module);
  return module;
}

// The full name of a loaded module's file, however long; empty when the system cannot say.
inline std::wstring ModuleFileName(HMODULE module) {
  // The longest name the system has is 32767 characters; a name that fills the buffer may be cut short.
  for (std::wstring name(MAX_PATH, L'\0'); name.size() <= 32768; name.resize(name.size() * 2)) {
    const DWORD length = GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) return name.substr(0, length);
  }
  return {};
}

} // namespace qtv::platform::windows
