#include "platform/text.h"

#include <windows.h>

#include <new>

namespace qtv::platform {

std::string ToAnsi(std::u16string_view text) { return ToAnsi(text, GetACP()); }

std::string ToAnsi(std::u16string_view text, unsigned codePage) {
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int units = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(codePage, 0, wide, units, nullptr, 0, nullptr, nullptr);
  if (size <= 0) throw std::bad_alloc();
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(size) + 1);
  bytes.resize(static_cast<std::size_t>(size));
  WideCharToMultiByte(codePage, 0, wide, units, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

std::optional<std::string> ToAnsiExactly(std::u16string_view text) { return ToAnsiExactly(text, GetACP()); }

std::optional<std::string> ToAnsiExactly(std::u16string_view text, unsigned codePage) {
  if (text.empty()) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int units = static_cast<int>(text.size());
  // UTF-8 has no best fit and no default character: Windows refuses the best-fit flag and a report of
  // the default character there (ERROR_INVALID_FLAGS, ERROR_INVALID_PARAMETER), and it is asked to fail
  // on what it cannot encode, the unpaired surrogates, instead of writing U+FFFD. Wine 8 takes either
  // form, so its tests cannot tell them apart.
  const bool utf8 = codePage == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* const defaultReport = utf8 ? nullptr : &usedDefault;
  const int size = WideCharToMultiByte(codePage, flags, wide, units, nullptr, 0, nullptr, defaultReport);
  if (size <= 0 || usedDefault) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(codePage, flags, wide, units, bytes.data(), size, nullptr, defaultReport) != size ||
      usedDefault) {
    return std::nullopt;
  }
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
