#pragma once
#include <cstddef>
#include <cstdint>

namespace qtv::engine {

// Incremental SHA256 over a caller-owned context: Init, any number of Updates (a length of 0 reads nothing
// and changes nothing), then one Final, which writes exactly 32 bytes and leaves the digest words in
// `state`. The context is used again only after a new Init.
struct SHA256Context {
  std::uint32_t byteCount[2]; // bytes fed so far, low word first
  std::uint32_t state[8];
  std::uint8_t buffer[64];    // the bytes of the block not yet complete
};

inline constexpr std::size_t kSHA256DigestSize = 32;

void SHA256Init(SHA256Context& context);
void SHA256Update(SHA256Context& context, const void* input, std::uint32_t length);
void SHA256Final(SHA256Context& context, std::uint8_t* digest);
// Compresses one 64-byte block, at any address, into `state`; touches no other field.
void SHA256Transform(SHA256Context& context, const std::uint8_t* block);

} // namespace qtv::engine
