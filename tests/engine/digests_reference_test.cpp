#include <gtest/gtest.h>
#include <openssl/evp.h>

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

} // namespace
} // namespace qtv::engine::testing
