#include "platform/engine_files.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/unique_handle.h"

namespace qtv::platform {
namespace {

inline constexpr auto kCloseFileHandle = [](HANDLE handle) noexcept { CloseHandle(handle); };
inline constexpr auto kInvalidFileHandle = [] { return INVALID_HANDLE_VALUE; };
using FileHandle = UniqueHandle<HANDLE, kInvalidFileHandle, kCloseFileHandle>;

// Opens a file for reading while letting others only read it: as long as it is held, nobody can write,
// rename or delete it, and the loader (which asks for read access) still can open it.
FileHandle OpenHeld(const NativePath& path) noexcept {
  return FileHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

// True when the open file holds exactly `image`.
bool HoldsExactly(HANDLE file, std::span<const std::byte> image) noexcept {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || static_cast<std::uint64_t>(size.QuadPart) != image.size()) return false;
  std::array<std::byte, 65536> block;
  std::size_t offset = 0;
  while (offset < image.size()) {
    DWORD count = 0;
    const auto wanted = static_cast<DWORD>(std::min(block.size(), image.size() - offset));
    if (!ReadFile(file, block.data(), wanted, &count, nullptr) || count == 0) return false;
    if (std::memcmp(block.data(), image.data() + offset, count) != 0) return false;
    offset += count;
  }
  return true;
}

// A name in the folder that no other writer, thread or process, picks at the same time. It keeps the
// ".dll" ending, which the loader would otherwise add.
NativePath UniqueName(const NativePath& folder, const NativePath& fileName) {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  std::array<wchar_t, 17> digits{};
  std::swprintf(digits.data(), digits.size(), L"%016llx", static_cast<unsigned long long>(generator()));
  const std::size_t dot = fileName.rfind(L'.');
  return folder + fileName.substr(0, dot) + L"." + digits.data() + fileName.substr(dot);
}

// Writes `image` to a new file; false on any failure, with no file left behind.
bool WriteNew(const NativePath& path, std::span<const std::byte> image) noexcept {
  FileHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::size_t written = 0;
  while (written < image.size()) {
    DWORD count = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(image.size() - written, 1u << 20));
    if (!WriteFile(file.get(), image.data() + written, chunk, &count, nullptr) || count == 0) break;
    written += count;
  }
  const bool complete =
      written == image.size() && FlushFileBuffers(file.get()) && CloseHandle(file.release());
  if (!complete) {
    file.reset();
    DeleteFileW(path.c_str());
  }
  return complete;
}

// Loads `path` when it holds exactly `image`, holding it from the comparison until it is loaded.
// Returns 0 when it differs or cannot be loaded; `differs` says which.
LibraryHandle LoadWhenExact(const NativePath& path, std::span<const std::byte> image,
                            bool& differs) noexcept {
  const FileHandle held = OpenHeld(path);
  differs = !held || !HoldsExactly(held.get(), image);
  if (differs) return 0;
  return reinterpret_cast<LibraryHandle>(LoadLibraryW(path.c_str()));
}

// The engine from the temporary folder: the file there when it holds exactly the image, else the image
// written anew and moved over it, or a private copy where another process holds the file.
Deployment LoadFromFolder(const NativePath& folder, const NativePath& fileName,
                          std::span<const std::byte> image) {
  Deployment deployment;
  deployment.folderUsable = true;
  const NativePath path = folder + fileName;
  bool differs = false;
  // A second round covers another process replacing the file between this one's rename and load.
  for (int round = 0; round < 2; ++round) {
    deployment.library = LoadWhenExact(path, image, differs);
    if (!differs) return deployment;
    const NativePath unique = UniqueName(folder, fileName);
    if (!WriteNew(unique, image)) return deployment;
    if (MoveFileExW(unique.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      continue;
    // Another process holds the engine file: this process loads its own copy instead.
    deployment.library = LoadWhenExact(unique, image, differs);
    deployment.privateCopy = deployment.library != 0;
    if (!deployment.privateCopy) DeleteFileW(unique.c_str());
    return deployment;
  }
  return deployment;
}

// The full name of the file this code was loaded from: the control library, not the program using it.
NativePath OwnLibraryFile() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&OwnLibraryFile), &module)) {
    return {};
  }
  // The longest name the system has is 32767 characters; a name that fills the buffer may be cut short.
  for (NativePath name(MAX_PATH, L'\0'); name.size() <= 32768; name.resize(name.size() * 2)) {
    const DWORD length = GetModuleFileNameW(module, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) return name.substr(0, length);
  }
  return {};
}

// The engine installed beside the control library, used only when it is byte for byte the carried one:
// anything else found there (another version, a damaged file, a stranger's library) is left unloaded.
LibraryHandle LoadBesideOwnLibrary(const NativePath& fileName, std::span<const std::byte> image) {
  const NativePath own = OwnLibraryFile();
  const std::size_t separator = own.rfind(kNativeSeparator);
  if (separator == NativePath::npos) return 0;
  bool differs = false;
  return LoadWhenExact(own.substr(0, separator + 1) + fileName, image, differs);
}

} // namespace

NativePath ToNativePath(std::u16string_view text) { return NativePath(text.begin(), text.end()); }
std::u16string FromNativePath(const NativePath& path) { return std::u16string(path.begin(), path.end()); }

std::uint32_t GetTempPathNative(std::uint32_t length, PathChar* buffer) noexcept {
  return GetTempPathW(length, buffer);
}

void CreateOneFolder(const NativePath& path) noexcept { CreateDirectoryW(path.c_str(), nullptr); }

bool IsFolder(const NativePath& path) noexcept {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The temporary folder is the user's own profile folder on Windows.
NativePath EngineFolderName() { return L"QTVSoftware"; }

Deployment DeployAndLoad(const NativePath& folder, const NativePath& fileName,
                         std::span<const std::byte> image) noexcept {
  try {
    if (!IsFolder(folder)) return {};
    Deployment deployment = LoadFromFolder(folder, fileName, image);
    // Policies (AppLocker, software restriction, endpoint protection) forbid loading programs from the
    // temporary folder on locked-down machines; the engine installed with the control serves instead.
    if (deployment.library == 0) deployment.library = LoadBesideOwnLibrary(fileName, image);
    return deployment;
  } catch (...) {
    return {};
  }
}

void ReleaseDeployed(LibraryHandle library, bool privateCopy) noexcept {
  if (library == 0) return;
  // The copy's name is the module's own: the host keeps no text per thread, since a thread's texts would
  // be destroyed as the control library unloads, which the MinGW runtime does not survive.
  std::array<wchar_t, 1024> copy{};
  const auto module = reinterpret_cast<HMODULE>(library);
  const DWORD length =
      privateCopy ? GetModuleFileNameW(module, copy.data(), static_cast<DWORD>(copy.size())) : 0;
  FreeLibrary(module);
  // Fails harmlessly while another load of the copy lives on.
  if (length != 0 && length < copy.size()) DeleteFileW(copy.data());
}

} // namespace qtv::platform
