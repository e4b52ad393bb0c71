#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/unique_handle.h"

// The engine image, placed into the control library at build time. Weak, so that a program without an
// image links and finds no resource.
extern "C" {
extern const unsigned char qtv_engine_image_begin[] __attribute__((weak));
extern const unsigned char qtv_engine_image_end[] __attribute__((weak));
}

namespace qtv::platform {
namespace {

inline constexpr auto kCloseDescriptor = [](int descriptor) noexcept { close(descriptor); };
using UniqueDescriptor = UniqueHandle<int, -1, kCloseDescriptor>;

bool Lstat(const std::string& path, struct stat& status) noexcept { return lstat(path.c_str(), &status) == 0; }

} // namespace

std::uint32_t GetTempPathAnsi(std::uint32_t length, char* buffer) noexcept {
  const char* folder = std::getenv("TMPDIR");
  if (folder == nullptr || *folder == '\0') folder = "/tmp";
  const std::size_t size = std::strlen(folder);
  if (size + 1 > length) return static_cast<std::uint32_t>(size + 1);
  std::memcpy(buffer, folder, size + 1);
  return static_cast<std::uint32_t>(size);
}

void CreateOneFolder(const std::string& path) noexcept { mkdir(path.c_str(), 0700); }

bool IsOrdinaryFile(const std::string& path) noexcept {
  struct stat status {};
  return Lstat(path, status) && S_ISREG(status.st_mode);
}

bool IsFolder(const std::string& path) noexcept {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool WriteNewFile(const std::string& path, std::span<const std::byte> bytes) noexcept {
  UniqueDescriptor file(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!file) return false;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = write(file.get(), bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    written += static_cast<std::size_t>(count);
  }
  const bool complete = written == bytes.size() && fsync(file.get()) == 0 && close(file.release()) == 0;
  if (!complete) unlink(path.c_str());
  return complete;
}

bool MoveIntoPlaceNoReplace(const std::string& from, const std::string& to) noexcept {
  // A hard link is created only where no name exists yet, in one step.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  unlink(from.c_str());
  return true;
}

void RemoveFile(const std::string& path) noexcept { unlink(path.c_str()); }

std::optional<std::int64_t> FileSize(const std::string& path) noexcept {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return std::nullopt;
  return static_cast<std::int64_t>(status.st_size);
}

bool IsPrivateToUser(const std::string& folder, const std::string& file) noexcept {
  const uid_t user = geteuid();
  const auto ownedAndClosed = [user](const struct stat& status) {
    return status.st_uid == user && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
  };
  // A trailing separator would make lstat follow a link that stands in the folder's place.
  std::string folderName = folder;
  while (folderName.size() > 1 && folderName.back() == '/') folderName.pop_back();
  struct stat folderStatus {};
  struct stat fileStatus {};
  return Lstat(folderName, folderStatus) && S_ISDIR(folderStatus.st_mode) && ownedAndClosed(folderStatus) &&
         Lstat(file, fileStatus) && S_ISREG(fileStatus.st_mode) && ownedAndClosed(fileStatus);
}

std::optional<std::span<const std::byte>> ReadOwnResource(int type, int id) noexcept {
  constexpr int kRcData = 10;
  if (type != kRcData || id != 1 || qtv_engine_image_begin == nullptr || qtv_engine_image_end == nullptr) {
    return std::nullopt;
  }
  return std::span<const std::byte>(reinterpret_cast<const std::byte*>(qtv_engine_image_begin),
                                    reinterpret_cast<const std::byte*>(qtv_engine_image_end));
}

} // namespace qtv::platform
