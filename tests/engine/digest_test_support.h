#pragma once
// What the digest tests share: one description per algorithm, so that every case runs for all three, and
// small helpers that feed a message and show a digest as text.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/digests/md5.h"
#include "engine/digests/sha1.h"
#include "engine/digests/sha256.h"

namespace qtv::engine::testing {

struct MD5 {
  using Context = MD5Context;
  static constexpr const char* kName = "MD5";
  static constexpr std::size_t kDigestSize = kMD5DigestSize;
  static constexpr bool kLittleEndian = true;
  static void Init(Context& context) { MD5Init(context); }
  static void Update(Context& context, const void* input, std::uint32_t length) {
    MD5Update(context, input, length);
  }
  static void Final(Context& context, std::uint8_t* digest) { MD5Final(context, digest); }
  static void Transform(Context& context, const std::uint8_t* block) { MD5Transform(context, block); }
};

struct SHA1 {
  using Context = SHA1Context;
  static constexpr const char* kName = "SHA1";
  static constexpr std::size_t kDigestSize = kSHA1DigestSize;
  static constexpr bool kLittleEndian = false;
  static void Init(Context& context) { SHA1Init(context); }
  static void Update(Context& context, const void* input, std::uint32_t length) {
    SHA1Update(context, input, length);
  }
  static void Final(Context& context, std::uint8_t* digest) { SHA1Final(context, digest); }
  static void Transform(Context& context, const std::uint8_t* block) { SHA1Transform(context, block); }
};

struct SHA256 {
  using Context = SHA256Context;
  static constexpr const char* kName = "SHA256";
  static constexpr std::size_t kDigestSize = kSHA256DigestSize;
  static constexpr bool kLittleEndian = false;
  static void Init(Context& context) { SHA256Init(context); }
  static void Update(Context& context, const void* input, std::uint32_t length) {
    SHA256Update(context, input, length);
  }
  static void Final(Context& context, std::uint8_t* digest) { SHA256Final(context, digest); }
  static void Transform(Context& context, const std::uint8_t* block) { SHA256Transform(context, block); }
};

// Names the typed cases after the algorithm ("Digests/SHA1.Splits") instead of an index.
struct AlgorithmName {
  template <typename Algorithm> static std::string GetName(int) { return Algorithm::kName; }
};

inline std::string Hex(std::span<const std::uint8_t> bytes) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0f];
  }
  return text;
}

// Bytes i % 251: no period of a power of two, so a block fed twice or out of order changes the digest.
inline std::vector<std::uint8_t> PatternMessage(std::size_t length) {
  std::vector<std::uint8_t> message(length);
  for (std::size_t i = 0; i < length; ++i) message[i] = static_cast<std::uint8_t>(i % 251);
  return message;
}

template <typename Algorithm> std::string FinalHex(typename Algorithm::Context& context) {
  std::array<std::uint8_t, Algorithm::kDigestSize> digest{};
  Algorithm::Final(context, digest.data());
  return Hex(digest);
}

// Feeds the message in pieces of the given sizes, repeated until it is used up.
template <typename Algorithm>
std::string DigestInPieces(std::span<const std::uint8_t> message, std::span<const std::size_t> pieces) {
  typename Algorithm::Context context;
  Algorithm::Init(context);
  for (std::size_t at = 0, i = 0; at < message.size(); i = (i + 1) % pieces.size()) {
    const std::size_t length = std::min(pieces[i], message.size() - at);
    Algorithm::Update(context, message.data() + at, static_cast<std::uint32_t>(length));
    at += length;
  }
  return FinalHex<Algorithm>(context);
}

template <typename Algorithm> std::string Digest(std::span<const std::uint8_t> message) {
  typename Algorithm::Context context;
  Algorithm::Init(context);
  Algorithm::Update(context, message.data(), static_cast<std::uint32_t>(message.size()));
  return FinalHex<Algorithm>(context);
}

} // namespace qtv::engine::testing
