#pragma once
// The references the benchmark programs measure the engine and the control against: OpenSSL's digests
// and zlib's running checksums called directly, and the plainest way to checksum a file.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "bench/bench_report.h"

namespace qtv::bench {

using RunningChecksum = uLong (*)(uLong, const Bytef*, uInt);

struct FreeMd {
  void operator()(EVP_MD* md) const noexcept { EVP_MD_free(md); }
};
struct FreeMdContext {
  void operator()(EVP_MD_CTX* context) const noexcept { EVP_MD_CTX_free(context); }
};

// One context, fetched and made once, initialised, fed and finished in every call: a short message
// measures the digest rather than OpenSSL's method lookup.
inline void OpenSSLReusedContext(benchmark::State& state, const std::string& name, const char* algorithm,
                                 std::string_view bytes) {
  const std::unique_ptr<EVP_MD, FreeMd> md(EVP_MD_fetch(nullptr, algorithm, nullptr));
  const std::unique_ptr<EVP_MD_CTX, FreeMdContext> context(EVP_MD_CTX_new());
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int digestSize = 0;
  for (auto _ : state) {
    EVP_DigestInit_ex2(context.get(), md.get(), nullptr);
    EVP_DigestUpdate(context.get(), bytes.data(), bytes.size());
    EVP_DigestFinal_ex(context.get(), digest.data(), &digestSize);
    benchmark::ClobberMemory();
  }
  SetBytes(state, bytes.size());
  Record(name, bytes.size(), Hex(digest.data(), digestSize));
}

inline void ZlibDirect(benchmark::State& state, const std::string& name, RunningChecksum checksum,
                       uLong start, std::string_view bytes) {
  uLong value = start;
  for (auto _ : state) {
    value = checksum(start, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
    benchmark::DoNotOptimize(value);
  }
  SetBytes(state, bytes.size());
  Record(name, bytes.size(), Hex32(value));
}

// The plainest way to checksum a file, which the file methods are measured against: 4096-byte freads
// with stdio's own buffering, each fed to zlib.
inline void FreadLoop(benchmark::State& state, const std::string& name, const std::string& path,
                      std::size_t size, RunningChecksum checksum, uLong start) {
  uLong value = start;
  std::array<unsigned char, 4096> block;
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
      state.SkipWithError("cannot open the benchmark file");
      return;
    }
    value = start;
    while (std::size_t count = std::fread(block.data(), 1, block.size(), file)) {
      value = checksum(value, block.data(), static_cast<uInt>(count));
    }
    std::fclose(file);
    benchmark::DoNotOptimize(value);
  }
  SetBytes(state, size);
  Record(name, size, Hex32(value));
}

} // namespace qtv::bench
