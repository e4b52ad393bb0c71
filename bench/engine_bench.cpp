// The engine's speed beside the code it is measured against, in one run: the ten commands through
// interface1, OpenSSL's scalar digests, zlib's checksums called directly, and a plain fread loop feeding
// zlib. A table of throughput ratios closes the run.
//
// Every benchmark repeats, in random interleaving with all the others, so that a busy phase of the
// machine does not fall on one side of a comparison only: a run on 1 MiB or 16 bytes 60 times for about
// 10 ms, a run on 256 MiB 9 times for one pass or more. Throughput counts the processor time of the
// measuring thread, user and system (the file reads come from the page cache, so that is all of their
// cost); bench_report.h says how the table judges it.
//
// `engine_bench --check` runs every benchmark once, on a file of 1 MiB and a little more, and fails when
// a command computes another checksum than its reference.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "bench/bench_report.h"
#include "bench/references.h"
#include "engine/interface1.h"
#include "tests/support/temporary_folder.h"

namespace {

using namespace qtv::bench;

constexpr std::size_t kLargeString = std::size_t{1} << 20;
constexpr std::size_t kSmallString = 16;
// The file's size; a check run takes one that ends in a partial block of the engine's reads.
std::size_t gFileSize = std::size_t{256} << 20;

std::vector<unsigned char> gBytes; // the file's contents; the string inputs are its first bytes
std::filesystem::path gFile;

const char* Input() { return reinterpret_cast<const char*>(gBytes.data()); }

void EngineString(benchmark::State& state, const std::string& name, const char* word, std::size_t size) {
  std::array<char, 302> output{};
  for (auto _ : state) {
    interface1(word, Input(), output.data(), static_cast<std::int32_t>(size));
    benchmark::ClobberMemory();
  }
  SetBytes(state, size);
  Record(name, size, output.data());
}

void EngineFile(benchmark::State& state, const std::string& name, const char* word) {
  std::array<char, 302> output{};
  for (auto _ : state) {
    interface1(word, gFile.c_str(), output.data(), 0);
    benchmark::ClobberMemory();
  }
  SetBytes(state, gFileSize);
  Record(name, gFileSize, output.data());
}

struct Algorithm {
  const char* title;
  const char* stringWord;
  const char* fileWord;
  const char* openssl; // null for the running checksums
  RunningChecksum zlib;
  uLong start;
};
constexpr std::array<Algorithm, 5> kAlgorithms = {{
    {"MD5", "md5string", "md5file", "MD5", nullptr, 0},
    {"SHA-1", "sha1string", "sha1file", "SHA1", nullptr, 0},
    {"SHA-256", "sha256string", "sha256file", "SHA256", nullptr, 0},
    {"CRC-32", "crc32string", "crc32file", nullptr, crc32, 0},
    {"Adler-32", "adler32string", "adler32file", nullptr, adler32, 1},
}};

void RegisterAll() {
  const auto configure = [](benchmark::internal::Benchmark* benchmark, std::size_t size) {
    benchmark->Unit(benchmark::kMicrosecond);
    if (size == gFileSize) {
      Repeat(benchmark, 9, 0.05);
    } else {
      Repeat(benchmark, 60, 0.01);
    }
  };
  for (const Algorithm& algorithm : kAlgorithms) {
    for (std::size_t size : {kLargeString, kSmallString, gFileSize}) {
      const std::string name = std::string(algorithm.stringWord) + "/" + SizeName(size);
      configure(benchmark::RegisterBenchmark(name.c_str(), EngineString, name, algorithm.stringWord, size),
                size);
      if (size == gFileSize) continue;
      if (algorithm.openssl != nullptr) {
        const std::string reference = std::string("openssl_") + algorithm.openssl + "/" + SizeName(size);
        configure(benchmark::RegisterBenchmark(reference.c_str(), OpenSSLReusedContext, reference,
                                               algorithm.openssl, std::string_view(Input(), size)),
                  size);
      } else {
        const std::string reference = std::string("zlib_") + algorithm.stringWord + "/" + SizeName(size);
        configure(benchmark::RegisterBenchmark(reference.c_str(), ZlibDirect, reference, algorithm.zlib,
                                               algorithm.start, std::string_view(Input(), size)),
                  size);
      }
    }
    const std::string file = std::string(algorithm.fileWord) + "/" + SizeName(gFileSize);
    configure(benchmark::RegisterBenchmark(file.c_str(), EngineFile, file, algorithm.fileWord), gFileSize);
    if (algorithm.zlib != nullptr) {
      const std::string loop = std::string("fread_zlib_") + algorithm.fileWord + "/" + SizeName(gFileSize);
      configure(benchmark::RegisterBenchmark(loop.c_str(), FreadLoop, loop, gFile.string(), gFileSize,
                                             algorithm.zlib, algorithm.start),
                gFileSize);
    }
  }
}

void PrintTable() {
  std::printf("\nThroughput in MB/s (10^6 bytes per second of processor time) of the best repetition;\n"
              "ratio = ours / reference, of the best repetitions and of the medians\n");
  std::printf("%-44s %9s %9s %7s %7s  %-7s\n", "comparison", "ours", "reference", "ratio", "median", "aim");
  for (const Algorithm& algorithm : kAlgorithms) {
    const std::string string = algorithm.stringWord;
    if (algorithm.openssl != nullptr) {
      const std::string reference = std::string("openssl_") + algorithm.openssl;
      PrintRatio(std::string(algorithm.title) + " string 1 MiB / OpenSSL scalar", string + "/1MiB",
                 reference + "/1MiB", ">=0.95", 0.95);
      PrintRatio(std::string(algorithm.title) + " string 16 B / OpenSSL scalar", string + "/16B",
                 reference + "/16B", "-", 0);
    } else {
      const std::string reference = "zlib_" + string;
      PrintRatio(std::string(algorithm.title) + " string 1 MiB / zlib direct", string + "/1MiB",
                 reference + "/1MiB", ">=0.98", 0.98);
      PrintRatio(std::string(algorithm.title) + " string 16 B / zlib direct", string + "/16B",
                 reference + "/16B", "-", 0);
    }
  }
  const std::string size = "/" + SizeName(gFileSize);
  const std::string title = SizeTitle(gFileSize);
  for (const Algorithm& algorithm : kAlgorithms) {
    const std::string file = std::string(algorithm.fileWord) + size;
    PrintRatio(std::string(algorithm.title) + " file / string, " + title, file,
               std::string(algorithm.stringWord) + size, algorithm.zlib ? "-" : ">=0.90",
               algorithm.zlib ? 0 : 0.90);
    if (algorithm.zlib != nullptr) {
      PrintRatio(std::string(algorithm.title) + " file / fread loop + zlib, " + title, file,
                 "fread_zlib_" + std::string(algorithm.fileWord) + size, ">=0.90", 0.90);
    }
  }
}

// The benchmark file lives in a folder of its own under the temporary folder and goes with it at exit.
class BenchmarkFile {
public:
  BenchmarkFile() {
    gFile = folder_.path() / "input.bin";

    gBytes.resize(gFileSize);
    std::uint64_t random = 0x9e3779b97f4a7c15;
    for (unsigned char& byte : gBytes) {
      random ^= random << 13;
      random ^= random >> 7;
      random ^= random << 17;
      byte = static_cast<unsigned char>(random >> 56);
    }
    std::FILE* file = std::fopen(gFile.c_str(), "wb");
    const bool written = file != nullptr &&
                         std::fwrite(gBytes.data(), 1, gBytes.size(), file) == gBytes.size() &&
                         std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    if (file != nullptr) std::fclose(file);
    if (!written) throw std::system_error(errno, std::generic_category(), "writing " + gFile.string());

    // One full read puts the whole file in the page cache before the first measurement.
    std::vector<unsigned char> scratch(std::size_t{1} << 20);
    file = std::fopen(gFile.c_str(), "rb");
    while (file != nullptr && std::fread(scratch.data(), 1, scratch.size(), file) > 0) {
    }
    if (file != nullptr) std::fclose(file);
  }

private:
  const qtv::testing::TemporaryFolder folder_{"qtv_engine_bench"};
};

} // namespace

int main(int argc, char** argv) {
  if (!RunWithScalarOpenSSL(argv, "engine_bench")) return 1;
  TakeCheckFlag(argc, argv);
  if (!InitializeInterleaved(argc, argv)) return 1;
  if (gCheckRun) gFileSize = (std::size_t{1} << 20) + 4099;

  std::printf("OPENSSL_ia32cap=%s; preparing a %zu byte file in the page cache\n", kScalarOpenSSL, gFileSize);
  const BenchmarkFile file;
  RegisterAll();
  return RunAndPrintTable("engine_bench", PrintTable);
}
