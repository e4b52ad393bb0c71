#include "platform/file_system.h"

#include <windows.h>

#include "platform/windows/own_module.h"

namespace qtv::platform {

std::optional<std::span<const std::byte>> ReadOwnResource(int type, int id) noexcept {
  constexpr WORD kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
  const HMODULE module = windows::OwnModule();
  HRSRC resource = FindResourceExA(module, MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(id), kUsEnglish);
  if (resource == nullptr) return std::nullopt;
  HGLOBAL loaded = LoadResource(module, resource);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::span<const std::byte>(static_cast<const std::byte*>(bytes), SizeofResource(module, resource));
}

} // namespace qtv::platform
