#include "platform/engine_files.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/posix/descriptors.h"
#include "platform/posix/engine_in_memory.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

namespace qtv::platform {
namespace {

using posix::Descriptor;
using posix::WriteWhole;

// The user's own, and nobody else may change it.
bool OwnedAndClosed(const struct stat& status) noexcept {
  return status.st_uid == geteuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Opens `path` as a folder, never through a link, and keeps it only when what is open is the user's
// own: from then on every name is looked up in exactly that folder, whatever happens to `path`. The
// user's own folder left open to others is closed again through the open descriptor, so it is the
// folder that was checked that gets closed; what others put in it meanwhile is not trusted, since every
// file in it is checked before it is loaded.
Descriptor OpenOwnFolder(const std::string& path) noexcept {
  Descriptor folder(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status {};
  if (folder &&
      (fstat(folder.get(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != geteuid() ||
       (!OwnedAndClosed(status) && fchmod(folder.get(), 0700) != 0))) {
    folder.reset();
  }
  return folder;
}

// True when the open file holds exactly `image`. It is read, not mapped: a file cut short under a
// mapping would end the process.
bool HoldsExactly(int file, std::span<const std::byte> image) noexcept {
  struct stat status {};
  if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode) || !OwnedAndClosed(status) ||
      static_cast<std::uint64_t>(status.st_size) != image.size()) {
    return false;
  }
  std::array<std::byte, 65536> block;
  std::size_t offset = 0;
  while (offset < image.size()) {
    const ssize_t count =
        pread(file, block.data(), std::min(block.size(), image.size() - offset), static_cast<off_t>(offset));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    if (std::memcmp(block.data(), image.data() + offset, static_cast<std::size_t>(count)) != 0) return false;
    offset += static_cast<std::size_t>(count);
  }
  return true;
}

// A name in the folder that no other writer, thread or process, picks at the same time.
std::string UniqueName(const std::string& fileName) {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  std::array<char, 17> digits{};
  std::snprintf(digits.data(), digits.size(), "%016llx", static_cast<unsigned long long>(generator()));
  return "." + fileName + "." + digits.data() + ".tmp";
}

// Writes `image` to a new file `name` in `folder` and returns it open, or an invalid descriptor with no
// file left behind.
Descriptor WriteNew(int folder, const std::string& name, std::span<const std::byte> image) noexcept {
  Descriptor file(openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!file) return file;
  if (!WriteWhole(file.get(), image) || fsync(file.get()) != 0) {
    unlinkat(folder, name.c_str(), 0);
    file.reset();
  }
  return file;
}

// Writes `image` to a new file in `folder` that has no name, so that a process killed while it writes
// leaves nothing behind, and returns it open; an invalid descriptor where the file system has no such
// files or the write fails.
Descriptor WriteUnnamed(int folder, std::span<const std::byte> image) noexcept {
  Descriptor file(openat(folder, ".", O_RDWR | O_TMPFILE | O_CLOEXEC, 0600));
  if (file && (!WriteWhole(file.get(), image) || fsync(file.get()) != 0)) file.reset();
  return file;
}

// Gives the open file the name `fileName` in place of what had it. A link cannot replace a name, so the
// old one goes first: a process killed in between leaves no engine file, which the next load writes,
// and another process naming its own engine in between keeps the name with a file as good as this one.
void NameUnnamed(int folder, int file, const std::string& fileName) {
  unlinkat(folder, fileName.c_str(), 0);
  const std::string path = "/proc/self/fd/" + std::to_string(file);
  linkat(AT_FDCWD, path.c_str(), folder, fileName.c_str(), AT_SYMLINK_FOLLOW);
}

// Loads the very file that `file` holds open: the loader reopens it through the descriptor's own entry,
// which names that file whatever has become of its name since.
LibraryHandle LoadOpenFile(int file) noexcept {
  const std::string path = "/proc/self/fd/" + std::to_string(file);
  return reinterpret_cast<LibraryHandle>(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
}

// The engine from `folder`: the file there when it holds exactly the image, else the image written anew
// and named in its place. Either way what is loaded is the file held open, whatever has the name since.
LibraryHandle LoadFromFolder(int folder, const std::string& fileName, std::span<const std::byte> image) {
  const Descriptor present(openat(folder, fileName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (present && HoldsExactly(present.get(), image)) return LoadOpenFile(present.get());

  if (const Descriptor unnamed = WriteUnnamed(folder, image)) {
    NameUnnamed(folder, unnamed.get(), fileName);
    return LoadOpenFile(unnamed.get());
  }
  // A file system without unnamed files: the file is written under a name of its own and renamed.
  const std::string unique = UniqueName(fileName);
  const Descriptor written = WriteNew(folder, unique, image);
  if (!written) return 0;
  // Renaming replaces whatever had the name in one step; if even that fails, the written file is still
  // the engine, and is loaded under its own name and removed.
  const bool replaced = renameat(folder, unique.c_str(), folder, fileName.c_str()) == 0;
  const LibraryHandle library = LoadOpenFile(written.get());
  if (!replaced) unlinkat(folder, unique.c_str(), 0);
  return library;
}

} // namespace

NativePath ToNativePath(std::u16string_view text) { return ToAnsi(text); }
std::u16string FromNativePath(const NativePath& path) { return FromAnsi(path); }

std::uint32_t GetTempPathNative(std::uint32_t length, PathChar* buffer) noexcept {
  // A relative TMPDIR would move with the working folder, and the engine with it, into whatever folder
  // the program stands in; the system's own temporary folder serves instead.
  const char* folder = std::getenv("TMPDIR");
  if (folder == nullptr || *folder != '/') folder = "/tmp";
  const std::size_t size = std::strlen(folder);
  if (size + 1 > length) return static_cast<std::uint32_t>(size + 1);
  std::memcpy(buffer, folder, size + 1);
  return static_cast<std::uint32_t>(size);
}

void CreateOneFolder(const NativePath& path) noexcept { mkdir(path.c_str(), 0700); }

bool IsFolder(const NativePath& path) noexcept {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

NativePath EngineFolderName() { return "QTVSoftware-" + std::to_string(geteuid()); }

Deployment DeployAndLoad(const NativePath& folder, const NativePath& fileName,
                         std::span<const std::byte> image) noexcept {
  try {
    // The folder without its trailing separator, so that O_NOFOLLOW sees a link in its place.
    std::string name = folder;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    Descriptor place = OpenOwnFolder(name);
    // Someone else holds the folder's name (or it is no folder, or open to others): a fresh folder
    // of the user's own serves for this load and goes again once the engine is loaded.
    std::string fresh;
    for (int attempt = 0; !place && attempt < 5; ++attempt) {
      fresh = name + "-XXXXXX";
      if (mkdtemp(fresh.data()) == nullptr) return {};
      place = OpenOwnFolder(fresh);
    }
    if (!place) return {};
    Deployment deployment;
    deployment.folderUsable = true;
    deployment.library = LoadFromFolder(place.get(), fileName, image);
    // A folder that runs no programs can load no engine at all: the carried one comes from memory.
    if (deployment.library == 0 && posix::RunsNoPrograms(place.get())) {
      deployment.library = posix::LoadFromMemory(fileName, image);
    }
    if (!fresh.empty()) {
      unlinkat(place.get(), fileName.c_str(), 0);
      rmdir(fresh.c_str());
    }
    return deployment;
  } catch (...) {
    return {};
  }
}

void ReleaseDeployed(LibraryHandle library, bool) noexcept {
  if (library != 0) dlclose(reinterpret_cast<void*>(library));
}

} // namespace qtv::platform
