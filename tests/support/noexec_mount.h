#pragma once
// A folder on a file system that lets no program run from it (tmpfs mounted noexec), as hardened
// machines mount their temporary folders. It is mounted in a mount namespace of the calling thread's own,
// so nothing outside the test sees it and nothing stays mounted if the test ends early. Linux, as root.
#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

namespace qtv::testing {

class NoexecMount {
public:
  explicit NoexecMount(std::filesystem::path folder) : folder_(std::move(folder)) {
    std::filesystem::create_directories(folder_);
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", folder_.c_str(), "tmpfs", MS_NOEXEC | MS_NOSUID | MS_NODEV, "mode=1777") != 0) {
      refused_ = std::strerror(errno);
    }
  }
  ~NoexecMount() {
    if (refused_.empty()) umount2(folder_.c_str(), MNT_DETACH);
  }
  NoexecMount(const NoexecMount&) = delete;
  NoexecMount& operator=(const NoexecMount&) = delete;

  const std::filesystem::path& path() const noexcept { return folder_; }
  // Why the mount could not be made; empty once it is made.
  const std::string& refused() const noexcept { return refused_; }

private:
  std::filesystem::path folder_;
  std::string refused_;
};

} // namespace qtv::testing
