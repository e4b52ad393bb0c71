#include "engine/interface1.h"

#include <cstring>

#include "engine/checksum_operations.h"

namespace {

using qtv::engine::Adler32OfFile;
using qtv::engine::Adler32OfString;
using qtv::engine::CRC32OfFile;
using qtv::engine::CRC32OfString;
using qtv::engine::MD5OfFile;
using qtv::engine::MD5OfString;
using qtv::engine::SHA1OfFile;
using qtv::engine::SHA1OfString;
using qtv::engine::SHA256OfFile;
using qtv::engine::SHA256OfString;

struct FileCommand {
  const char* word;
  void (*run)(const char* path, char* output);
};
struct StringCommand {
  const char* word;
  void (*run)(const char* input, char* output, std::int32_t length);
};

// Tested in this order, file words first; the words are distinct whole texts, so the order only sets
// the cost of a lookup.
constexpr FileCommand kFileCommands[] = {
    {"adler32file", Adler32OfFile}, {"crc32file", CRC32OfFile}, {"sha256file", SHA256OfFile},
    {"sha1file", SHA1OfFile},       {"md5file", MD5OfFile},
};
constexpr StringCommand kStringCommands[] = {
    {"adler32string", Adler32OfString}, {"crc32string", CRC32OfString}, {"sha256string", SHA256OfString},
    {"sha1string", SHA1OfString},       {"md5string", MD5OfString},
};

} // namespace

extern "C" std::int32_t QTV_STDCALL interface1(const char* command, const char* input, char* output,
                                                std::int32_t length) {
  // A request that would make the engine follow a null address, or read a negative number of bytes,
  // is refused like an unknown word: nothing is read or written.
  if (command == nullptr || input == nullptr || output == nullptr) return 0;

  // strcmp matches whole texts byte for byte, NUL included, and stops at the first difference.
  for (const FileCommand& file : kFileCommands) {
    if (std::strcmp(command, file.word) == 0) {
      file.run(input, output); // the length means nothing to a file command
      return 1;
    }
  }
  for (const StringCommand& string : kStringCommands) {
    if (std::strcmp(command, string.word) == 0) {
      if (length < 0) return 0;
      string.run(input, output, length);
      return 1;
    }
  }
  return 0;
}
