#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/engine/digest_test_support.h"

namespace qtv::engine::testing {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The seven messages of RFC 1321, then FIPS 180-2's 448-bit message and its million "a".
const std::array<std::string, 9> kKnownMessages = {
    "",
    "a",
    "abc",
    "message digest",
    "abcdefghijklmnopqrstuvwxyz",
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
    "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
    "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
    std::string(1000000, 'a'),
};

// Message lengths around the padding limits; a length block that does not fit behind the message takes a
// block of its own.
constexpr std::array<std::size_t, 12> kPaddingLengths = {54, 55, 56, 57, 62, 63, 64, 65, 118, 119, 120, 121};

template <typename Algorithm> struct Expected;

template <> struct Expected<MD5> {
  static constexpr std::array<const char*, 9> kKnown = {
      "d41d8cd98f00b204e9800998ecf8427e", "0cc175b9c0f1b6a831c399e269772661",
      "900150983cd24fb0d6963f7d28e17f72", "f96b697d7cb7938d525a2f31aaf161d0",
      "c3fcd3d76192e4007dfb496cca67e13b", "d174ab98d277d9f5a5611c2c9f419d9f",
      "57edf4a22be3c955ac49da2e2107b67a", "8215ef0796a20bcaaae116d3876c664a",
      "7707d6ae4e027c70eea2a935c2296f21",
  };
  static constexpr std::array<const char*, 12> kPadding = {
      "33dd62a2df6538daf1cf821d9cde61f9", "6912ee65fff2d9f9ce2508cddf8bcda0",
      "51fdd1acda72405dfdfa03fcb85896d7", "5320ef4c17ef34a0cf2db763338d25eb",
      "f3cdffe2e160a061754a06dafcfd688b", "48a6295221902e8e0938f773a7185e72",
      "b2d3f56bc197fd985d5965079b5e7148", "8bd7053801c768420faf816fadba971c",
      "4541055c6675b614d27c537c3bb15675", "1c772251899a7ff007400b888d6b2042",
      "b7ba1efc6022e9ed272f00b8831e26e6", "b0b2d719a838db877b6d6571a39a1cdc",
  };
};

template <> struct Expected<SHA1> {
  static constexpr std::array<const char*, 9> kKnown = {
      "da39a3ee5e6b4b0d3255bfef95601890afd80709", "86f7e437faa5a7fce15d1ddcb9eaeaea377667b8",
      "a9993e364706816aba3e25717850c26c9cd0d89d", "c12252ceda8be8994d5fa0290a47231c1d16aae3",
      "32d10c7b8cf96570ca04ce37f2a19d84240d3a89", "761c457bf73b14d27e9e9265c46f4b4dda11f940",
      "50abf5706a150990a08b2c5ea40fa0e585554732", "84983e441c3bd26ebaae4aa1f95129e5e54670f1",
      "34aa973cd4c4daa4f61eeb2bdbad27316534016f",
  };
  static constexpr std::array<const char*, 12> kPadding = {
      "cfae6d86a767b9c700b5081a54265fb2fe0f6fd9", "8ae2d46729cfe68ff927af5eec9c7d1b66d65ac2",
      "636e2ec698dac903498e648bd2f3af641d3c88cb", "7cb1330f35244b57437539253304ea78a6b7c443",
      "cf8563896a3b0a0775985d8289444c4bbc478da7", "6d942da0c4392b123528f2905c713a3ce28364bd",
      "c6138d514ffa2135bfce0ed0b8fac65669917ec7", "69bd728ad6e13cd76ff19751fde427b00e395746",
      "2a81372da39c1df4251539a9922717b7cf5f0334", "41c89d06001bab4ab78736b44efe7ce18ce6ae08",
      "d3dbd653bd8597b7475321b60a36891278e6a04a", "3723f8ab857804f89f80970e9fc88cf8f890adc2",
  };
};

template <> struct Expected<SHA256> {
  static constexpr std::array<const char*, 9> kKnown = {
      "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
      "ca978112ca1bbdcafac231b39a23dc4da786eff8147c4e72b9807785afee48bb",
      "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
      "f7846f55cf23e14eebeab5b4e1550cad5b509e3348fbc4efa3a1413d393cb650",
      "71c480df93d6ae2f1efad1447c66c9525e316218cf51fc8d9ed832f2daf18b73",
      "db4bfcbd4da0cd85a60c3c37d3fbd8805c77f15fc6b1fdfe614ee0a7c8fdb4c0",
      "f371bc4a311f2b009eef952dd83ca80e2b60026c8e935592d0f9c308453c813e",
      "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
      "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
  };
  static constexpr std::array<const char*, 12> kPadding = {
      "675f28acc0b90a72d1c3a570fe83ac565555db358cf01826dc8eefb2bf7ca0f3",
      "463eb28e72f82e0a96c0a4cc53690c571281131f672aa229e0d45ae59b598b59",
      "da2ae4d6b36748f2a318f23e7ab1dfdf45acdc9d049bd80e59de82a60895f562",
      "2fe741af801cc238602ac0ec6a7b0c3a8a87c7fc7d7f02a3fe03d1c12eac4d8f",
      "c89da82cbcd76ddf220e4e9091019b9866ffda72bee30de1effe6c99701a2221",
      "29af2686fd53374a36b0846694cc342177e428d1647515f078784d69cdb9e488",
      "fdeab9acf3710362bd2658cdc9a29e8f9c757fcf9811603a8c447cd1d9151108",
      "4bfd2c8b6f1eec7a2afeb48b934ee4b2694182027e6d0fc075074f2fabb31781",
      "d32ab00929cb935b79d44e74c5a745db460ff794dea3b79be40c1cc5cf5388ef",
      "da18797ed7c3a777f0847f429724a2d8cd5138e6ed2895c3fa1a6d39d18f7ec6",
      "f52b23db1fbb6ded89ef42a23ce0c8922c45f25c50b568a93bf1c075420bbb7c",
      "335a461692b30bba1d647cc71604e88e676c90e4c22455d0b8c83f4bd7c8ac9b",
  };
};

// The state words as digest bytes, in the algorithm's byte order.
template <typename Algorithm> std::string StateHex(const typename Algorithm::Context& context) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t word : context.state) {
    for (int i = 0; i < 4; ++i) {
      const int shift = Algorithm::kLittleEndian ? 8 * i : 24 - 8 * i;
      bytes.push_back(static_cast<std::uint8_t>(word >> shift));
    }
  }
  return Hex(bytes);
}

template <typename Algorithm> class Digests : public ::testing::Test {};
using Algorithms = ::testing::Types<MD5, SHA1, SHA256>;
TYPED_TEST_SUITE(Digests, Algorithms, AlgorithmName);

TYPED_TEST(Digests, KnownMessages) {
  for (std::size_t i = 0; i < kKnownMessages.size(); ++i) {
    EXPECT_EQ(Digest<TypeParam>(Bytes(kKnownMessages[i])), Expected<TypeParam>::kKnown[i])
        << "message " << i << ", " << kKnownMessages[i].size() << " bytes";
  }
}

TYPED_TEST(Digests, EmptyMessageWithAndWithoutEmptyUpdates) {
  typename TypeParam::Context context;
  TypeParam::Init(context);
  EXPECT_EQ(FinalHex<TypeParam>(context), Expected<TypeParam>::kKnown[0]);

  TypeParam::Init(context);
  for (int i = 0; i < 3; ++i) TypeParam::Update(context, nullptr, 0);
  EXPECT_EQ(FinalHex<TypeParam>(context), Expected<TypeParam>::kKnown[0]);
}

TYPED_TEST(Digests, LengthsAroundPaddingLimits) {
  for (std::size_t i = 0; i < kPaddingLengths.size(); ++i) {
    const std::size_t length = kPaddingLengths[i];
    const std::vector<std::uint8_t> message = PatternMessage(length);
    typename TypeParam::Context context;
    TypeParam::Init(context);
    TypeParam::Update(context, message.data(), static_cast<std::uint32_t>(length));
    EXPECT_EQ(FinalHex<TypeParam>(context), Expected<TypeParam>::kPadding[i]) << length << " bytes";
    // The padding takes 1 to 64 bytes, so the message, its padding and the 8-byte length fill whole blocks.
    const std::size_t blocks = (length + 8) / 64 + 1;
    EXPECT_EQ(context.byteCount[0], 64 * blocks) << length << " bytes";
    EXPECT_EQ(context.byteCount[1], 0u);
  }
}

TYPED_TEST(Digests, AnySplitGivesTheOneShotDigest) {
  const std::vector<std::uint8_t> message = PatternMessage(20000);
  const std::string whole = Digest<TypeParam>(message);
  const std::vector<std::vector<std::size_t>> pieceRuns = {
      {1}, {63}, {64}, {65}, {4096}, {0, 1, 0, 63, 64, 65, 4096, 0}, {127, 3, 200, 61}, {4095, 1, 4097},
  };
  for (const std::vector<std::size_t>& pieces : pieceRuns) {
    EXPECT_EQ(DigestInPieces<TypeParam>(message, pieces), whole) << "first piece " << pieces[0];
  }
  std::mt19937 random(251);
  for (int run = 0; run < 20; ++run) {
    std::vector<std::size_t> pieces(16);
    for (std::size_t& piece : pieces) piece = random() % 300;
    pieces.push_back(1);
    EXPECT_EQ(DigestInPieces<TypeParam>(message, pieces), whole) << "random run " << run;
  }

  // Two pieces, cut at every position of a message of three blocks and a bit.
  const std::vector<std::uint8_t> shortMessage = PatternMessage(200);
  const std::string shortWhole = Digest<TypeParam>(shortMessage);
  for (std::size_t cut = 0; cut <= shortMessage.size(); ++cut) {
    const std::array<std::size_t, 2> pieces = {cut, shortMessage.size() - cut};
    EXPECT_EQ(DigestInPieces<TypeParam>(shortMessage, pieces), shortWhole) << "cut at " << cut;
  }
}

TYPED_TEST(Digests, UnalignedInputGivesTheAlignedDigest) {
  const std::vector<std::uint8_t> message = PatternMessage(1000);
  const std::string aligned = Digest<TypeParam>(message);
  std::vector<std::uint8_t> shifted(message.size() + 8);
  for (std::size_t offset = 1; offset < 8; ++offset) {
    std::memcpy(shifted.data() + offset, message.data(), message.size());
    EXPECT_EQ(Digest<TypeParam>(std::span(shifted).subspan(offset, message.size())), aligned)
        << "offset " << offset;
  }
}

TYPED_TEST(Digests, FinalWritesOnlyTheDigestAndLeavesItInState) {
  constexpr std::size_t kGuard = 16;
  std::array<std::uint8_t, kGuard + TypeParam::kDigestSize + kGuard> area;
  area.fill(0xa5);
  typename TypeParam::Context context;
  TypeParam::Init(context);
  TypeParam::Update(context, "abc", 3);
  TypeParam::Final(context, area.data() + kGuard);

  const std::span<const std::uint8_t> digest(area.data() + kGuard, TypeParam::kDigestSize);
  EXPECT_EQ(Hex(digest), Expected<TypeParam>::kKnown[2]);
  for (std::size_t i = 0; i < kGuard; ++i) {
    EXPECT_EQ(area[i], 0xa5) << "before the digest, byte " << i;
    EXPECT_EQ(area[kGuard + TypeParam::kDigestSize + i], 0xa5) << "after the digest, byte " << i;
  }
  EXPECT_EQ(StateHex<TypeParam>(context), Hex(digest));
}

TYPED_TEST(Digests, EmptyUpdateChangesNothingWhateverTheAddress) {
  typename TypeParam::Context context{};
  TypeParam::Init(context);
  TypeParam::Update(context, "0123456789", 10); // leaves bytes waiting in the buffer
  const typename TypeParam::Context before = context;
  TypeParam::Update(context, nullptr, 0);
  EXPECT_EQ(std::memcmp(&context, &before, sizeof context), 0);
}

TYPED_TEST(Digests, LengthBlockHoldsTheBitCountModulo2To64) {
  // A byte count far beyond any message fed here, set directly: the bits shifted out of the low word
  // must reach the high word, and those shifted out of the high word must go.
  typename TypeParam::Context context;
  TypeParam::Init(context);
  context.byteCount[0] = 0xffffffc0; // a whole number of blocks, so Final adds one block
  context.byteCount[1] = 0xf2345678;
  typename TypeParam::Context expected = context;
  std::array<std::uint8_t, TypeParam::kDigestSize> digest;
  TypeParam::Final(context, digest.data());

  const std::uint32_t bitsLow = 0xfffffe00;
  const std::uint32_t bitsHigh = 0x91a2b3c7;
  std::array<std::uint8_t, 64> block{0x80};
  for (std::size_t i = 0; i < 4; ++i) {
    if constexpr (TypeParam::kLittleEndian) {
      block[56 + i] = static_cast<std::uint8_t>(bitsLow >> (8 * i));
      block[60 + i] = static_cast<std::uint8_t>(bitsHigh >> (8 * i));
    } else {
      block[56 + i] = static_cast<std::uint8_t>(bitsHigh >> (24 - 8 * i));
      block[60 + i] = static_cast<std::uint8_t>(bitsLow >> (24 - 8 * i));
    }
  }
  TypeParam::Transform(expected, block.data());
  EXPECT_EQ(Hex(digest), StateHex<TypeParam>(expected));
  // The padding and the length block carried the count past 2^32 once more.
  EXPECT_EQ(context.byteCount[0], 0u);
  EXPECT_EQ(context.byteCount[1], 0xf2345679u);
}

TYPED_TEST(Digests, TransformCompressesOneBlockAndTouchesOnlyState) {
  // "abc" padded by hand: the 0x80 marker, zeros, and the bit length 24 in the algorithm's byte order.
  std::array<std::uint8_t, 64> block{'a', 'b', 'c', 0x80};
  block[TypeParam::kLittleEndian ? 56 : 63] = 24;

  typename TypeParam::Context context;
  TypeParam::Init(context);
  context.byteCount[0] = 0x01234567;
  context.byteCount[1] = 0x89abcdef;
  std::memset(context.buffer, 0x5a, sizeof context.buffer);
  TypeParam::Transform(context, block.data());

  EXPECT_EQ(StateHex<TypeParam>(context), Expected<TypeParam>::kKnown[2]);
  EXPECT_EQ(context.byteCount[0], 0x01234567u);
  EXPECT_EQ(context.byteCount[1], 0x89abcdefu);
  for (std::uint8_t byte : context.buffer) EXPECT_EQ(byte, 0x5a);
}

} // namespace
} // namespace qtv::engine::testing
