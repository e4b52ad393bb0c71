#include "platform/engine_files.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/unique_handle.h"
#include "platform/windows/own_module.h"
#include "platform/windows/path_forms.h"

namespace qtv::platform {
namespace {

inline constexpr auto kCloseFileHandle = [](HANDLE handle) noexcept { CloseHandle(handle); };
inline constexpr auto kInvalidFileHandle = [] { return INVALID_HANDLE_VALUE; };
using FileHandle = UniqueHandle<HANDLE, kInvalidFileHandle, kCloseFileHandle>;

// Opens a file for reading while letting others only read it: as long as it is held, nobody can write,
// rename or delete it, and the loader (which asks for read access) still can open it.
FileHandle OpenHeld(const NativePath& path) {
  return FileHandle(CreateFileW(windows::ExtendedWhenLong(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
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

// True when `name` is one UniqueName gives for `fileName`: its sixteen hexadecimal digits in the middle.
bool IsUniqueName(std::wstring_view name, const NativePath& fileName) {
  const std::size_t dot = fileName.rfind(L'.');
  const std::wstring_view stem = std::wstring_view(fileName).substr(0, dot + 1);
  const std::wstring_view ending = std::wstring_view(fileName).substr(dot);
  if (name.size() != stem.size() + 16 + ending.size() || !name.starts_with(stem) || !name.ends_with(ending))
    return false;
  const std::wstring_view digits = name.substr(stem.size(), 16);
  return digits.find_first_not_of(L"0123456789abcdef") == std::wstring_view::npos;
}

// Removes the files under unique names that earlier deployments left: the copies of programs that ended
// without releasing them (killed, or quitting with a control alive) and the writes of programs killed
// in between. A file is taken only when nothing has it open or loaded, which the system checks as it
// grants an open that shares nothing: a copy still loaded, and a file being written, stay.
void RemoveLeftCopies(const NativePath& folder, const NativePath& fileName) noexcept {
  try {
    const std::size_t dot = fileName.rfind(L'.');
    const NativePath pattern = folder + fileName.substr(0, dot) + L".*" + fileName.substr(dot);
    WIN32_FIND_DATAW found{};
    constexpr auto kFindClose = [](HANDLE handle) noexcept { FindClose(handle); };
    const UniqueHandle<HANDLE, kInvalidFileHandle, kFindClose> listing(
        FindFirstFileW(windows::ExtendedWhenLong(pattern).c_str(), &found));
    if (!listing) return;
    do {
      if (!IsUniqueName(found.cFileName, fileName)) continue;
      const FileHandle left(CreateFileW(windows::ExtendedWhenLong(folder + found.cFileName).c_str(), DELETE,
                                        0, nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    } while (FindNextFileW(listing.get(), &found));
  } catch (...) {
  }
}

// Writes `image` to a new file and returns a handle that keeps RemoveLeftCopies off it until it is
// renamed or loaded; an invalid handle on any failure, with no file left behind.
FileHandle WriteNew(const NativePath& path, std::span<const std::byte> image) {
  const NativePath systemPath = windows::ExtendedWhenLong(path);
  FileHandle file(CreateFileW(systemPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  std::size_t written = 0;
  while (written < image.size()) {
    DWORD count = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(image.size() - written, 1u << 20));
    if (!WriteFile(file.get(), image.data() + written, chunk, &count, nullptr) || count == 0) break;
    written += count;
  }
  // The guard reads and shares everything: renaming, comparing and loading go on as without it, and only
  // an open that shares nothing, as RemoveLeftCopies makes, is refused.
  FileHandle guard(CreateFileW(systemPath.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  const bool complete =
      written == image.size() && guard && FlushFileBuffers(file.get()) && CloseHandle(file.release());
  if (!complete) {
    guard.reset();
    file.reset();
    DeleteFileW(systemPath.c_str());
  }
  return guard;
}

// Loads the library at `path`, through its short form where the path is too long for the loader.
HMODULE LoadByName(const NativePath& path) noexcept {
  try {
    std::optional<NativePath> shortForm;
    if (!windows::FitsPlainFunctions(path)) shortForm = windows::ShortForm(path);
    return LoadLibraryW(shortForm.value_or(path).c_str());
  } catch (...) {
    return nullptr;
  }
}

// Loads `path` when it holds exactly `image`, holding it from the comparison until it is loaded.
// Returns 0 when it differs or cannot be loaded; `differs` says which.
LibraryHandle LoadWhenExact(const NativePath& path, std::span<const std::byte> image, bool& differs) {
  const FileHandle held = OpenHeld(path);
  differs = !held || !HoldsExactly(held.get(), image);
  if (differs) return 0;
  return reinterpret_cast<LibraryHandle>(LoadByName(path));
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
    RemoveLeftCopies(folder, fileName);
    const NativePath unique = UniqueName(folder, fileName);
    const FileHandle written = WriteNew(unique, image);
    if (!written) return deployment;
    if (MoveFileExW(windows::ExtendedWhenLong(unique).c_str(), windows::ExtendedWhenLong(path).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      continue;
    // Another process holds the engine file: this process loads its own copy instead.
    deployment.library = LoadWhenExact(unique, image, differs);
    deployment.privateCopy = deployment.library != 0;
    if (!deployment.privateCopy) DeleteFileW(windows::ExtendedWhenLong(unique).c_str());
    return deployment;
  }
  return deployment;
}

// The engine installed beside the control library, used only when it is byte for byte the carried one:
// anything else found there (another version, a damaged file, a stranger's library) is left unloaded.
LibraryHandle LoadBesideOwnLibrary(const NativePath& fileName, std::span<const std::byte> image) {
  const NativePath own = windows::ModuleFileName(windows::OwnModule());
  const std::size_t separator = own.rfind(kNativeSeparator);
  if (separator == NativePath::npos) return 0;
  bool differs = false;
  return LoadWhenExact(own.substr(0, separator + 1) + fileName, image, differs);
}

} // namespace

NativePath ToNativePath(std::u16string_view text) { return NativePath(text.begin(), text.end()); }
std::u16string FromNativePath(const NativePath& path) { return std::u16string(path.begin(), path.end()); }

// The folder is found as GetTempPathW is documented to find it (the first of TMP, TEMP and USERPROFILE
// that is set, else the Windows folder, made full), but not through it: Wine's GetTempPathW makes the
// name full in place, which garbles a device name (NUL became \\.\\\.\), and refuses folders
// longer than MAX_PATH. A folder too long for `length` is given in its short form when that fits.
std::uint32_t GetTempPathNative(std::uint32_t length, PathChar* buffer) noexcept {
  try {
    NativePath named;
    for (const wchar_t* variable : {L"TMP", L"TEMP", L"USERPROFILE"}) {
      named.resize(GetEnvironmentVariableW(variable, nullptr, 0));
      if (named.empty()) continue;
      named.resize(GetEnvironmentVariableW(variable, named.data(), static_cast<DWORD>(named.size())));
      if (!named.empty()) break;
    }
    if (named.empty()) {
      named.resize(GetWindowsDirectoryW(nullptr, 0));
      named.resize(GetWindowsDirectoryW(named.data(), static_cast<UINT>(named.size())));
    }
    NativePath folder = named.empty() ? NativePath() : windows::FullForm(named);
    if (folder.empty()) return 0;
    if (folder.back() != kNativeSeparator) folder += kNativeSeparator;
    if (folder.size() >= length) {
      const std::optional<NativePath> shortForm = windows::ShortForm(folder);
      if (shortForm && shortForm->size() < length) folder = *shortForm;
    }
    if (folder.size() >= length) return static_cast<std::uint32_t>(folder.size() + 1);
    std::copy(folder.begin(), folder.end(), buffer);
    buffer[folder.size()] = L'\0';
    return static_cast<std::uint32_t>(folder.size());
  } catch (...) {
    return 0;
  }
}

void CreateOneFolder(const NativePath& path) noexcept {
  try {
    CreateDirectoryW(windows::ExtendedWhenLong(path).c_str(), nullptr);
  } catch (...) {
  }
}

bool IsFolder(const NativePath& path) noexcept {
  try {
    const DWORD attributes = GetFileAttributesW(windows::ExtendedWhenLong(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  } catch (...) {
    return false;
  }
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
  const auto module = reinterpret_cast<HMODULE>(library);
  std::wstring copy;
  try {
    if (privateCopy) copy = windows::ExtendedWhenLong(windows::ModuleFileName(module));
  } catch (...) {
    // Without its name the copy stays; the next deployment that writes removes it.
  }
  FreeLibrary(module);
  // Fails harmlessly while another load of the copy lives on.
  if (!copy.empty()) DeleteFileW(copy.c_str());
}

} // namespace qtv::platform
