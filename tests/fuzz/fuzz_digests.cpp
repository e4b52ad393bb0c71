// The checksums against independent implementations, over messages cut into pieces of any size.
// - MD5, SHA-1, SHA-256: our Init, Updates and Final against libcrypto. An empty piece comes with an
//   address that must not be read (null, or one past the message). The byte count may also start far
//   into the 64-bit range (a whole number of blocks already counted) so that the carry into the high
//   word and the bit count modulo 2^64 meet arbitrary lengths; libcrypto's contexts are set alike.
// - CRC-32, Adler-32: the engine's string operations against zlib fed in the same pieces and against
//   the checksums' bit-by-bit definitions.
#define OPENSSL_SUPPRESS_DEPRECATED // the block-level contexts are what lets the byte count start late
#include <fuzzer/FuzzedDataProvider.h>
#include <openssl/md5.h>
#include <openssl/sha.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/checksum_operations.h"
#include "engine/digests/md5.h"
#include "engine/digests/sha1.h"
#include "engine/digests/sha256.h"
#include "fuzz_support.h"

namespace {

using qtv::fuzz::Algorithm;
using qtv::fuzz::Check;

struct Piece {
  const std::uint8_t* address;
  std::uint32_t count;
};

// Cuts `message` at the given points; an empty piece gets an address that may not be read.
std::vector<Piece> Cut(std::span<const std::uint8_t> message, const std::vector<std::uint16_t>& cuts) {
  std::vector<Piece> pieces;
  std::size_t offset = 0;
  for (const std::uint16_t cut : cuts) {
    const std::size_t count = cut % (message.size() - offset + 1);
    const std::uint8_t* address = message.data() + offset;
    if (count == 0) address = cut & 0x8000 ? nullptr : message.data() + message.size();
    pieces.push_back({address, static_cast<std::uint32_t>(count)});
    offset += count;
  }
  pieces.push_back({message.data() + offset, static_cast<std::uint32_t>(message.size() - offset)});
  return pieces;
}

template <typename Context, std::size_t DigestSize, typename Init, typename Update, typename Final>
std::string Ours(const std::vector<Piece>& pieces, std::uint64_t startCount, Init init, Update update,
                 Final final) {
  Context context;
  init(context);
  context.byteCount[0] = static_cast<std::uint32_t>(startCount);
  context.byteCount[1] = static_cast<std::uint32_t>(startCount >> 32);
  for (const Piece& piece : pieces) update(context, piece.address, piece.count);
  std::array<std::uint8_t, DigestSize> digest;
  final(context, digest.data());
  return qtv::fuzz::Hex(digest);
}

// libcrypto's block-level context with `startCount` bytes already counted (as bits, low word first).
template <typename Context, std::size_t DigestSize, typename Init, typename Update, typename Final>
std::string Theirs(std::span<const std::uint8_t> message, std::uint64_t startCount, Init init, Update update,
                   Final final) {
  Context context;
  init(&context);
  context.Nl = static_cast<unsigned int>(startCount << 3);
  context.Nh = static_cast<unsigned int>(startCount >> 29);
  update(&context, message.data(), message.size());
  std::array<std::uint8_t, DigestSize> digest;
  final(digest.data(), &context);
  return qtv::fuzz::Hex(digest);
}

std::string Ours(Algorithm algorithm, const std::vector<Piece>& pieces, std::uint64_t startCount) {
  using namespace qtv::engine;
  switch (algorithm) {
  case Algorithm::kMD5:
    return Ours<MD5Context, kMD5DigestSize>(pieces, startCount, MD5Init, MD5Update, MD5Final);
  case Algorithm::kSHA1:
    return Ours<SHA1Context, kSHA1DigestSize>(pieces, startCount, SHA1Init, SHA1Update, SHA1Final);
  default:
    return Ours<SHA256Context, kSHA256DigestSize>(pieces, startCount, SHA256Init, SHA256Update, SHA256Final);
  }
}

std::string Theirs(Algorithm algorithm, std::span<const std::uint8_t> message, std::uint64_t startCount) {
  if (startCount == 0) return qtv::fuzz::Reference(algorithm, message);
  switch (algorithm) {
  case Algorithm::kMD5:
    return Theirs<MD5_CTX, MD5_DIGEST_LENGTH>(message, startCount, MD5_Init, MD5_Update, MD5_Final);
  case Algorithm::kSHA1:
    return Theirs<SHA_CTX, SHA_DIGEST_LENGTH>(message, startCount, SHA1_Init, SHA1_Update, SHA1_Final);
  default:
    return Theirs<SHA256_CTX, SHA256_DIGEST_LENGTH>(message, startCount, SHA256_Init, SHA256_Update,
                                                    SHA256_Final);
  }
}

// CRC-32 of ISO 3309: reflected, polynomial 0xEDB88320, register preset and result inverted. The
// division is done bit by bit once per byte value, ahead of time.
constexpr std::array<std::uint32_t, 256> kCRC32Table = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t value = 0; value < 256; ++value) {
    std::uint32_t crc = value;
    for (int bit = 0; bit < 8; ++bit) crc = crc & 1 ? crc >> 1 ^ 0xEDB88320u : crc >> 1;
    table[value] = crc;
  }
  return table;
}();

std::uint32_t DefinedCRC32(std::span<const std::uint8_t> message) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const std::uint8_t byte : message) crc = crc >> 8 ^ kCRC32Table[(crc ^ byte) & 0xFF];
  return ~crc;
}

// Adler-32 of RFC 1950: two sums modulo 65521, the first starting at 1.
std::uint32_t DefinedAdler32(std::span<const std::uint8_t> message) {
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (const std::uint8_t byte : message) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return b << 16 | a;
}

std::string EngineString(void (*operation)(const char*, char*, std::int32_t),
                         std::span<const std::uint8_t> message) {
  std::array<char, 65> output;
  output.fill('\xA5');
  static constexpr char kNothing = 0;
  const char* input = message.empty() ? &kNothing : reinterpret_cast<const char*>(message.data());
  operation(input, output.data(), static_cast<std::int32_t>(message.size()));
  return std::string(output.data());
}

// zlib takes a null address as a request for the starting value, so null pieces are left out here.
template <typename Running> std::string ZlibInPieces(Running running, const std::vector<Piece>& pieces) {
  uLong value = running(0L, Z_NULL, 0);
  for (const Piece& piece : pieces) {
    if (piece.address != nullptr) value = running(value, piece.address, piece.count);
  }
  return qtv::fuzz::Hex32(static_cast<std::uint32_t>(value));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  // Where the byte count starts: at 0, anywhere, just below 2^32 bytes, or just below 2^61 bytes (where
  // the bit count wraps); always a whole number of blocks.
  const auto start = provider.ConsumeIntegral<std::uint8_t>();
  const auto blocks = provider.ConsumeIntegral<std::uint64_t>();
  std::uint64_t startCount = 0;
  switch (start % 4) {
  case 1:
    startCount = blocks << 6;
    break;
  case 2:
    startCount = (std::uint64_t{1} << 32) - (blocks % 256 << 6);
    break;
  case 3:
    startCount = (std::uint64_t{1} << 61) - (blocks % 256 << 6);
    break;
  default:
    break;
  }
  std::vector<std::uint16_t> cuts(provider.ConsumeIntegralInRange<std::size_t>(0, 12));
  for (std::uint16_t& cut : cuts) cut = provider.ConsumeIntegral<std::uint16_t>();
  const std::vector<std::uint8_t> message = provider.ConsumeRemainingBytes<std::uint8_t>();
  const std::vector<Piece> pieces = Cut(message, cuts);

  for (const Algorithm algorithm : {Algorithm::kMD5, Algorithm::kSHA1, Algorithm::kSHA256}) {
    Check(Ours(algorithm, pieces, startCount) == Theirs(algorithm, message, startCount),
          "digest differs from libcrypto");
  }

  const std::string crc32Text = EngineString(qtv::engine::CRC32OfString, message);
  Check(crc32Text == qtv::fuzz::Hex32(DefinedCRC32(message)), "CRC-32 differs from its definition");
  Check(crc32Text == ZlibInPieces(crc32, pieces), "CRC-32 differs from zlib in pieces");
  const std::string adler32Text = EngineString(qtv::engine::Adler32OfString, message);
  Check(adler32Text == qtv::fuzz::Hex32(DefinedAdler32(message)), "Adler-32 differs from its definition");
  Check(adler32Text == ZlibInPieces(adler32, pieces), "Adler-32 differs from zlib in pieces");
  return 0;
}
