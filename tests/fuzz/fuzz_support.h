#pragma once
// What the fuzz targets share: the ten command words and the checksum behind each, the checksum texts
// that OpenSSL's libcrypto and zlib give for the same bytes, a failed check that libFuzzer records
// as a crash together with the input that led to it.
#include <openssl/evp.h>
#include <zlib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

namespace qtv::fuzz {

enum class Algorithm { kMD5, kSHA1, kSHA256, kCRC32, kAdler32 };

struct Word {
  std::string_view text;
  Algorithm algorithm;
  bool file;
};
inline constexpr Word kWords[] = {
    {"md5string", Algorithm::kMD5, false},         {"sha1string", Algorithm::kSHA1, false},
    {"sha256string", Algorithm::kSHA256, false},   {"crc32string", Algorithm::kCRC32, false},
    {"adler32string", Algorithm::kAdler32, false}, {"md5file", Algorithm::kMD5, true},
    {"sha1file", Algorithm::kSHA1, true},          {"sha256file", Algorithm::kSHA256, true},
    {"crc32file", Algorithm::kCRC32, true},        {"adler32file", Algorithm::kAdler32, true},
};

// The word whose text is exactly `text`, or none.
inline const Word* FindWord(std::string_view text) {
  for (const Word& word : kWords) {
    if (word.text == text) return &word;
  }
  return nullptr;
}

// Hexadecimal digits of each algorithm's checksum text.
inline constexpr std::size_t TextLength(Algorithm algorithm) {
  switch (algorithm) {
  case Algorithm::kMD5:
    return 32;
  case Algorithm::kSHA1:
    return 40;
  case Algorithm::kSHA256:
    return 64;
  default:
    return 8;
  }
}

[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "check failed: %s\n", what);
  std::abort();
}
inline void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

inline std::string Hex(std::span<const std::uint8_t> bytes) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0f];
  }
  return text;
}
inline std::string Hex32(std::uint32_t value) {
  const std::array<std::uint8_t, 4> bytes = {
      static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
      static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
  return Hex(bytes);
}

inline const EVP_MD* ReferenceDigest(Algorithm algorithm) {
  switch (algorithm) {
  case Algorithm::kMD5:
    return EVP_md5();
  case Algorithm::kSHA1:
    return EVP_sha1();
  case Algorithm::kSHA256:
    return EVP_sha256();
  default:
    return nullptr;
  }
}

// The checksum text of `bytes`, in one piece, by libcrypto (digests) or zlib (running checksums).
inline std::string Reference(Algorithm algorithm, std::span<const std::uint8_t> bytes) {
  static constexpr std::uint8_t kNothing = 0;
  const std::uint8_t* data = bytes.empty() ? &kNothing : bytes.data();
  const auto count = static_cast<uInt>(bytes.size());
  switch (algorithm) {
  case Algorithm::kCRC32:
    return Hex32(static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0), data, count)));
  case Algorithm::kAdler32:
    return Hex32(static_cast<std::uint32_t>(adler32(adler32(0L, Z_NULL, 0), data, count)));
  default:
    break;
  }
  std::array<std::uint8_t, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  Check(EVP_Digest(data, bytes.size(), digest.data(), &size, ReferenceDigest(algorithm), nullptr) == 1,
        "libcrypto digest");
  return Hex(std::span(digest.data(), size));
}

} // namespace qtv::fuzz
