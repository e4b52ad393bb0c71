#include "engine/digests/sha256.h"

#include <bit>

#include "engine/digests/block_hashing.h"

namespace qtv::engine {
namespace {

using block_hashing::LoadBigEndian32;

// The standard's functions. Sigma1 lies on the chain that carries e from round to round, so its three
// rotations run side by side. The others have time to spare: they take each sum of three rotations as
// nested rotations of the word XORed with itself, which needs no copy of the word per rotation.
[[gnu::always_inline]] inline std::uint32_t Sigma0(std::uint32_t x) noexcept {
  return std::rotr(std::rotr(std::rotr(x, 9) ^ x, 11) ^ x, 2); // (x >>> 2) ^ (x >>> 13) ^ (x >>> 22)
}
[[gnu::always_inline]] inline std::uint32_t Sigma1(std::uint32_t x) noexcept {
  return std::rotr(x, 6) ^ std::rotr(x, 11) ^ std::rotr(x, 25);
}
[[gnu::always_inline]] inline std::uint32_t sigma0(std::uint32_t x) noexcept {
  return std::rotr(std::rotr(x, 11) ^ x, 7) ^ (x >> 3); // (x >>> 7) ^ (x >>> 18) ^ (x >> 3)
}
[[gnu::always_inline]] inline std::uint32_t sigma1(std::uint32_t x) noexcept {
  return std::rotr(std::rotr(x, 2) ^ x, 17) ^ (x >> 10); // (x >>> 17) ^ (x >>> 19) ^ (x >> 10)
}
[[gnu::always_inline]] inline std::uint32_t Ch(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept {
  return z ^ (x & (y ^ z));
}
[[gnu::always_inline]] inline std::uint32_t Maj(std::uint32_t x, std::uint32_t y, std::uint32_t z) noexcept {
  // y ^ z of this round is x ^ y of the round before, so only two new operations depend on x.
  return y ^ ((x ^ y) & (y ^ z));
}

// One round. The caller renames the eight words from round to round instead of moving them: the new a
// lands in h and the new e in d.
[[gnu::always_inline]] inline void Round(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t& d,
                                         std::uint32_t e, std::uint32_t f, std::uint32_t g, std::uint32_t& h,
                                         std::uint32_t w, std::uint32_t k) noexcept {
  h += w + k;
  h += Ch(e, f, g);
  h += Sigma1(e);
  d += h;
  h += Maj(a, b, c);
  h += Sigma0(a);
}

} // namespace

void SHA256Init(SHA256Context& context) {
  context.byteCount[0] = 0;
  context.byteCount[1] = 0;
  context.state[0] = 0x6a09e667;
  context.state[1] = 0xbb67ae85;
  context.state[2] = 0x3c6ef372;
  context.state[3] = 0xa54ff53a;
  context.state[4] = 0x510e527f;
  context.state[5] = 0x9b05688c;
  context.state[6] = 0x1f83d9ab;
  context.state[7] = 0x5be0cd19;
}

void SHA256Update(SHA256Context& context, const void* input, std::uint32_t length) {
  block_hashing::Update<SHA256Transform>(context, input, length);
}

void SHA256Final(SHA256Context& context, std::uint8_t* digest) {
  block_hashing::Final<SHA256Transform, block_hashing::ByteOrder::kBigEndian>(context, digest);
}

void SHA256Transform(SHA256Context& context, const std::uint8_t* block) {
  std::uint32_t w[64];
  // Words 0 to 15 are the block's, most significant byte first.
  const auto load = [&w, block](int t) { return w[t] = LoadBigEndian32(block + 4 * t); };
  // Every later word is made in the round that first uses it.
  const auto next = [&w](int t) {
    return w[t] = sigma1(w[t - 2]) + w[t - 7] + sigma0(w[t - 15]) + w[t - 16];
  };
  std::uint32_t a = context.state[0];
  std::uint32_t b = context.state[1];
  std::uint32_t c = context.state[2];
  std::uint32_t d = context.state[3];
  std::uint32_t e = context.state[4];
  std::uint32_t f = context.state[5];
  std::uint32_t g = context.state[6];
  std::uint32_t h = context.state[7];

  // clang-format off
  Round(a, b, c, d, e, f, g, h, load( 0), 0x428a2f98);
  Round(h, a, b, c, d, e, f, g, load( 1), 0x71374491);
  Round(g, h, a, b, c, d, e, f, load( 2), 0xb5c0fbcf);
  Round(f, g, h, a, b, c, d, e, load( 3), 0xe9b5dba5);
  Round(e, f, g, h, a, b, c, d, load( 4), 0x3956c25b);
  Round(d, e, f, g, h, a, b, c, load( 5), 0x59f111f1);
  Round(c, d, e, f, g, h, a, b, load( 6), 0x923f82a4);
  Round(b, c, d, e, f, g, h, a, load( 7), 0xab1c5ed5);
  Round(a, b, c, d, e, f, g, h, load( 8), 0xd807aa98);
  Round(h, a, b, c, d, e, f, g, load( 9), 0x12835b01);
  Round(g, h, a, b, c, d, e, f, load(10), 0x243185be);
  Round(f, g, h, a, b, c, d, e, load(11), 0x550c7dc3);
  Round(e, f, g, h, a, b, c, d, load(12), 0x72be5d74);
  Round(d, e, f, g, h, a, b, c, load(13), 0x80deb1fe);
  Round(c, d, e, f, g, h, a, b, load(14), 0x9bdc06a7);
  Round(b, c, d, e, f, g, h, a, load(15), 0xc19bf174);

  Round(a, b, c, d, e, f, g, h, next(16), 0xe49b69c1);
  Round(h, a, b, c, d, e, f, g, next(17), 0xefbe4786);
  Round(g, h, a, b, c, d, e, f, next(18), 0x0fc19dc6);
  Round(f, g, h, a, b, c, d, e, next(19), 0x240ca1cc);
  Round(e, f, g, h, a, b, c, d, next(20), 0x2de92c6f);
  Round(d, e, f, g, h, a, b, c, next(21), 0x4a7484aa);
  Round(c, d, e, f, g, h, a, b, next(22), 0x5cb0a9dc);
  Round(b, c, d, e, f, g, h, a, next(23), 0x76f988da);
  Round(a, b, c, d, e, f, g, h, next(24), 0x983e5152);
  Round(h, a, b, c, d, e, f, g, next(25), 0xa831c66d);
  Round(g, h, a, b, c, d, e, f, next(26), 0xb00327c8);
  Round(f, g, h, a, b, c, d, e, next(27), 0xbf597fc7);
  Round(e, f, g, h, a, b, c, d, next(28), 0xc6e00bf3);
  Round(d, e, f, g, h, a, b, c, next(29), 0xd5a79147);
  Round(c, d, e, f, g, h, a, b, next(30), 0x06ca6351);
  Round(b, c, d, e, f, g, h, a, next(31), 0x14292967);

  Round(a, b, c, d, e, f, g, h, next(32), 0x27b70a85);
  Round(h, a, b, c, d, e, f, g, next(33), 0x2e1b2138);
  Round(g, h, a, b, c, d, e, f, next(34), 0x4d2c6dfc);
  Round(f, g, h, a, b, c, d, e, next(35), 0x53380d13);
  Round(e, f, g, h, a, b, c, d, next(36), 0x650a7354);
  Round(d, e, f, g, h, a, b, c, next(37), 0x766a0abb);
  Round(c, d, e, f, g, h, a, b, next(38), 0x81c2c92e);
  Round(b, c, d, e, f, g, h, a, next(39), 0x92722c85);
  Round(a, b, c, d, e, f, g, h, next(40), 0xa2bfe8a1);
  Round(h, a, b, c, d, e, f, g, next(41), 0xa81a664b);
  Round(g, h, a, b, c, d, e, f, next(42), 0xc24b8b70);
  Round(f, g, h, a, b, c, d, e, next(43), 0xc76c51a3);
  Round(e, f, g, h, a, b, c, d, next(44), 0xd192e819);
  Round(d, e, f, g, h, a, b, c, next(45), 0xd6990624);
  Round(c, d, e, f, g, h, a, b, next(46), 0xf40e3585);
  Round(b, c, d, e, f, g, h, a, next(47), 0x106aa070);

  Round(a, b, c, d, e, f, g, h, next(48), 0x19a4c116);
  Round(h, a, b, c, d, e, f, g, next(49), 0x1e376c08);
  Round(g, h, a, b, c, d, e, f, next(50), 0x2748774c);
  Round(f, g, h, a, b, c, d, e, next(51), 0x34b0bcb5);
  Round(e, f, g, h, a, b, c, d, next(52), 0x391c0cb3);
  Round(d, e, f, g, h, a, b, c, next(53), 0x4ed8aa4a);
  Round(c, d, e, f, g, h, a, b, next(54), 0x5b9cca4f);
  Round(b, c, d, e, f, g, h, a, next(55), 0x682e6ff3);
  Round(a, b, c, d, e, f, g, h, next(56), 0x748f82ee);
  Round(h, a, b, c, d, e, f, g, next(57), 0x78a5636f);
  Round(g, h, a, b, c, d, e, f, next(58), 0x84c87814);
  Round(f, g, h, a, b, c, d, e, next(59), 0x8cc70208);
  Round(e, f, g, h, a, b, c, d, next(60), 0x90befffa);
  Round(d, e, f, g, h, a, b, c, next(61), 0xa4506ceb);
  Round(c, d, e, f, g, h, a, b, next(62), 0xbef9a3f7);
  Round(b, c, d, e, f, g, h, a, next(63), 0xc67178f2);
  // clang-format on

  context.state[0] += a;
  context.state[1] += b;
  context.state[2] += c;
  context.state[3] += d;
  context.state[4] += e;
  context.state[5] += f;
  context.state[6] += g;
  context.state[7] += h;
}

} // namespace qtv::engine
