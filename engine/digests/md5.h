#pragma once
#include <cstddef>
#include <cstdint>

namespace qtv::engine {

// Incremental MD5 over a caller-owned context: Init, any number of Updates (a length of 0 reads nothing
// and changes nothing), then one Final, which writes exactly 16 bytes and leaves the digest words in
// `state`. The context is used again only after a new Init.
struct MD5Context {
  std::uint32_t byteCount[2]; // bytes fed so far, low word first
  std::uint32_t state[4];
  std::uint8_t buffer[64];    // the bytes of the block not yet complete
};

inline constexpr std::size_t kMD5DigestSize = 16;

void MD5Init(MD5Context& context);
void MD5Update(MD5Context& context, const void* input, std::uint32_t length);
void MD5Final(MD5Context& context, std::uint8_t* digest);
// Compresses one 64-byte block, at any address, into `state`; touches no other field.
void MD5Transform(MD5Context& context, const std::uint8_t* block);

} // namespace qtv::engine
