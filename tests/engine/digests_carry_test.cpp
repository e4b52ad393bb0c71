#include <gtest/gtest.h>

#include <vector>

#include "tests/engine/carry_message.h"
#include "tests/engine/digest_test_support.h"

namespace qtv::engine::testing {
namespace {

template <typename Algorithm> class CarryPastFourGiB : public ::testing::Test {};
using Algorithms = ::testing::Types<MD5, SHA1, SHA256>;
TYPED_TEST_SUITE(CarryPastFourGiB, Algorithms, AlgorithmName);

template <typename Algorithm> const char* ExpectedDigest() {
  if constexpr (std::is_same_v<Algorithm, MD5>) return kCarryMD5;
  if constexpr (std::is_same_v<Algorithm, SHA1>) return kCarrySHA1;
  if constexpr (std::is_same_v<Algorithm, SHA256>) return kCarrySHA256;
}

TYPED_TEST(CarryPastFourGiB, ByteCountCarriesIntoTheHighWord) {
  const std::vector<std::uint8_t> chunk = PatternMessage(kCarryChunkSize);
  const auto chunkSize = static_cast<std::uint32_t>(chunk.size());
  typename TypeParam::Context context;
  TypeParam::Init(context);
  for (int i = 1; i < kCarryChunks; ++i) TypeParam::Update(context, chunk.data(), chunkSize);
  EXPECT_EQ(context.byteCount[0], 0xfff00000u);
  EXPECT_EQ(context.byteCount[1], 0u);

  // This Update ends exactly at 2^32: the low word wraps to 0.
  TypeParam::Update(context, chunk.data(), chunkSize);
  EXPECT_EQ(context.byteCount[0], 0u);
  EXPECT_EQ(context.byteCount[1], 1u);

  TypeParam::Update(context, chunk.data(), kCarryTail);
  EXPECT_EQ(context.byteCount[0], 48u);
  EXPECT_EQ(context.byteCount[1], 1u);
  // The length block holds the bit count modulo 2^64: high word 8, low word 384.
  EXPECT_EQ(FinalHex<TypeParam>(context), ExpectedDigest<TypeParam>());
}

} // namespace
} // namespace qtv::engine::testing
