#include "platform/input_file.h"

#include <windows.h>

#include "platform/text.h"
#include "platform/windows/disk_files.h"
#include "platform/windows/path_forms.h"

namespace qtv::platform {
namespace {

// The system's names end at the first NUL: a name with one inside would name another file.
std::optional<std::wstring> SystemName(std::u16string_view name) {
  if (name.empty() || name.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  return std::wstring(name.begin(), name.end());
}

} // namespace

std::optional<std::int64_t> RegularFileSize(std::u16string_view name) noexcept {
  try {
    const std::optional<std::wstring> wide = SystemName(name);
    if (!wide || windows::IsDeviceName(wide->c_str())) return std::nullopt;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(windows::ExtendedWhenLong(*wide).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
      return std::nullopt;
    }
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                     data.nFileSizeLow);
  } catch (...) {
    return std::nullopt;
  }
}

UniqueFile OpenRegularFile(std::u16string_view name) noexcept {
  try {
    const std::optional<std::wstring> wide = SystemName(name);
    if (!wide || windows::IsDeviceName(wide->c_str())) return {};
    return windows::KeepDiskFile(UniqueFile(_wfopen(windows::ExtendedWhenLong(*wide).c_str(), L"rb")));
  } catch (...) {
    return {};
  }
}

std::optional<std::u16string> NameInAnsiForm(std::u16string_view name) {
  return NameInAnsiForm(name, GetACP());
}

std::optional<std::u16string> NameInAnsiForm(std::u16string_view name, unsigned codePage) {
  const std::optional<std::wstring> wide = SystemName(name);
  if (!wide) return std::nullopt;
  if (windows::FitsPlainFunctions(*wide) && ToAnsiExactly(name, codePage)) return std::u16string(name);
  // The short name of every part of the path that has one: plain ASCII where the file system makes
  // short names, and short enough for the ANSI functions. It names the same file, so it is used only
  // when it converts exactly as well.
  const std::optional<std::wstring> shortName = windows::ShortForm(*wide);
  if (!shortName) return std::nullopt;
  std::u16string result(shortName->begin(), shortName->end());
  if (!ToAnsiExactly(result, codePage)) return std::nullopt;
  return result;
}

} // namespace qtv::platform
