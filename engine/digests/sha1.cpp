#include "engine/digests/sha1.h"

#include <bit>

#include "engine/digests/block_hashing.h"

namespace qtv::engine {
namespace {

using block_hashing::LoadBigEndian32;

// One round: e += (a <<< 5) + f(b, c, d) + k + w, then b <<<= 30. The caller renames the five words from
// round to round instead of moving them. The word and the constant are added first, away from the chain
// that waits for a.
[[gnu::always_inline]] inline void RoundCh(std::uint32_t a, std::uint32_t& b, std::uint32_t c,
                                           std::uint32_t d, std::uint32_t& e, std::uint32_t w,
                                           std::uint32_t k) noexcept {
  e += w + k;
  e += d ^ (b & (c ^ d)); // Ch(b, c, d) = (b & c) ^ (~b & d)
  e += std::rotl(a, 5);
  b = std::rotl(b, 30);
}

[[gnu::always_inline]] inline void RoundParity(std::uint32_t a, std::uint32_t& b, std::uint32_t c,
                                               std::uint32_t d, std::uint32_t& e, std::uint32_t w,
                                               std::uint32_t k) noexcept {
  e += w + k;
  e += b ^ c ^ d;
  e += std::rotl(a, 5);
  b = std::rotl(b, 30);
}

[[gnu::always_inline]] inline void RoundMaj(std::uint32_t a, std::uint32_t& b, std::uint32_t c,
                                            std::uint32_t d, std::uint32_t& e, std::uint32_t w,
                                            std::uint32_t k) noexcept {
  // Maj(b, c, d) = (c & d) | (b & (c ^ d)); the two halves share no bit, so they are added, and the
  // half without b is ready first.
  e += w + k;
  e += c & d;
  e += b & (c ^ d);
  e += std::rotl(a, 5);
  b = std::rotl(b, 30);
}

// Makes the compiler keep `word` in memory: it stores the word there and reads it back from there, so a
// later round takes it as an operand of its XOR instead of holding the whole queue in registers, which
// neither target has enough of (the 32-bit engine has seven). Emits no instruction.
[[gnu::always_inline]] inline void KeepInMemory(std::uint32_t& word) noexcept { asm("" : "+m"(word)); }

} // namespace

void SHA1Init(SHA1Context& context) {
  context.byteCount[0] = 0;
  context.byteCount[1] = 0;
  context.state[0] = 0x67452301;
  context.state[1] = 0xefcdab89;
  context.state[2] = 0x98badcfe;
  context.state[3] = 0x10325476;
  context.state[4] = 0xc3d2e1f0;
}

void SHA1Update(SHA1Context& context, const void* input, std::uint32_t length) {
  block_hashing::Update<SHA1Transform>(context, input, length);
}

void SHA1Final(SHA1Context& context, std::uint8_t* digest) {
  block_hashing::Final<SHA1Transform, block_hashing::ByteOrder::kBigEndian>(context, digest);
}

void SHA1Transform(SHA1Context& context, const std::uint8_t* block) {
  // The message schedule is a circular queue of sixteen words in memory: the word for round t lives in
  // slot t mod 16. Each word is written once and read back by the rounds t + 3, t + 8, t + 14 and t + 16.
  std::uint32_t w[16];
  // Rounds 0 to 15 take the block's words, most significant byte first.
  const auto load = [&w, block](int t) {
    const std::uint32_t word = LoadBigEndian32(block + 4 * t);
    w[t] = word;
    KeepInMemory(w[t]);
    return word;
  };
  // From round 16 on, the word for round t replaces the one for round t - 16. The newest word, t - 3,
  // comes last, so the chain from one schedule word to the next is one XOR and one rotation long.
  const auto next = [&w](int t) {
    const std::uint32_t word = std::rotl(w[t & 15] ^ w[(t - 14) & 15] ^ w[(t - 8) & 15] ^ w[(t - 3) & 15], 1);
    w[t & 15] = word;
    KeepInMemory(w[t & 15]);
    return word;
  };
  std::uint32_t a = context.state[0];
  std::uint32_t b = context.state[1];
  std::uint32_t c = context.state[2];
  std::uint32_t d = context.state[3];
  std::uint32_t e = context.state[4];

  // clang-format off
  RoundCh(a, b, c, d, e, load( 0), 0x5a827999);
  RoundCh(e, a, b, c, d, load( 1), 0x5a827999);
  RoundCh(d, e, a, b, c, load( 2), 0x5a827999);
  RoundCh(c, d, e, a, b, load( 3), 0x5a827999);
  RoundCh(b, c, d, e, a, load( 4), 0x5a827999);
  RoundCh(a, b, c, d, e, load( 5), 0x5a827999);
  RoundCh(e, a, b, c, d, load( 6), 0x5a827999);
  RoundCh(d, e, a, b, c, load( 7), 0x5a827999);
  RoundCh(c, d, e, a, b, load( 8), 0x5a827999);
  RoundCh(b, c, d, e, a, load( 9), 0x5a827999);
  RoundCh(a, b, c, d, e, load(10), 0x5a827999);
  RoundCh(e, a, b, c, d, load(11), 0x5a827999);
  RoundCh(d, e, a, b, c, load(12), 0x5a827999);
  RoundCh(c, d, e, a, b, load(13), 0x5a827999);
  RoundCh(b, c, d, e, a, load(14), 0x5a827999);
  RoundCh(a, b, c, d, e, load(15), 0x5a827999);
  RoundCh(e, a, b, c, d, next(16), 0x5a827999);
  RoundCh(d, e, a, b, c, next(17), 0x5a827999);
  RoundCh(c, d, e, a, b, next(18), 0x5a827999);
  RoundCh(b, c, d, e, a, next(19), 0x5a827999);

  RoundParity(a, b, c, d, e, next(20), 0x6ed9eba1);
  RoundParity(e, a, b, c, d, next(21), 0x6ed9eba1);
  RoundParity(d, e, a, b, c, next(22), 0x6ed9eba1);
  RoundParity(c, d, e, a, b, next(23), 0x6ed9eba1);
  RoundParity(b, c, d, e, a, next(24), 0x6ed9eba1);
  RoundParity(a, b, c, d, e, next(25), 0x6ed9eba1);
  RoundParity(e, a, b, c, d, next(26), 0x6ed9eba1);
  RoundParity(d, e, a, b, c, next(27), 0x6ed9eba1);
  RoundParity(c, d, e, a, b, next(28), 0x6ed9eba1);
  RoundParity(b, c, d, e, a, next(29), 0x6ed9eba1);
  RoundParity(a, b, c, d, e, next(30), 0x6ed9eba1);
  RoundParity(e, a, b, c, d, next(31), 0x6ed9eba1);
  RoundParity(d, e, a, b, c, next(32), 0x6ed9eba1);
  RoundParity(c, d, e, a, b, next(33), 0x6ed9eba1);
  RoundParity(b, c, d, e, a, next(34), 0x6ed9eba1);
  RoundParity(a, b, c, d, e, next(35), 0x6ed9eba1);
  RoundParity(e, a, b, c, d, next(36), 0x6ed9eba1);
  RoundParity(d, e, a, b, c, next(37), 0x6ed9eba1);
  RoundParity(c, d, e, a, b, next(38), 0x6ed9eba1);
  RoundParity(b, c, d, e, a, next(39), 0x6ed9eba1);

  RoundMaj(a, b, c, d, e, next(40), 0x8f1bbcdc);
  RoundMaj(e, a, b, c, d, next(41), 0x8f1bbcdc);
  RoundMaj(d, e, a, b, c, next(42), 0x8f1bbcdc);
  RoundMaj(c, d, e, a, b, next(43), 0x8f1bbcdc);
  RoundMaj(b, c, d, e, a, next(44), 0x8f1bbcdc);
  RoundMaj(a, b, c, d, e, next(45), 0x8f1bbcdc);
  RoundMaj(e, a, b, c, d, next(46), 0x8f1bbcdc);
  RoundMaj(d, e, a, b, c, next(47), 0x8f1bbcdc);
  RoundMaj(c, d, e, a, b, next(48), 0x8f1bbcdc);
  RoundMaj(b, c, d, e, a, next(49), 0x8f1bbcdc);
  RoundMaj(a, b, c, d, e, next(50), 0x8f1bbcdc);
  RoundMaj(e, a, b, c, d, next(51), 0x8f1bbcdc);
  RoundMaj(d, e, a, b, c, next(52), 0x8f1bbcdc);
  RoundMaj(c, d, e, a, b, next(53), 0x8f1bbcdc);
  RoundMaj(b, c, d, e, a, next(54), 0x8f1bbcdc);
  RoundMaj(a, b, c, d, e, next(55), 0x8f1bbcdc);
  RoundMaj(e, a, b, c, d, next(56), 0x8f1bbcdc);
  RoundMaj(d, e, a, b, c, next(57), 0x8f1bbcdc);
  RoundMaj(c, d, e, a, b, next(58), 0x8f1bbcdc);
  RoundMaj(b, c, d, e, a, next(59), 0x8f1bbcdc);

  RoundParity(a, b, c, d, e, next(60), 0xca62c1d6);
  RoundParity(e, a, b, c, d, next(61), 0xca62c1d6);
  RoundParity(d, e, a, b, c, next(62), 0xca62c1d6);
  RoundParity(c, d, e, a, b, next(63), 0xca62c1d6);
  RoundParity(b, c, d, e, a, next(64), 0xca62c1d6);
  RoundParity(a, b, c, d, e, next(65), 0xca62c1d6);
  RoundParity(e, a, b, c, d, next(66), 0xca62c1d6);
  RoundParity(d, e, a, b, c, next(67), 0xca62c1d6);
  RoundParity(c, d, e, a, b, next(68), 0xca62c1d6);
  RoundParity(b, c, d, e, a, next(69), 0xca62c1d6);
  RoundParity(a, b, c, d, e, next(70), 0xca62c1d6);
  RoundParity(e, a, b, c, d, next(71), 0xca62c1d6);
  RoundParity(d, e, a, b, c, next(72), 0xca62c1d6);
  RoundParity(c, d, e, a, b, next(73), 0xca62c1d6);
  RoundParity(b, c, d, e, a, next(74), 0xca62c1d6);
  RoundParity(a, b, c, d, e, next(75), 0xca62c1d6);
  RoundParity(e, a, b, c, d, next(76), 0xca62c1d6);
  RoundParity(d, e, a, b, c, next(77), 0xca62c1d6);
  RoundParity(c, d, e, a, b, next(78), 0xca62c1d6);
  RoundParity(b, c, d, e, a, next(79), 0xca62c1d6);
  // clang-format on

  context.state[0] += a;
  context.state[1] += b;
  context.state[2] += c;
  context.state[3] += d;
  context.state[4] += e;
}

} // namespace qtv::engine
