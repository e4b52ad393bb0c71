#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <memory>
#include <vector>

#include "tests/engine/carry_message.h"
#include "tests/engine/digest_test_support.h"

namespace qtv::engine::testing {
namespace {

// OpenSSL's incremental interface, fed the same way, confirms the digests that the carry test expects.
std::string OpenSSLCarryDigest(const EVP_MD* algorithm) {
  const std::vector<std::uint8_t> chunk = PatternMessage(kCarryChunkSize);
  const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  EVP_DigestInit_ex(context.get(), algorithm, nullptr);
  for (int i = 0; i < kCarryChunks; ++i) EVP_DigestUpdate(context.get(), chunk.data(), chunk.size());
  EVP_DigestUpdate(context.get(), chunk.data(), kCarryTail);
  std::uint8_t digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  EVP_DigestFinal_ex(context.get(), digest, &size);
  return Hex({digest, size});
}

TEST(CarryReference, OpenSSLAgreesWithTheExpectedDigests) {
  EXPECT_EQ(OpenSSLCarryDigest(EVP_md5()), kCarryMD5);
  EXPECT_EQ(OpenSSLCarryDigest(EVP_sha1()), kCarrySHA1);
  EXPECT_EQ(OpenSSLCarryDigest(EVP_sha256()), kCarrySHA256);
}

} // namespace
} // namespace qtv::engine::testing
