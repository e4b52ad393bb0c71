#pragma once
#include <type_traits>
#include <utility>

namespace qtv::platform {

// Owns one handle of any kind (file, module, library, registry key, text) and closes it exactly once.
// `Invalid` is the kind's "no handle" value, or a captureless callable that returns it where the value is
// no constant (INVALID_HANDLE_VALUE); `Close` is a captureless callable that releases a valid handle.
template <typename Handle, auto Invalid, auto Close>
class UniqueHandle {
public:
  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  [[nodiscard]] Handle get() const noexcept { return handle_; }
  [[nodiscard]] bool valid() const noexcept { return handle_ != InvalidValue(); }
  explicit operator bool() const noexcept { return valid(); }

  [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, InvalidValue()); }
  void reset() noexcept { reset(InvalidValue()); }
  void reset(Handle handle) noexcept {
    Handle old = std::exchange(handle_, handle);
    if (old != InvalidValue()) Close(old);
  }

  static Handle InvalidValue() noexcept {
    if constexpr (std::is_invocable_v<decltype(Invalid)>) {
      return Invalid();
    } else {
      return Invalid;
    }
  }

private:
  Handle handle_ = InvalidValue();
};

} // namespace qtv::platform
