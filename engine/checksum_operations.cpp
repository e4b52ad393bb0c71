#include "engine/checksum_operations.h"

#include <zlib.h>

#include <array>
#include <cstdio>

#include "engine/checksum_text.h"
#include "engine/digests/md5.h"
#include "engine/digests/sha1.h"
#include "engine/digests/sha256.h"
#include "platform/file_reading.h"

namespace qtv::engine {
namespace {

// The two kinds of checksum core. A digest core has a context and a digest of fixed size; a running core
// carries a 32-bit value from block to block.
template <typename ContextType, std::size_t DigestSize, void (*InitFn)(ContextType&),
          void (*UpdateFn)(ContextType&, const void*, std::uint32_t),
          void (*FinalFn)(ContextType&, std::uint8_t*)>
struct DigestCore {
  ContextType context;
  DigestCore() noexcept { InitFn(context); }
  void Feed(const void* bytes, std::uint32_t count) noexcept { UpdateFn(context, bytes, count); }
  ChecksumText Finish() noexcept {
    std::array<std::uint8_t, DigestSize> digest;
    FinalFn(context, digest.data());
    return ChecksumText(digest.data(), digest.size());
  }
};
using MD5Core = DigestCore<MD5Context, kMD5DigestSize, MD5Init, MD5Update, MD5Final>;
using SHA1Core = DigestCore<SHA1Context, kSHA1DigestSize, SHA1Init, SHA1Update, SHA1Final>;
using SHA256Core = DigestCore<SHA256Context, kSHA256DigestSize, SHA256Init, SHA256Update, SHA256Final>;

struct CRC32Core {
  // crc32 inverts on entry and exit, so 0 is both the empty message's value and the start.
  uLong value = crc32(0L, Z_NULL, 0);
  void Feed(const void* bytes, std::uint32_t count) noexcept {
    value = crc32(value, static_cast<const Bytef*>(bytes), count);
  }
  ChecksumText Finish() const noexcept { return ChecksumText(static_cast<std::uint32_t>(value)); }
};

struct Adler32Core {
  uLong value = adler32(0L, Z_NULL, 0); // 1: first sum 1, second sum 0
  void Feed(const void* bytes, std::uint32_t count) noexcept {
    value = adler32(value, static_cast<const Bytef*>(bytes), count);
  }
  ChecksumText Finish() const noexcept { return ChecksumText(static_cast<std::uint32_t>(value)); }
};

template <typename Core> void ChecksumOfString(const char* input, char* output, std::int32_t length) {
  Core core;
  core.Feed(input, static_cast<std::uint32_t>(length));
  core.Finish().CopyTo(output);
}

inline constexpr std::size_t kReadBlock = 4096;
inline constexpr const char* kCannotRead = "error opening input file \n";
// A larger stdio buffer than the default block: reads stay 4096 bytes each, the system calls fewer.
inline constexpr std::size_t kStreamBuffer = 64 * 1024;

template <typename Core> void ChecksumOfFile(const char* path, char* output) {
  // Declared before the file so that the stream is closed before its buffer goes.
  std::array<char, kStreamBuffer> streamBuffer;
  platform::UniqueFile file = platform::OpenForReading(path);
  if (!file) {
    std::fputs(kCannotRead, stdout);
    return;
  }
  std::setvbuf(file.get(), streamBuffer.data(), _IOFBF, streamBuffer.size());

  Core core;
  std::array<unsigned char, kReadBlock> block;
  // Only a read that delivers nothing ends the loop, whether the file ended or reading failed.
  while (std::size_t count = std::fread(block.data(), 1, block.size(), file.get())) {
    core.Feed(block.data(), static_cast<std::uint32_t>(count));
  }
  // The bytes before a failed read are not the file: no checksum at all, as for a file not opened.
  if (std::ferror(file.get()) != 0) {
    std::fputs(kCannotRead, stdout);
    return;
  }
  file.reset();
  core.Finish().CopyTo(output);
}

} // namespace

void MD5OfString(const char* input, char* output, std::int32_t length) {
  ChecksumOfString<MD5Core>(input, output, length);
}
void SHA1OfString(const char* input, char* output, std::int32_t length) {
  ChecksumOfString<SHA1Core>(input, output, length);
}
void SHA256OfString(const char* input, char* output, std::int32_t length) {
  ChecksumOfString<SHA256Core>(input, output, length);
}
void CRC32OfString(const char* input, char* output, std::int32_t length) {
  ChecksumOfString<CRC32Core>(input, output, length);
}
void Adler32OfString(const char* input, char* output, std::int32_t length) {
  ChecksumOfString<Adler32Core>(input, output, length);
}

void MD5OfFile(const char* path, char* output) { ChecksumOfFile<MD5Core>(path, output); }
void SHA1OfFile(const char* path, char* output) { ChecksumOfFile<SHA1Core>(path, output); }
void SHA256OfFile(const char* path, char* output) { ChecksumOfFile<SHA256Core>(path, output); }
void CRC32OfFile(const char* path, char* output) { ChecksumOfFile<CRC32Core>(path, output); }
void Adler32OfFile(const char* path, char* output) { ChecksumOfFile<Adler32Core>(path, output); }

} // namespace qtv::engine
