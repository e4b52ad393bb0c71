// The control's speed as its caller meets it, in one run: the five file methods on a 1 GiB file in the
// page cache beside md5sum, sha1sum, sha256sum, `openssl dgst` and `rhash --crc32` on the same file and
// beside a plain fread loop feeding zlib; the engine's own string speed; the string methods on "abc" and
// on 1 MiB beside OpenSSL's one-shot digests and zlib; an instance's creation and end with and without a
// call, beside another instance that lives on. A table of ratios closes the run.
//
// Every benchmark repeats, in random interleaving with all the others: a run on 1 GiB (the file, or its
// contents in memory for the engine's own string speed) 5 times for one pass, a run on 1 MiB or on "abc" 30
// times for about 10 ms. The control and the in-process references count the processor time of the measuring
// thread, user and system (the file reads come from the page cache, so that is all of their cost). An outside
// tool counts the same for its whole process, as the user and system time that wait4 reports for it; its wall
// time is not used, since on a shared machine it holds the time other processes take the processor away.
//
// OpenSSL in this process runs its scalar code, as in engine_bench: the engine's digests are scalar code.
// The outside tools run without the mask, as a user runs them.
//
// `control_bench --check` runs every benchmark once on a file of 1 MiB and a little more and on 64 KiB of
// text, and fails when any side of the table computes another checksum than its reference.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "bench/bench_report.h"
#include "bench/references.h"
#include "engine/interface1.h"
#include "platform/unique_handle.h"
#include "qtvchecksum/qtv_checksum.h"
#include "tests/support/temporary_folder.h"

extern char** environ;

namespace {

using namespace qtv::bench;

constexpr std::size_t kReadBlock = 4096;
constexpr int kFileRounds = 5;
constexpr int kStringRounds = 30;

// The file's size and the large text's; a check run takes a file that ends in a partial block.
std::size_t gFileSize = std::size_t{1} << 30;
std::size_t gLargeString = std::size_t{1} << 20;

// The file's contents, for the engine's own string speed on the same bytes.
std::vector<unsigned char> gBytes;
// 1 MiB of printable ASCII derived from the file's first MiB, for the string methods: their UTF-16 text
// and the UTF-8 bytes the control hands to the engine, which are the bytes the references checksum.
std::string gText;
std::u16string gText16;
constexpr std::string_view kAbc = "abc";
const std::u16string kAbc16 = u"abc";

std::filesystem::path gFile;
std::u16string gFile16;
qtv::QTVChecksum* gControl = nullptr;
qtv::engine::EntryPoint gEntry = nullptr;
std::vector<char*> gToolEnvironment; // this process's environment without the OpenSSL mask

constexpr auto kCloseFile = [](std::FILE* file) noexcept { std::fclose(file); };
using UniqueFile = qtv::platform::UniqueHandle<std::FILE*, nullptr, kCloseFile>;

std::string Narrow(const std::u16string& text) {
  std::string bytes;
  for (const char16_t unit : text) bytes += static_cast<char>(unit); // checksum texts are ASCII
  return bytes;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// ---- The control ----

using FileMethod = std::u16string (qtv::QTVChecksum::*)(std::u16string);
using StringMethod = std::u16string (qtv::QTVChecksum::*)(std::u16string, std::int32_t);

void ControlFile(benchmark::State& state, const std::string& name, FileMethod method) {
  std::u16string result;
  for (auto _ : state) {
    result = (gControl->*method)(gFile16);
    benchmark::DoNotOptimize(result.data());
  }
  SetBytes(state, gFileSize);
  Record(name, gFileSize, Narrow(result));
}

// The text is copied into every call, as a caller that keeps its text pays for it.
void ControlString(benchmark::State& state, const std::string& name, StringMethod method,
                   const std::u16string* text) {
  std::u16string result;
  for (auto _ : state) {
    result = (gControl->*method)(*text, static_cast<std::int32_t>(text->size()));
    benchmark::DoNotOptimize(result.data());
  }
  SetBytes(state, text->size());
  Record(name, text->size(), Narrow(result));
}

// The engine's own string speed: its string command, called through the entry of a copy of the very
// engine file the control deployed. The string methods are not used for this: they add the conversion of the
// text from UTF-16, which is the control's cost and not the engine's, and their text cannot carry the
// file's bytes (bytes above 127 become two in UTF-8). On the file's whole contents, held in memory, it is
// what the file methods are judged against: the same bytes, the same length of run, the same number of
// repetitions, so that both sides meet the machine's disturbance alike. On the 1 MiB of ASCII text it
// shows what the string methods add to the engine.
void EngineString(benchmark::State& state, const std::string& name, const char* word,
                  std::string_view bytes) {
  std::array<char, 302> output{};
  for (auto _ : state) {
    gEntry(word, bytes.data(), output.data(), static_cast<std::int32_t>(bytes.size()));
    benchmark::ClobberMemory();
  }
  SetBytes(state, bytes.size());
  Record(name, bytes.size(), output.data());
}

// An instance's life as a host's form or script gives it, beside another instance that lives on the same
// thread (gControl): created and ended, or created, asked for one checksum and ended. The call is what
// the engine must be loaded for; what it costs beyond the bare creation is the price of that.
constexpr std::u16string_view kMd5OfAbc = u"900150983cd24fb0d6963f7d28e17f72";

void CreateRelease(benchmark::State& state, const std::string& name) {
  for (auto _ : state) {
    qtv::QTVChecksum control;
    benchmark::DoNotOptimize(&control);
  }
  Record(name, 1, "");
}

void CreateCallRelease(benchmark::State& state, const std::string& name) {
  std::u16string result;
  for (auto _ : state) {
    qtv::QTVChecksum control;
    result = control.MD5String(kAbc16, 3);
    benchmark::DoNotOptimize(result.data());
  }
  if (result != kMd5OfAbc) state.SkipWithError("MD5String of \"abc\" gave another checksum");
  Record(name, 1, Narrow(result));
}

// ---- References in this process ----

// EVP_Digest: a context made and freed inside every call.
void OpenSSLOneShot(benchmark::State& state, const std::string& name, const char* algorithm,
                    std::string_view bytes) {
  const std::unique_ptr<EVP_MD, FreeMd> md(EVP_MD_fetch(nullptr, algorithm, nullptr));
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int digestSize = 0;
  for (auto _ : state) {
    EVP_Digest(bytes.data(), bytes.size(), digest.data(), &digestSize, md.get(), nullptr);
    benchmark::ClobberMemory();
  }
  SetBytes(state, bytes.size());
  Record(name, bytes.size(), Hex(digest.data(), digestSize));
}

// The file methods' reading alone, in the engine's shape (4096-byte freads from a 64 KiB stdio buffer),
// with nothing done to the bytes: what reading the file costs whatever is computed from it. The engine's
// string speed with this cost added is the best a file method of that shape can reach.
void ReadOnly(benchmark::State& state, const std::string& name) {
  std::array<char, 64 * 1024> streamBuffer;
  std::array<unsigned char, kReadBlock> block;
  for (auto _ : state) {
    UniqueFile file(std::fopen(gFile.c_str(), "rb"));
    if (!file) {
      state.SkipWithError("cannot open the benchmark file");
      return;
    }
    std::setvbuf(file.get(), streamBuffer.data(), _IOFBF, streamBuffer.size());
    while (std::fread(block.data(), 1, block.size(), file.get()) > 0) {
      benchmark::ClobberMemory();
    }
  }
  SetBytes(state, gFileSize);
  Record(name, gFileSize, "");
}

// ---- Outside tools ----

constexpr auto kCloseDescriptor = [](int descriptor) noexcept { close(descriptor); };
using UniqueDescriptor = qtv::platform::UniqueHandle<int, -1, kCloseDescriptor>;

struct SpawnActions {
  posix_spawn_file_actions_t actions;
  SpawnActions() { posix_spawn_file_actions_init(&actions); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
};

struct ToolRun {
  bool succeeded = false;
  double processorSeconds = 0; // the child's user and system time
  std::string output;          // its standard output
};

ToolRun RunTool(const std::vector<std::string>& command) {
  ToolRun run;
  std::array<int, 2> ends{};
  if (pipe2(ends.data(), O_CLOEXEC) != 0) return run;
  UniqueDescriptor readEnd(ends[0]);
  UniqueDescriptor writeEnd(ends[1]);
  SpawnActions spawn;
  posix_spawn_file_actions_adddup2(&spawn.actions, writeEnd.get(), STDOUT_FILENO);
  std::vector<char*> arguments;
  for (const std::string& argument : command) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawnp(&child, arguments[0], &spawn.actions, nullptr, arguments.data(),
                   gToolEnvironment.data()) != 0) {
    return run;
  }
  writeEnd.reset();
  std::array<char, 4096> chunk;
  ssize_t count = 0;
  while ((count = read(readEnd.get(), chunk.data(), chunk.size())) > 0 || (count < 0 && errno == EINTR)) {
    if (count > 0) run.output.append(chunk.data(), static_cast<std::size_t>(count));
  }
  int status = 0;
  struct rusage usage {};
  while (wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) return run;
  }
  const auto seconds = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
  };
  run.processorSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  run.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

// The checksum in a tool's line: the first word ("hex  name"), or the word after "= " for openssl dgst
// ("MD5(name)= hex").
std::string ToolChecksum(const std::string& output) {
  const std::size_t equals = output.rfind("= ");
  const std::size_t start = equals == std::string::npos ? 0 : equals + 2;
  const std::size_t end = output.find_first_of(" \n", start);
  return Lower(output.substr(start, end == std::string::npos ? std::string::npos : end - start));
}

void Tool(benchmark::State& state, const std::string& name, const std::vector<std::string>& command) {
  std::string checksum;
  for (auto _ : state) {
    const ToolRun run = RunTool(command);
    if (!run.succeeded) {
      state.SkipWithError(("cannot run " + command.front()).c_str());
      break;
    }
    state.SetIterationTime(run.processorSeconds);
    checksum = ToolChecksum(run.output);
  }
  SetBytes(state, gFileSize);
  Record(name, gFileSize, checksum);
}

// ---- Registration and the table ----

struct Algorithm {
  const char* method; // the methods' stem: MD5 for MD5File and MD5String
  FileMethod file;
  StringMethod string;
  const char* engineWord;
  const char* openssl; // null for the running checksums
  RunningChecksum zlib;
  uLong start;
  const char* coreutils; // null for the running checksums
};
const std::array<Algorithm, 5> kAlgorithms = {{
    {"MD5", &qtv::QTVChecksum::MD5File, &qtv::QTVChecksum::MD5String, "md5string", "MD5", nullptr, 0,
     "md5sum"},
    {"SHA1", &qtv::QTVChecksum::SHA1File, &qtv::QTVChecksum::SHA1String, "sha1string", "SHA1", nullptr, 0,
     "sha1sum"},
    {"SHA256", &qtv::QTVChecksum::SHA256File, &qtv::QTVChecksum::SHA256String, "sha256string", "SHA256",
     nullptr, 0, "sha256sum"},
    {"CRC32", &qtv::QTVChecksum::CRC32File, &qtv::QTVChecksum::CRC32String, "crc32string", nullptr, crc32, 0,
     nullptr},
    {"Adler32", &qtv::QTVChecksum::Adler32File, &qtv::QTVChecksum::Adler32String, "adler32string", nullptr,
     adler32, 1, nullptr},
}};

// The parts of the benchmarks' names that give their input; set once the sizes are known.
std::string gFileTag;
std::string gLargeTag;
std::string gFileTitle;
std::string gLargeTitle;
const std::string kCall = "/abc";
const std::string kCreateRelease = "control_create_release";
const std::string kCreateCallRelease = "control_create_MD5String_release";

std::string ControlFileName(const Algorithm& a) {
  return std::string("control_") + a.method + "File" + gFileTag;
}
std::string ControlStringName(const Algorithm& a, const std::string& size) {
  return std::string("control_") + a.method + "String" + size;
}
std::string EngineStringName(const Algorithm& a, const std::string& size) {
  return std::string("engine_") + a.engineWord + size;
}
std::string CoreutilsName(const Algorithm& a) { return std::string("tool_") + a.coreutils + gFileTag; }
std::string OpenSSLToolName(const Algorithm& a) {
  return std::string("tool_openssl_dgst_") + a.method + gFileTag;
}
std::string RhashName() { return "tool_rhash_crc32" + gFileTag; }
std::string ReadOnlyName() { return "fread_only" + gFileTag; }
std::string FreadName(const Algorithm& a) { return std::string("fread_zlib_") + a.method + gFileTag; }
std::string OneShotName(const Algorithm& a, const std::string& size) {
  return std::string("openssl_EVP_Digest_") + a.openssl + size;
}
std::string ReusedName(const Algorithm& a) { return std::string("openssl_reused_ctx_") + a.openssl + kCall; }
std::string ZlibName(const Algorithm& a, const std::string& size) {
  return std::string("zlib_") + a.method + size;
}

void RegisterAll() {
  const auto file = [](benchmark::internal::Benchmark* benchmark) {
    Repeat(benchmark->Unit(benchmark::kMillisecond), kFileRounds, 0);
  };
  const auto tool = [&file](const std::string& name, const std::vector<std::string>& command) {
    gMeasured[name].childTime = true;
    file(benchmark::RegisterBenchmark(name.c_str(), Tool, name, command)->UseManualTime());
  };
  const auto string = [](benchmark::internal::Benchmark* benchmark, benchmark::TimeUnit unit) {
    Repeat(benchmark->Unit(unit), kStringRounds, 0.01);
  };
  const std::string path = gFile.string();
  for (const Algorithm& a : kAlgorithms) {
    file(benchmark::RegisterBenchmark(ControlFileName(a).c_str(), ControlFile, ControlFileName(a), a.file));
    const std::string_view contents(reinterpret_cast<const char*>(gBytes.data()), gBytes.size());
    file(benchmark::RegisterBenchmark(EngineStringName(a, gFileTag).c_str(), EngineString,
                                      EngineStringName(a, gFileTag), a.engineWord, contents));
    string(benchmark::RegisterBenchmark(EngineStringName(a, gLargeTag).c_str(), EngineString,
                                        EngineStringName(a, gLargeTag), a.engineWord,
                                        std::string_view(gText)),
           benchmark::kMicrosecond);
    struct StringCase {
      const std::string& size;
      const std::u16string& text;
      std::string_view bytes;
      benchmark::TimeUnit unit;
    };
    for (const StringCase& c : {StringCase{gLargeTag, gText16, gText, benchmark::kMicrosecond},
                                StringCase{kCall, kAbc16, kAbc, benchmark::kNanosecond}}) {
      string(benchmark::RegisterBenchmark(ControlStringName(a, c.size).c_str(), ControlString,
                                          ControlStringName(a, c.size), a.string, &c.text),
             c.unit);
      if (a.openssl != nullptr) {
        string(benchmark::RegisterBenchmark(OneShotName(a, c.size).c_str(), OpenSSLOneShot,
                                            OneShotName(a, c.size), a.openssl, c.bytes),
               c.unit);
      } else {
        string(benchmark::RegisterBenchmark(ZlibName(a, c.size).c_str(), ZlibDirect, ZlibName(a, c.size),
                                            a.zlib, a.start, c.bytes),
               c.unit);
      }
    }
    if (a.openssl != nullptr) {
      string(benchmark::RegisterBenchmark(ReusedName(a).c_str(), OpenSSLReusedContext, ReusedName(a),
                                          a.openssl, kAbc),
             benchmark::kNanosecond);
      tool(CoreutilsName(a), {a.coreutils, path});
      tool(OpenSSLToolName(a), {"openssl", "dgst", "-" + Lower(a.method), path});
    } else {
      file(benchmark::RegisterBenchmark(FreadName(a).c_str(), FreadLoop, FreadName(a), gFile.string(),
                                        gFileSize, a.zlib, a.start));
    }
  }
  tool(RhashName(), {"rhash", "--crc32", "--simple", path});
  file(benchmark::RegisterBenchmark(ReadOnlyName().c_str(), ReadOnly, ReadOnlyName()));
  string(benchmark::RegisterBenchmark(kCreateRelease.c_str(), CreateRelease, kCreateRelease),
         benchmark::kMicrosecond);
  string(benchmark::RegisterBenchmark(kCreateCallRelease.c_str(), CreateCallRelease, kCreateCallRelease),
         benchmark::kMicrosecond);
}

// The engine's string speed with the cost of reading the file added, as a side of the table: the best
// repetitions combined, the medians combined, and so on in order.
std::string WithReadCost(const std::string& string) {
  const auto [strings, reads] = FindPair(string, ReadOnlyName());
  if (strings == nullptr) return {}; // a side filtered out of this run: the line is left out
  std::vector<double> stringRates = strings->bytesPerSecond;
  std::vector<double> readRates = reads->bytesPerSecond;
  std::sort(stringRates.begin(), stringRates.end());
  std::sort(readRates.begin(), readRates.end());
  const std::string name = string + "+read";
  Measured& combined = gMeasured[name];
  combined.bytesPerIteration = strings->bytesPerIteration;
  combined.checksum = strings->checksum;
  combined.bytesPerSecond.clear();
  for (std::size_t i = 0; i < std::min(stringRates.size(), readRates.size()); ++i) {
    combined.bytesPerSecond.push_back(1 / (1 / stringRates[i] + 1 / readRates[i]));
  }
  return name;
}

// One line of cost per call: ours and the reference in nanoseconds of processor time, their ratio (of
// the best repetitions and of the medians), and whether ours stays under `limit` times the reference.
void PrintPerCall(const std::string& title, const std::string& ours, const std::string& reference,
                  const char* aim, double limit, bool sameWork = true) {
  const bool agree = SidesAgree(title, ours, reference, sameWork);
  const auto [our, their] = FindPair(ours, reference);
  if (our == nullptr) return;
  const auto nanoseconds = [](const Measured& m, double bytesPerSecond) {
    return static_cast<double>(m.bytesPerIteration) / bytesPerSecond * 1e9;
  };
  const double ourBest = nanoseconds(*our, Best(our->bytesPerSecond));
  const double theirBest = nanoseconds(*their, Best(their->bytesPerSecond));
  const double ratio = ourBest / theirBest;
  const double medianRatio =
      nanoseconds(*our, Median(our->bytesPerSecond)) / nanoseconds(*their, Median(their->bytesPerSecond));
  const char* verdict = !agree ? "RESULTS DIFFER" : limit == 0 ? "" : ratio < limit ? "met" : "MISSED";
  std::printf("%-44s %9.1f %9.1f %7.3f %7.3f  %-7s %s\n", title.c_str(), ourBest, theirBest, ratio,
              medianRatio, aim, verdict);
}

void PrintTable() {
  std::printf("\nThroughput in MB/s (10^6 bytes per second of processor time: this thread's, or a tool's\n"
              "user + system) of the best repetition; ratio = ours / reference, of the best repetitions\n"
              "and of the medians\n");
  std::printf("%-44s %9s %9s %7s %7s  %-7s\n", "comparison", "ours", "reference", "ratio", "median", "aim");
  for (const Algorithm& a : kAlgorithms) {
    const std::string method = a.method;
    if (a.openssl != nullptr) {
      PrintRatio(method + "File / " + a.coreutils + ", " + gFileTitle, ControlFileName(a), CoreutilsName(a),
                 ">=1.00", 1.0);
      PrintRatio(method + "File / openssl dgst, " + gFileTitle, ControlFileName(a), OpenSSLToolName(a), "-",
                 0);
      PrintRatio(method + "File / engine string, " + gFileTitle, ControlFileName(a),
                 EngineStringName(a, gFileTag), ">=0.95", 0.95);
      PrintRatio(method + "File / engine string + read, " + gFileTitle, ControlFileName(a),
                 WithReadCost(EngineStringName(a, gFileTag)), "-", 0);
    } else {
      PrintRatio(method + "File / rhash --crc32, " + gFileTitle, ControlFileName(a), RhashName(), ">=1.00",
                 1.0, a.zlib == crc32);
      PrintRatio(method + "File / fread loop + zlib, " + gFileTitle, ControlFileName(a), FreadName(a),
                 ">=0.90", 0.90);
      PrintRatio(method + "File / engine string, " + gFileTitle, ControlFileName(a),
                 EngineStringName(a, gFileTag), "-", 0);
    }
  }
  if (const auto read = gMeasured.find(ReadOnlyName());
      read != gMeasured.end() && !read->second.bytesPerSecond.empty()) {
    std::printf("(reading alone, 4096-byte freads from a 64 KiB buffer: %.1f MB/s best, %.1f median)\n",
                Best(read->second.bytesPerSecond) / 1e6, Median(read->second.bytesPerSecond) / 1e6);
  }
  for (const Algorithm& a : kAlgorithms) {
    const std::string method = a.method;
    PrintRatio(method + "String " + gLargeTitle + " / engine string " + gLargeTitle,
               ControlStringName(a, gLargeTag), EngineStringName(a, gLargeTag), "-", 0);
    if (a.openssl != nullptr) {
      PrintRatio(method + "String " + gLargeTitle + " / OpenSSL EVP_Digest", ControlStringName(a, gLargeTag),
                 OneShotName(a, gLargeTag), "-", 0);
    } else {
      PrintRatio(method + "String " + gLargeTitle + " / zlib direct", ControlStringName(a, gLargeTag),
                 ZlibName(a, gLargeTag), "-", 0);
    }
  }
  std::printf(
      "\nCost per call in ns of this thread's processor time, of the best repetition; ratio = ours /\n"
      "reference, of the best repetitions and of the medians\n");
  std::printf("%-44s %9s %9s %7s %7s  %-7s\n", "comparison", "ours", "reference", "ratio", "median", "aim");
  for (const Algorithm& a : kAlgorithms) {
    const std::string method = a.method;
    if (a.openssl != nullptr) {
      PrintPerCall(method + "String \"abc\" / OpenSSL reused context", ControlStringName(a, kCall),
                   ReusedName(a), "<2.00", 2.0);
      PrintPerCall(method + "String \"abc\" / OpenSSL EVP_Digest", ControlStringName(a, kCall),
                   OneShotName(a, kCall), "-", 0);
    } else {
      PrintPerCall(method + "String \"abc\" / zlib direct", ControlStringName(a, kCall), ZlibName(a, kCall),
                   "-", 0);
    }
  }
  PrintPerCall("create, MD5String \"abc\", end / create, end", kCreateCallRelease, kCreateRelease, "-", 0,
               false);
}

// ---- The file and the control ----

// Makes the file's contents from a fixed pseudo-random sequence and keeps them, writes the file, reads it
// once so that it stands in the page cache, and derives the ASCII text from its first MiB.
void PrepareInputs(const std::filesystem::path& folder) {
  gFile = folder / "input.bin";
  const std::string name = gFile.string();
  gFile16.assign(name.begin(), name.end()); // the name is ASCII
  gBytes.resize(gFileSize);
  std::uint64_t random = 0x9e3779b97f4a7c15;
  for (std::size_t i = 0; i < gBytes.size(); i += 8) {
    random ^= random << 13;
    random ^= random >> 7;
    random ^= random << 17;
    std::memcpy(gBytes.data() + i, &random, 8);
  }
  UniqueFile file(std::fopen(gFile.c_str(), "wb"));
  bool written = file && std::fwrite(gBytes.data(), 1, gBytes.size(), file.get()) == gBytes.size();
  written = written && std::fflush(file.get()) == 0 && fsync(fileno(file.get())) == 0 &&
            std::fclose(file.release()) == 0;
  if (!written) throw std::system_error(errno, std::generic_category(), "writing " + gFile.string());

  std::vector<unsigned char> chunk(gLargeString);
  file.reset(std::fopen(gFile.c_str(), "rb"));
  while (file && std::fread(chunk.data(), 1, chunk.size(), file.get()) > 0) {
  }
  file.reset();

  gText.resize(gLargeString);
  std::transform(gBytes.begin(), gBytes.begin() + static_cast<std::ptrdiff_t>(gLargeString), gText.begin(),
                 [](unsigned char byte) { return static_cast<char>(' ' + byte % 95); });
  gText16.assign(gText.begin(), gText.end());
}

void PrepareToolEnvironment() {
  const std::string mask = std::string(kOpenSSLMaskVariable) + "=";
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, mask.c_str(), mask.size()) != 0) gToolEnvironment.push_back(*entry);
  }
  gToolEnvironment.push_back(nullptr);
}

constexpr auto kCloseLibrary = [](void* library) noexcept { dlclose(library); };
using UniqueLibrary = qtv::platform::UniqueHandle<void*, nullptr, kCloseLibrary>;

// The engine's own string speed is measured through a copy of the very engine file the control deployed
// in `folder`, loaded by this program: the same code, in a load of its own, so that the control's own
// loads and releases are measured as a host meets them and never pull the entry from under it.
UniqueLibrary LoadDeployedEngineCopy(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    const fs::path engine = entry.path() / "qtvsum.dll";
    if (!entry.path().filename().string().starts_with("QTVSoftware") || !fs::is_regular_file(engine))
      continue;
    const fs::path copy = folder / "engine-copy.so";
    fs::copy_file(engine, copy, fs::copy_options::overwrite_existing);
    return UniqueLibrary(dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL));
  }
  return UniqueLibrary();
}

int Run(int argc, char** argv) {
  if (!RunWithScalarOpenSSL(argv, "control_bench")) return 1;
  TakeCheckFlag(argc, argv);
  if (!InitializeInterleaved(argc, argv)) return 1;
  PrepareToolEnvironment();
  if (gCheckRun) {
    // A last block of 8 bytes, where the file methods' 4096-byte reads end in a partial one.
    gFileSize = (std::size_t{1} << 20) + 4104;
    gLargeString = std::size_t{64} << 10;
  }
  gFileTag = "/" + SizeName(gFileSize);
  gLargeTag = "/" + SizeName(gLargeString);
  gFileTitle = SizeTitle(gFileSize);
  gLargeTitle = SizeTitle(gLargeString);

  // The run's own folder holds the benchmark file and, as the control's temporary folder, the engine the
  // control deploys, so that an engine left there by another build is never measured.
  const qtv::testing::TemporaryFolder folder("qtv_control_bench");
  std::printf("OPENSSL_ia32cap=%s in this process; preparing a %zu byte file in the page cache in %s\n",
              kScalarOpenSSL, gFileSize, folder.path().c_str());
  PrepareInputs(folder.path());
  setenv("TMPDIR", folder.path().c_str(), 1);

  qtv::QTVChecksum control;
  gControl = &control;
  // The first call deploys the engine and loads it.
  if (control.MD5String(u"", 0).empty()) {
    std::fputs("control_bench: the control did not load its engine\n", stderr);
    return 1;
  }
  const UniqueLibrary library = LoadDeployedEngineCopy(folder.path());
  gEntry = library ? reinterpret_cast<qtv::engine::EntryPoint>(dlsym(library.get(), qtv::engine::kEntryName))
                   : nullptr;
  if (gEntry == nullptr) {
    std::fprintf(stderr, "control_bench: no engine deployed by the control could be loaded from %s\n",
                 folder.path().c_str());
    return 1;
  }

  RegisterAll();
  return RunAndPrintTable("control_bench", PrintTable);
}

} // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "control_bench: %s\n", error.what());
    return 1;
  }
}
