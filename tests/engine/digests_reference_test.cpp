#include <gtest/gtest.h>
// The byte count test below sets OpenSSL's running state directly, through the structures of its older
// interface; that interface is kept for exactly this kind of use.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/evp.h>
#include <openssl/md5.h>
#include <openssl/sha.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "tests/engine/digest_test_support.h"

namespace qtv::engine::testing {
namespace {

template <typename Algorithm> const EVP_MD* OpenSSLAlgorithm() {
  if constexpr (std::is_same_v<Algorithm, MD5>) return EVP_md5();
  if constexpr (std::is_same_v<Algorithm, SHA1>) return EVP_sha1();
  if constexpr (std::is_same_v<Algorithm, SHA256>) return EVP_sha256();
}

template <typename Algorithm> class AgreesWithOpenSSL : public ::testing::Test {};
using Algorithms = ::testing::Types<MD5, SHA1, SHA256>;
TYPED_TEST_SUITE(AgreesWithOpenSSL, Algorithms, AlgorithmName);

// Random messages of random lengths, most of them short enough to end near a padding limit, each fed in
// random pieces, must give OpenSSL's one-shot digest.
TYPED_TEST(AgreesWithOpenSSL, RandomMessagesInRandomPieces) {
  std::mt19937 random(20240601);
  for (int run = 0; run < 300; ++run) {
    const std::size_t length = run % 3 == 0 ? random() % 20000 : random() % 300;
    std::vector<std::uint8_t> message(length);
    for (std::uint8_t& byte : message) byte = static_cast<std::uint8_t>(random());
    std::vector<std::size_t> pieces(1 + random() % 8);
    for (std::size_t& piece : pieces) piece = random() % (run % 2 == 0 ? 70 : 5000);
    pieces.push_back(1 + random() % 130);

    std::uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    ASSERT_EQ(
        EVP_Digest(message.data(), message.size(), digest, &size, OpenSSLAlgorithm<TypeParam>(), nullptr), 1);
    ASSERT_EQ(DigestInPieces<TypeParam>(message, pieces), Hex({digest, size}))
        << "run " << run << ", " << length << " bytes";
  }
}

// A digest taken up from the middle of a message: both sides start from the same chaining words and byte
// count, at a block boundary, and take the same tail. OpenSSL keeps its count in bits.
template <typename Algorithm>
std::string OpenSSLDigestFrom(const typename Algorithm::Context& start, std::span<const std::uint8_t> tail) {
  const std::uint32_t bitsLow = start.byteCount[0] << 3;
  const std::uint32_t bitsHigh = start.byteCount[1] << 3 | start.byteCount[0] >> 29;
  std::array<std::uint8_t, Algorithm::kDigestSize> digest{};
  if constexpr (std::is_same_v<Algorithm, MD5>) {
    MD5_CTX context;
    MD5_Init(&context);
    context.A = start.state[0], context.B = start.state[1], context.C = start.state[2],
    context.D = start.state[3];
    context.Nl = bitsLow, context.Nh = bitsHigh;
    MD5_Update(&context, tail.data(), tail.size());
    MD5_Final(digest.data(), &context);
  } else if constexpr (std::is_same_v<Algorithm, SHA1>) {
    SHA_CTX context;
    SHA1_Init(&context);
    context.h0 = start.state[0], context.h1 = start.state[1], context.h2 = start.state[2];
    context.h3 = start.state[3], context.h4 = start.state[4];
    context.Nl = bitsLow, context.Nh = bitsHigh;
    SHA1_Update(&context, tail.data(), tail.size());
    SHA1_Final(digest.data(), &context);
  } else {
    SHA256_CTX context;
    SHA256_Init(&context);
    std::copy(std::begin(start.state), std::end(start.state), context.h);
    context.Nl = bitsLow, context.Nh = bitsHigh;
    SHA256_Update(&context, tail.data(), tail.size());
    SHA256_Final(digest.data(), &context);
  }
  return Hex(digest);
}

// Messages of 4 GiB and more, without feeding them: the byte count is set just before the low word wraps,
// just before the bit count's low word reaches the high word, and just before the bit count wraps at
// 2^64; the tail that crosses the mark is fed in pieces of every size up to two blocks.
TYPED_TEST(AgreesWithOpenSSL, ByteCountsPastFourGiBAndPastTwoTo64Bits) {
  const std::array<std::array<std::uint32_t, 2>, 3> starts = {{
      {0xffffff80, 0x00000000}, // 128 bytes before 2^32 bytes
      {0x1fffffc0, 0x00000000}, // 64 bytes before 2^32 bits
      {0xffffffc0, 0x1fffffff}, // 64 bytes before 2^64 bits
  }};
  const std::vector<std::uint8_t> tail = PatternMessage(300);
  for (const auto& [low, high] : starts) {
    typename TypeParam::Context start;
    TypeParam::Init(start);
    // Chaining words that no message of ours would leave, so the digest depends on every step after them.
    for (std::size_t i = 0; i < std::size(start.state); ++i)
      start.state[i] = 0x9e3779b9u * static_cast<std::uint32_t>(i + 1) ^ low;
    start.byteCount[0] = low;
    start.byteCount[1] = high;
    const std::string expected = OpenSSLDigestFrom<TypeParam>(start, tail);
    for (std::size_t piece = 1; piece <= 128; ++piece) {
      typename TypeParam::Context context = start;
      for (std::size_t at = 0; at < tail.size(); at += piece) {
        TypeParam::Update(context, tail.data() + at,
                          static_cast<std::uint32_t>(std::min(piece, tail.size() - at)));
      }
      ASSERT_EQ(FinalHex<TypeParam>(context), expected)
          << std::hex << "start " << high << ":" << low << std::dec << ", pieces of " << piece;
    }
  }
}

} // namespace
} // namespace qtv::engine::testing
