#pragma once
// The message that carries the byte count past 2^32: a 1 MiB run of bytes i % 251 fed 4096 times, then
// its first 48 bytes, 2^32 + 48 bytes in all. The digests were taken with OpenSSL's incremental interface.
#include <cstddef>
#include <cstdint>

namespace qtv::engine::testing {

inline constexpr std::size_t kCarryChunkSize = std::size_t{1} << 20;
inline constexpr int kCarryChunks = 4096;
inline constexpr std::uint32_t kCarryTail = 48;

inline constexpr const char* kCarryMD5 = "21a26aa6b0c3390b43be6718b4d741f3";
inline constexpr const char* kCarrySHA1 = "7e9f2785d3aaa61f47f5ae89bd75f1cd8ddaca76";
inline constexpr const char* kCarrySHA256 =
    "9b7e457a9dc3ab55c0d740e2fd3c059aca92dfe90dbb65e337f1346be2123a0b";

} // namespace qtv::engine::testing
