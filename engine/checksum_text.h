#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qtv::engine {

// The longest checksum text, SHA-256's 64 digits, and its NUL.
inline constexpr std::size_t kLongestChecksumText = 65;

// Lowercase hexadecimal digits, two per byte in order ("%02x" each), and one NUL.
class ChecksumText {
public:
  ChecksumText(const std::uint8_t* bytes, std::size_t count) noexcept {
    constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < count; ++i) {
      text_[2 * i] = kDigits[bytes[i] >> 4];
      text_[2 * i + 1] = kDigits[bytes[i] & 0x0f];
    }
    size_ = 2 * count;
    text_[size_] = '\0';
  }

  // A 32-bit running checksum as one number, most significant digit first, 8 digits ("%0.8x").
  explicit ChecksumText(std::uint32_t value) noexcept
      : ChecksumText(std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(value >> 24),
                                                 static_cast<std::uint8_t>(value >> 16),
                                                 static_cast<std::uint8_t>(value >> 8),
                                                 static_cast<std::uint8_t>(value)}
                         .data(),
                     4) {}

  // Copies the digits and their NUL to the start of `output`; nothing behind the NUL is touched.
  void CopyTo(char* output) const noexcept { std::memcpy(output, text_.data(), size_ + 1); }

private:
  std::array<char, kLongestChecksumText> text_{};
  std::size_t size_ = 0;
};

} // namespace qtv::engine
