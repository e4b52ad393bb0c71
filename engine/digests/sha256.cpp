#include "engine/digests/sha256.h"

#include <bit>
#include <type_traits>

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

// How a target keeps the words that wait between rounds. x86-64 has registers enough for them: the
// compiler keeps what the next round needs in registers and spills only what waits longer.
struct InRegisters {
  using ScheduleWord = std::uint32_t;
  explicit InRegisters(const std::uint32_t (&)[8]) noexcept {}

  // One round. The caller renames the eight words from round to round instead of moving them: the new a
  // lands in h and the new e in d.
  [[gnu::always_inline]] void Round(int, std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t& d,
                                    std::uint32_t e, std::uint32_t f, std::uint32_t g, std::uint32_t& h,
                                    std::uint32_t w, std::uint32_t k) noexcept {
    h += w + k;
    h += Ch(e, f, g);
    h += Sigma1(e);
    d += h;
    h += Maj(a, b, c);
    h += Sigma0(a);
  }

  // Adds the working words into the state.
  [[gnu::always_inline]] void AddTo(std::uint32_t (&state)[8], std::uint32_t a, std::uint32_t b,
                                    std::uint32_t c, std::uint32_t d, std::uint32_t e, std::uint32_t f,
                                    std::uint32_t g, std::uint32_t h) noexcept {
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
  }
};

// 32-bit x86 has seven registers. Left to itself the compiler keeps all eight words in variables, runs
// short and spills the newest a and e, so that each round waits for its predecessor's words to come back
// from memory. This layout keeps its own words: only what the next round needs at once stays in
// variables, the new a and e and a ^ b; every round writes its a and e into a ring of four of each, from
// which the later rounds read them as b, c, d and f, g, h, as they read the schedule's words. The ring is
// volatile so that the compiler keeps it where it is put.
struct InRing {
  using ScheduleWord = volatile std::uint32_t;
  std::uint32_t a, e;
  std::uint32_t ab;                 // a ^ b of the round before: b ^ c of this one
  volatile std::uint32_t olderA[4]; // the a of round t in slot t mod 4
  volatile std::uint32_t olderE[4];

  explicit InRing(const std::uint32_t (&state)[8]) noexcept
      : a(state[0]), e(state[4]), ab(state[1] ^ state[2]) {
    // Round 0 reads b, c, d from slots 3, 2, 1, and f, g, h likewise.
    olderA[3] = state[1];
    olderA[2] = state[2];
    olderA[1] = state[3];
    olderE[3] = state[5];
    olderE[2] = state[6];
    olderE[1] = state[7];
  }

  // Round t in the ring, which holds every word of this layout: the caller's eight variables are the
  // other layout's.
  [[gnu::always_inline]] void Round(int t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t&,
                                    std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t&,
                                    std::uint32_t w, std::uint32_t k) noexcept {
    const std::uint32_t f = olderE[(t - 1) & 3];
    const std::uint32_t g = olderE[(t - 2) & 3];
    std::uint32_t t1 = olderE[(t - 3) & 3] + w + k; // h + w + k
    olderE[t & 3] = e;
    t1 += Ch(e, f, g);
    t1 += Sigma1(e);
    const std::uint32_t b = olderA[(t - 1) & 3];
    e = olderA[(t - 3) & 3] + t1; // d + T1
    olderA[t & 3] = a;
    const std::uint32_t bc = ab;
    ab = a ^ b;
    t1 += b ^ (ab & bc); // Maj(a, b, c)
    t1 += Sigma0(a);
    a = t1;
  }

  // Round 63 wrote slot 3: b, c, d are in slots 3, 2, 1, and f, g, h likewise.
  [[gnu::always_inline]] void AddTo(std::uint32_t (&state)[8], std::uint32_t, std::uint32_t, std::uint32_t,
                                    std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                    std::uint32_t) noexcept {
    state[0] += a;
    state[1] += olderA[3];
    state[2] += olderA[2];
    state[3] += olderA[1];
    state[4] += e;
    state[5] += olderE[3];
    state[6] += olderE[2];
    state[7] += olderE[1];
  }
};

using Layout = std::conditional_t<sizeof(void*) == 4, InRing, InRegisters>;

// Writes a schedule word and gives it back (an assignment's value would read a volatile word again).
template <typename Word>
[[gnu::always_inline]] inline std::uint32_t Keep(Word& slot, std::uint32_t word) noexcept {
  slot = word;
  return word;
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
  // The schedule's last sixteen words.
  Layout::ScheduleWord w[16];
  // Words 0 to 15 are the block's, most significant byte first.
  const auto load = [&w, block](int t) { return Keep(w[t], LoadBigEndian32(block + 4 * t)); };
  // Every later word is made in the round that first uses it.
  const auto next = [&w](int t) {
    return Keep(w[t & 15], sigma1(w[(t - 2) & 15]) + w[(t - 7) & 15] + sigma0(w[(t - 15) & 15]) + w[t & 15]);
  };
  Layout layout(context.state);
  std::uint32_t a = context.state[0];
  std::uint32_t b = context.state[1];
  std::uint32_t c = context.state[2];
  std::uint32_t d = context.state[3];
  std::uint32_t e = context.state[4];
  std::uint32_t f = context.state[5];
  std::uint32_t g = context.state[6];
  std::uint32_t h = context.state[7];

  // clang-format off
  layout.Round( 0, a, b, c, d, e, f, g, h, load( 0), 0x428a2f98);
  layout.Round( 1, h, a, b, c, d, e, f, g, load( 1), 0x71374491);
  layout.Round( 2, g, h, a, b, c, d, e, f, load( 2), 0xb5c0fbcf);
  layout.Round( 3, f, g, h, a, b, c, d, e, load( 3), 0xe9b5dba5);
  layout.Round( 4, e, f, g, h, a, b, c, d, load( 4), 0x3956c25b);
  layout.Round( 5, d, e, f, g, h, a, b, c, load( 5), 0x59f111f1);
  layout.Round( 6, c, d, e, f, g, h, a, b, load( 6), 0x923f82a4);
  layout.Round( 7, b, c, d, e, f, g, h, a, load( 7), 0xab1c5ed5);
  layout.Round( 8, a, b, c, d, e, f, g, h, load( 8), 0xd807aa98);
  layout.Round( 9, h, a, b, c, d, e, f, g, load( 9), 0x12835b01);
  layout.Round(10, g, h, a, b, c, d, e, f, load(10), 0x243185be);
  layout.Round(11, f, g, h, a, b, c, d, e, load(11), 0x550c7dc3);
  layout.Round(12, e, f, g, h, a, b, c, d, load(12), 0x72be5d74);
  layout.Round(13, d, e, f, g, h, a, b, c, load(13), 0x80deb1fe);
  layout.Round(14, c, d, e, f, g, h, a, b, load(14), 0x9bdc06a7);
  layout.Round(15, b, c, d, e, f, g, h, a, load(15), 0xc19bf174);

  layout.Round(16, a, b, c, d, e, f, g, h, next(16), 0xe49b69c1);
  layout.Round(17, h, a, b, c, d, e, f, g, next(17), 0xefbe4786);
  layout.Round(18, g, h, a, b, c, d, e, f, next(18), 0x0fc19dc6);
  layout.Round(19, f, g, h, a, b, c, d, e, next(19), 0x240ca1cc);
  layout.Round(20, e, f, g, h, a, b, c, d, next(20), 0x2de92c6f);
  layout.Round(21, d, e, f, g, h, a, b, c, next(21), 0x4a7484aa);
  layout.Round(22, c, d, e, f, g, h, a, b, next(22), 0x5cb0a9dc);
  layout.Round(23, b, c, d, e, f, g, h, a, next(23), 0x76f988da);
  layout.Round(24, a, b, c, d, e, f, g, h, next(24), 0x983e5152);
  layout.Round(25, h, a, b, c, d, e, f, g, next(25), 0xa831c66d);
  layout.Round(26, g, h, a, b, c, d, e, f, next(26), 0xb00327c8);
  layout.Round(27, f, g, h, a, b, c, d, e, next(27), 0xbf597fc7);
  layout.Round(28, e, f, g, h, a, b, c, d, next(28), 0xc6e00bf3);
  layout.Round(29, d, e, f, g, h, a, b, c, next(29), 0xd5a79147);
  layout.Round(30, c, d, e, f, g, h, a, b, next(30), 0x06ca6351);
  layout.Round(31, b, c, d, e, f, g, h, a, next(31), 0x14292967);

  layout.Round(32, a, b, c, d, e, f, g, h, next(32), 0x27b70a85);
  layout.Round(33, h, a, b, c, d, e, f, g, next(33), 0x2e1b2138);
  layout.Round(34, g, h, a, b, c, d, e, f, next(34), 0x4d2c6dfc);
  layout.Round(35, f, g, h, a, b, c, d, e, next(35), 0x53380d13);
  layout.Round(36, e, f, g, h, a, b, c, d, next(36), 0x650a7354);
  layout.Round(37, d, e, f, g, h, a, b, c, next(37), 0x766a0abb);
  layout.Round(38, c, d, e, f, g, h, a, b, next(38), 0x81c2c92e);
  layout.Round(39, b, c, d, e, f, g, h, a, next(39), 0x92722c85);
  layout.Round(40, a, b, c, d, e, f, g, h, next(40), 0xa2bfe8a1);
  layout.Round(41, h, a, b, c, d, e, f, g, next(41), 0xa81a664b);
  layout.Round(42, g, h, a, b, c, d, e, f, next(42), 0xc24b8b70);
  layout.Round(43, f, g, h, a, b, c, d, e, next(43), 0xc76c51a3);
  layout.Round(44, e, f, g, h, a, b, c, d, next(44), 0xd192e819);
  layout.Round(45, d, e, f, g, h, a, b, c, next(45), 0xd6990624);
  layout.Round(46, c, d, e, f, g, h, a, b, next(46), 0xf40e3585);
  layout.Round(47, b, c, d, e, f, g, h, a, next(47), 0x106aa070);

  layout.Round(48, a, b, c, d, e, f, g, h, next(48), 0x19a4c116);
  layout.Round(49, h, a, b, c, d, e, f, g, next(49), 0x1e376c08);
  layout.Round(50, g, h, a, b, c, d, e, f, next(50), 0x2748774c);
  layout.Round(51, f, g, h, a, b, c, d, e, next(51), 0x34b0bcb5);
  layout.Round(52, e, f, g, h, a, b, c, d, next(52), 0x391c0cb3);
  layout.Round(53, d, e, f, g, h, a, b, c, next(53), 0x4ed8aa4a);
  layout.Round(54, c, d, e, f, g, h, a, b, next(54), 0x5b9cca4f);
  layout.Round(55, b, c, d, e, f, g, h, a, next(55), 0x682e6ff3);
  layout.Round(56, a, b, c, d, e, f, g, h, next(56), 0x748f82ee);
  layout.Round(57, h, a, b, c, d, e, f, g, next(57), 0x78a5636f);
  layout.Round(58, g, h, a, b, c, d, e, f, next(58), 0x84c87814);
  layout.Round(59, f, g, h, a, b, c, d, e, next(59), 0x8cc70208);
  layout.Round(60, e, f, g, h, a, b, c, d, next(60), 0x90befffa);
  layout.Round(61, d, e, f, g, h, a, b, c, next(61), 0xa4506ceb);
  layout.Round(62, c, d, e, f, g, h, a, b, next(62), 0xbef9a3f7);
  layout.Round(63, b, c, d, e, f, g, h, a, next(63), 0xc67178f2);
  // clang-format on

  layout.AddTo(context.state, a, b, c, d, e, f, g, h);
}

} // namespace qtv::engine
