#pragma once
#include <cstddef>
#include <cstdint>

namespace qtv::engine {

// Incremental SHA1 over a caller-owned context: Init, any number of Updates (a length of 0 reads nothing
// and changes nothing), then one Final, which writes exactly 20 bytes and leaves the digest words in
// `state`. The context is used again only after a new Init.
struct SHA1Context {
  std::uint32_t byteCount[2]; // bytes fed so far, low word first
  std::uint32_t state[5];
  std::uint8_t buffer[64];    // the bytes of the block not yet complete
};

inline constexpr std::size_t kSHA1DigestSize = 20;

void SHA1Init(SHA1Context& context);
void SHA1Update(SHA1Context& context, const void* input, std::uint32_t length);
void SHA1Final(SHA1Context& context, std::uint8_t* digest);
// Compresses one 64-byte block, at any address, into `state`; touches no other field.
void SHA1Transform(SHA1Context& context, const std::uint8_t* block);

} // namespace qtv::engine
