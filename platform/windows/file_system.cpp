#include "platform/file_system.h"

#include <windows.h>

#include <algorithm>

#include "platform/unique_handle.h"

namespace qtv::platform {
namespace {

inline constexpr auto kCloseFileHandle = [](HANDLE handle) noexcept { CloseHandle(handle); };
inline constexpr auto kInvalidFileHandle = [] { return INVALID_HANDLE_VALUE; };
using UniqueFileHandle = UniqueHandle<HANDLE, kInvalidFileHandle, kCloseFileHandle>;

// The module that holds this code: the control library, not the process that loaded it.
HMODULE OwnModule() noexcept {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&OwnModule), &module);
  return module;
}

} // namespace

std::uint32_t GetTempPathAnsi(std::uint32_t length, char* buffer) noexcept {
  return GetTempPathA(length, buffer);
}

void CreateOneFolder(const std::string& path) noexcept { CreateDirectoryA(path.c_str(), nullptr); }

bool IsOrdinaryFile(const std::string& path) noexcept {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  constexpr DWORD kNotOrdinary =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT;
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotOrdinary) == 0;
}

bool IsFolder(const std::string& path) noexcept {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool WriteNewFile(const std::string& path, std::span<const std::byte> bytes) noexcept {
  UniqueFileHandle file(
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::size_t written = 0;
  while (written < bytes.size()) {
    DWORD count = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 20));
    if (!WriteFile(file.get(), bytes.data() + written, chunk, &count, nullptr) || count == 0) break;
    written += count;
  }
  const bool complete = written == bytes.size() && FlushFileBuffers(file.get()) && CloseHandle(file.release());
  if (!complete) {
    file.reset();
    DeleteFileA(path.c_str());
  }
  return complete;
}

bool MoveIntoPlaceNoReplace(const std::string& from, const std::string& to) noexcept {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

void RemoveFile(const std::string& path) noexcept { DeleteFileA(path.c_str()); }

std::optional<std::int64_t> FileSize(const std::string& path) noexcept {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

// The temporary folder is the user's own profile folder on Windows.
bool IsPrivateToUser(const std::string&, const std::string&) noexcept { return true; }

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
