#include "platform/windows/path_forms.h"

#include <windows.h>

#include <string_view>

namespace qtv::platform::windows {
namespace {

constexpr std::wstring_view kExtended = L"\\\\?\\";
constexpr std::wstring_view kExtendedShare = L"\\\\?\\UNC\\";
constexpr std::wstring_view kDevice = L"\\\\.\\";
constexpr std::wstring_view kShare = L"\\\\";
// CreateDirectoryW leaves room for an 8.3 name below the new folder.
constexpr std::size_t kPlainFolderLimit = MAX_PATH - 12;

} // namespace

std::wstring FullForm(const std::wstring& path) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  size = size == 0 ? 0 : GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (size == 0 || size >= full.size()) return {};
  full.resize(size);
  return full;
}

bool FitsPlainFunctions(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  return size != 0 && size <= MAX_PATH;
}

std::wstring ExtendedWhenLong(const std::wstring& path) {
  std::wstring full = FullForm(path);
  if (full.size() < kPlainFolderLimit || full.starts_with(kExtended) || full.starts_with(kDevice))
    return path;
  if (full.starts_with(kShare)) return std::wstring(kExtendedShare) + full.substr(kShare.size());
  return std::wstring(kExtended) + full;
}

std::optional<std::wstring> ShortForm(const std::wstring& path) {
  const std::wstring extended = ExtendedWhenLong(path);
  DWORD size = GetShortPathNameW(extended.c_str(), nullptr, 0);
  std::wstring shortForm(size, L'\0');
  size = size == 0 ? 0 : GetShortPathNameW(extended.c_str(), shortForm.data(), size);
  if (size == 0 || size >= shortForm.size()) return std::nullopt;
  shortForm.resize(size);
  // The prefix added for the query comes off again: a short form that fits needs none.
  if (extended != path) {
    if (shortForm.starts_with(kExtendedShare)) {
      shortForm = std::wstring(kShare) + shortForm.substr(kExtendedShare.size());
    } else if (shortForm.starts_with(kExtended)) {
      shortForm.erase(0, kExtended.size());
    }
  }
  if (!FitsPlainFunctions(shortForm)) return std::nullopt;
  return shortForm;
}

} // namespace qtv::platform::windows
