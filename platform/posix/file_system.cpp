#include "platform/file_system.h"

#include <sys/stat.h>

// The engine image, placed into the control library at build time. Weak, so that a program without an
// image links and finds no resource.
extern "C" {
extern const unsigned char qtv_engine_image_begin[] __attribute__((weak));
extern const unsigned char qtv_engine_image_end[] __attribute__((weak));
}

namespace qtv::platform {

std::optional<std::int64_t> FileSize(const std::string& path) noexcept {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0 || S_ISDIR(status.st_mode)) return std::nullopt;
  return static_cast<std::int64_t>(status.st_size);
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
