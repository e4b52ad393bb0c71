#include "platform/file_system.h"

// The engine image, placed into the control library at build time. Weak, so that a program without an
// image links and finds no resource.
extern "C" {
extern const unsigned char qtv_engine_image_begin[] __attribute__((weak));
extern const unsigned char qtv_engine_image_end[] __attribute__((weak));
}

namespace qtv::platform {

std::optional<std::span<const std::byte>> ReadOwnResource(int type, int id) noexcept {
  constexpr int kRcData = 10;
  if (type != kRcData || id != 1 || qtv_engine_image_begin == nullptr || qtv_engine_image_end == nullptr) {
    return std::nullopt;
  }
  return std::span<const std::byte>(reinterpret_cast<const std::byte*>(qtv_engine_image_begin),
                                    reinterpret_cast<const std::byte*>(qtv_engine_image_end));
}

} // namespace qtv::platform
