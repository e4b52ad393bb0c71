#include "platform/file_system.h"

#include <windows.h>

namespace qtv::platform {
namespace {

// The module that holds this code: the control library, not the process that loaded it.
HMODULE OwnModule() noexcept {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&OwnModule), &module);
  return module;
}

} // namespace

std::optional<std::span<const std::byte>> ReadOwnResource(int type, int id) noexcept {
  constexpr WORD kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
  const HMODULE module = OwnModule();
  HRSRC resource = FindResourceExA(module, MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(id), kUsEnglish);
  if (resource == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::span<const std::byte>(static_cast<const std::byte*>(bytes), SizeofResource(module, resource));
}

} // namespace qtv::platform
