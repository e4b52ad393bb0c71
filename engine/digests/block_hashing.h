#pragma once
// The design that MD5, SHA-1 and SHA-256 share: a 64-bit byte count, a 64-byte block buffer, padding fed
// through Update, and the byte-order helpers that assemble and emit their 32-bit words. Each algorithm
// supplies only its context, its block compression and its byte order.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace qtv::engine::block_hashing {

inline constexpr std::uint32_t kBlockSize = 64;

// Words are built from single bytes, so a block may lie at any address and the host's byte order never
// shows; the compiler turns each of these into one load or store (with a byte swap where needed).
[[gnu::always_inline]] inline std::uint32_t LoadLittleEndian32(const std::uint8_t* bytes) noexcept {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

[[gnu::always_inline]] inline std::uint32_t LoadBigEndian32(const std::uint8_t* bytes) noexcept {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 | std::uint32_t{bytes[2]} << 8 |
         std::uint32_t{bytes[3]};
}

[[gnu::always_inline]] inline void StoreLittleEndian32(std::uint8_t* bytes, std::uint32_t word) noexcept {
  bytes[0] = static_cast<std::uint8_t>(word);
  bytes[1] = static_cast<std::uint8_t>(word >> 8);
  bytes[2] = static_cast<std::uint8_t>(word >> 16);
  bytes[3] = static_cast<std::uint8_t>(word >> 24);
}

[[gnu::always_inline]] inline void StoreBigEndian32(std::uint8_t* bytes, std::uint32_t word) noexcept {
  bytes[0] = static_cast<std::uint8_t>(word >> 24);
  bytes[1] = static_cast<std::uint8_t>(word >> 16);
  bytes[2] = static_cast<std::uint8_t>(word >> 8);
  bytes[3] = static_cast<std::uint8_t>(word);
}

// How an algorithm writes its length block and its digest words.
enum class ByteOrder { kLittleEndian, kBigEndian };

template <ByteOrder order> inline void StoreWord(std::uint8_t* bytes, std::uint32_t word) noexcept {
  if constexpr (order == ByteOrder::kLittleEndian) {
    StoreLittleEndian32(bytes, word);
  } else {
    StoreBigEndian32(bytes, word);
  }
}

// The first padding byte carries the 1 bit that ends the message; up to 63 zero bytes follow it.
inline constexpr std::uint8_t kPadding[kBlockSize] = {0x80};

// Adds `length` bytes to the message. Whole blocks are compressed where they lie in the caller's input;
// only the bytes that complete a waiting block and the tail of the run are copied into the context.
template <auto transform, typename Context>
void Update(Context& context, const void* input, std::uint32_t length) noexcept {
  if (length == 0) return;
  const auto* bytes = static_cast<const std::uint8_t*>(input);
  std::uint32_t left = context.byteCount[0] % kBlockSize;
  const std::uint32_t fill = kBlockSize - left;

  context.byteCount[0] += length;
  if (context.byteCount[0] < length) ++context.byteCount[1]; // the low word wrapped

  if (left > 0 && length >= fill) {
    std::memcpy(context.buffer + left, bytes, fill);
    transform(context, context.buffer);
    bytes += fill;
    length -= fill;
    left = 0;
  }
  while (length >= kBlockSize) {
    transform(context, bytes);
    bytes += kBlockSize;
    length -= kBlockSize;
  }
  if (length > 0) std::memcpy(context.buffer + left, bytes, length);
}

// Pads the message to a whole number of blocks, ending with its length in bits modulo 2^64, and writes
// the state words as the digest. The context keeps the digest words and the advanced byte count.
template <auto transform, ByteOrder order, typename Context>
void Final(Context& context, std::uint8_t* digest) noexcept {
  // The length is taken before the padding moves the byte count on.
  const std::uint32_t bitsHigh = context.byteCount[1] << 3 | context.byteCount[0] >> 29;
  const std::uint32_t bitsLow = context.byteCount[0] << 3;
  std::uint8_t lengthBlock[8];
  if constexpr (order == ByteOrder::kLittleEndian) {
    StoreWord<order>(lengthBlock, bitsLow);
    StoreWord<order>(lengthBlock + 4, bitsHigh);
  } else {
    StoreWord<order>(lengthBlock, bitsHigh);
    StoreWord<order>(lengthBlock + 4, bitsLow);
  }

  // The length block must end a block: pad to 56 bytes past a block boundary, a whole block if need be.
  const std::uint32_t last = context.byteCount[0] % kBlockSize;
  const std::uint32_t paddingLength = last < 56 ? 56 - last : 120 - last;
  Update<transform>(context, kPadding, paddingLength);
  Update<transform>(context, lengthBlock, sizeof lengthBlock);

  for (std::size_t i = 0; i < std::size(context.state); ++i)
    StoreWord<order>(digest + 4 * i, context.state[i]);
}

} // namespace qtv::engine::block_hashing
