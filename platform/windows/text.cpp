#include "platform/text.h"

#include <windows.h>

#include <new>

namespace qtv::platform {

std::string ToAnsi(std::u16string_view text) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int units = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, units, nullptr, 0, nullptr, nullptr);
  if (size <= 0) throw std::bad_alloc();
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(size) + 1);
  bytes.resize(static_cast<std::size_t>(size));
  WideCharToMultiByte(CP_ACP, 0, wide, units, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

void FromAnsi(std::string_view bytes, std::u16string& text) {
  if (bytes.empty()) {
    text.clear();
    return;
  }
  const int count = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, nullptr, 0);
  if (size <= 0) throw std::bad_alloc();
  text.resize(static_cast<std::size_t>(size));
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, reinterpret_cast<wchar_t*>(text.data()), size);
}

} // namespace qtv::platform
