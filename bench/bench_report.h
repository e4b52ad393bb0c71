#pragma once
// What the benchmark programs share: the run with OpenSSL's scalar code, the record of every repetition,
// and the table of ratios that closes a run.
//
// Throughput counts processor time, user and system, which leaves out the time other processes on a
// shared machine take the processor away. The ratio that is judged compares the best repetition of each
// side, since interference only ever slows a run down; the ratio of the medians stands beside it to show
// how much the machine disturbed the run.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qtv::bench {

// OpenSSL chooses its code when libcrypto is loaded, from this variable: the masks clear SSSE3 (bit 41),
// XOP (bit 43) and AVX (bit 60) of the first capability word, and BMI1 (bit 3), AVX2 (bit 5), BMI2 (bit 8)
// and the SHA extensions (bit 29) of the second, which leaves its general-purpose integer code.
inline constexpr const char* kScalarOpenSSL = "~0x10000A0000000000:~0x20000128";
inline constexpr const char* kOpenSSLMaskVariable = "OPENSSL_ia32cap";

// libcrypto reads its capability mask while it is loaded, before main; so the program runs itself again
// with the mask in its environment. Returns when the mask is in place; false when running again failed.
inline bool RunWithScalarOpenSSL(char** argv, const char* program) {
  const char* mask = std::getenv(kOpenSSLMaskVariable);
  if (mask != nullptr && std::strcmp(mask, kScalarOpenSSL) == 0) return true;
  setenv(kOpenSSLMaskVariable, kScalarOpenSSL, 1);
  execv("/proc/self/exe", argv);
  const std::string message = std::string(program) + ": running again with " + kOpenSSLMaskVariable;
  std::perror(message.c_str());
  return false;
}

// Google Benchmark's start with random interleaving on by default; the same flag given on the command
// line wins. False when the command line holds an argument it does not know.
inline bool InitializeInterleaved(int argc, char** argv) {
  std::vector<char*> arguments = {argv[0]};
  std::string interleaving = "--benchmark_enable_random_interleaving=true";
  arguments.push_back(interleaving.data());
  arguments.insert(arguments.end(), argv + 1, argv + argc);
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  return !benchmark::ReportUnrecognizedArguments(count, arguments.data());
}

// A check run proves that the program works rather than measuring it: every benchmark runs once, on
// inputs small enough for the test command, and the program fails when a benchmark fails or when the two
// sides of a line of its table did not compute the same checksum. No time is judged.
inline bool gCheckRun = false;
// What went wrong in this run, one line each; any of them fails a check run, and every run says them.
inline std::vector<std::string> gProblems;

// Takes "--check" out of the arguments; it sets gCheckRun.
inline void TakeCheckFlag(int& argc, char** argv) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--check") == 0) {
      gCheckRun = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  argv[argc] = nullptr;
}

// How a benchmark repeats: `repetitions` times, each for at least `minSeconds` of processor time, or for
// one iteration when `minSeconds` is 0. A check run runs every benchmark for one iteration, once.
inline benchmark::internal::Benchmark* Repeat(benchmark::internal::Benchmark* benchmark, int repetitions,
                                              double minSeconds) {
  if (gCheckRun) return benchmark->Iterations(1)->Repetitions(1);
  benchmark->Repetitions(repetitions);
  return minSeconds > 0 ? benchmark->MinTime(minSeconds) : benchmark->Iterations(1);
}

// What each benchmark measured and computed, for the table at the end.
struct Measured {
  std::size_t bytesPerIteration = 0;
  std::vector<double> bytesPerSecond; // one per repetition
  std::string checksum;               // the text a run produced, to confirm that two sides did the same work
  // The benchmark reports the processor time of a child process as its manual time, in place of the
  // processor time of the measuring thread.
  bool childTime = false;
};
inline std::map<std::string, Measured> gMeasured;

inline std::string Hex(const unsigned char* bytes, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    std::array<char, 3> digits;
    std::snprintf(digits.data(), digits.size(), "%02x", bytes[i]);
    text += digits.data();
  }
  return text;
}

inline std::string Hex32(unsigned long value) {
  std::array<char, 9> digits;
  std::snprintf(digits.data(), digits.size(), "%08lx", value);
  return digits.data();
}

// A size as the benchmarks' names give it, "1GiB", "64KiB" or "1052680B", and as the tables' titles
// give it, "1 GiB": exact, so that two sizes never share a name.
inline std::string SizeName(std::size_t size) {
  for (const auto& [shift, unit] : {std::pair{30, "GiB"}, std::pair{20, "MiB"}, std::pair{10, "KiB"}}) {
    const std::size_t whole = std::size_t{1} << shift;
    if (size >= whole && size % whole == 0) return std::to_string(size >> shift) + unit;
  }
  return std::to_string(size) + "B";
}
inline std::string SizeTitle(std::size_t size) {
  std::string name = SizeName(size);
  return name.insert(name.find_first_not_of("0123456789"), " ");
}

inline void Record(const std::string& name, std::size_t bytes, std::string checksum) {
  Measured& measured = gMeasured[name];
  measured.bytesPerIteration = bytes;
  measured.checksum = std::move(checksum);
}

// The bytes one benchmark's iterations went through, for the throughput columns.
inline void SetBytes(benchmark::State& state, std::size_t bytesPerIteration) {
  state.SetBytesProcessed(
      static_cast<std::int64_t>(static_cast<std::size_t>(state.iterations()) * bytesPerIteration));
}

// Records every repetition and shows only the medians, which keeps the console to one line a benchmark.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
  using ConsoleReporter::ConsoleReporter;
  void ReportRuns(const std::vector<Run>& runs) override {
    std::vector<Run> shown;
    for (const Run& run : runs) {
      if (run.error_occurred) gProblems.push_back(run.benchmark_name() + ": " + run.error_message);
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        Measured& measured = gMeasured[run.run_name.function_name];
        const double seconds = measured.childTime ? run.real_accumulated_time : run.cpu_accumulated_time;
        if (seconds > 0) {
          const double bytes =
              static_cast<double>(measured.bytesPerIteration) * static_cast<double>(run.iterations);
          measured.bytesPerSecond.push_back(bytes / seconds);
        }
      }
      if (run.run_type == Run::RT_Aggregate ? run.aggregate_name == "median" : run.repetitions == 1) {
        shown.push_back(run);
      }
    }
    if (!shown.empty()) ConsoleReporter::ReportRuns(shown);
  }
};

inline double Best(const std::vector<double>& values) {
  return *std::max_element(values.begin(), values.end());
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Whether the two sides of a line of the table did the same work: a line whose sides checksum the same
// bytes (`sameInput`) and disagree is a fault of one of them. A side that did not run is one in a check
// run, which runs everything; otherwise it was filtered out.
inline bool SidesAgree(const std::string& title, const std::string& ours, const std::string& reference,
                       bool sameInput) {
  const auto oursRun = gMeasured.find(ours);
  const auto referenceRun = gMeasured.find(reference);
  if (oursRun == gMeasured.end() || referenceRun == gMeasured.end()) {
    if (gCheckRun) gProblems.push_back(title + ": not run");
    return true;
  }
  if (!sameInput || oursRun->second.checksum == referenceRun->second.checksum) return true;
  gProblems.push_back(title + ": results differ (" + oursRun->second.checksum + " against " +
                      referenceRun->second.checksum + ")");
  return false;
}

// The two sides of one line of the table; null when either was filtered out of this run.
inline std::pair<const Measured*, const Measured*> FindPair(const std::string& ours,
                                                            const std::string& reference) {
  const auto oursRun = gMeasured.find(ours);
  const auto referenceRun = gMeasured.find(reference);
  if (oursRun == gMeasured.end() || referenceRun == gMeasured.end() ||
      oursRun->second.bytesPerSecond.empty() || referenceRun->second.bytesPerSecond.empty()) {
    return {nullptr, nullptr};
  }
  return {&oursRun->second, &referenceRun->second};
}

// One line of throughput: ours and the reference in MB/s, their ratio, the aim and the verdict. When the
// two sides checksum different bytes (`sameInput` false), their results are not compared.
inline void PrintRatio(const std::string& title, const std::string& ours, const std::string& reference,
                       const char* aim, double aimRatio, bool sameInput = true) {
  const bool agree = SidesAgree(title, ours, reference, sameInput);
  const auto [our, their] = FindPair(ours, reference);
  if (our == nullptr) return;
  const double ratio = Best(our->bytesPerSecond) / Best(their->bytesPerSecond);
  const double medianRatio = Median(our->bytesPerSecond) / Median(their->bytesPerSecond);
  const char* verdict = !agree ? "RESULTS DIFFER" : aimRatio == 0 ? "" : ratio >= aimRatio ? "met" : "MISSED";
  std::printf("%-44s %9.1f %9.1f %7.3f %7.3f  %-7s %s\n", title.c_str(), Best(our->bytesPerSecond) / 1e6,
              Best(their->bytesPerSecond) / 1e6, ratio, medianRatio, aim, verdict);
}

// Runs the registered benchmarks, one console line each, then prints the program's table of ratios and
// what went wrong. Returns the program's exit status: 1 when anything went wrong.
inline int RunAndPrintTable(const char* program, void (*printTable)()) {
  RecordingReporter reporter(isatty(fileno(stdout)) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                    : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printTable();
  benchmark::Shutdown();
  std::fflush(stdout);
  for (const std::string& problem : gProblems) std::fprintf(stderr, "%s: %s\n", program, problem.c_str());
  if (gCheckRun) {
    std::printf("%s check run: %s\n", program,
                gProblems.empty() ? "every benchmark ran and agreed" : "FAILED");
  }
  return gProblems.empty() ? 0 : 1;
}

} // namespace qtv::bench
