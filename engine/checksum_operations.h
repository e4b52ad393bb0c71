#pragma once
#include <cstdint>

namespace qtv::engine {

// The ten operations behind the engine's command words. Each writes its checksum text and one NUL at
// the start of `output` and nothing after it.
//
// String operations checksum exactly `length` bytes at `input` (NUL bytes included); the caller
// guarantees that many are readable and that `length` is not negative.
void MD5OfString(const char* input, char* output, std::int32_t length);
void SHA1OfString(const char* input, char* output, std::int32_t length);
void SHA256OfString(const char* input, char* output, std::int32_t length);
void CRC32OfString(const char* input, char* output, std::int32_t length);
void Adler32OfString(const char* input, char* output, std::int32_t length);

// File operations read the file named by the NUL-terminated `path` front to back in 4096-byte blocks.
// A file that cannot be opened or read to its end, and anything that is not a regular file (a folder,
// FIFO or device, refused without waiting for it), leaves `output` untouched and writes
// "error opening input file \n" to standard output.
void MD5OfFile(const char* path, char* output);
void SHA1OfFile(const char* path, char* output);
void SHA256OfFile(const char* path, char* output);
void CRC32OfFile(const char* path, char* output);
void Adler32OfFile(const char* path, char* output);

} // namespace qtv::engine
