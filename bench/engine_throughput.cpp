// The engine library's throughput on its own platform: each of the ten commands on the same deterministic
// bytes (64 MiB by default), the string commands from memory and the file commands from a file this
// program writes. Built for every target, so the Windows engines can be measured under Wine beside the
// Linux one; bench/windows-engines.sh runs them all and prints one table.
//
// Usage: engine_throughput ENGINE [--bytes N] [--repetitions N] [--min-seconds S] [--file PATH]
// Output, tab-separated, a header line and one line per command: the command word; MB/s, 10^6 bytes per
// second of the measuring thread's processor time in the best repetition (0 when too short to measure);
// the checksum text. Every repetition runs the ten commands in turn, so a busy phase of the machine is
// shared among them; a repetition runs a command as often as it takes to spend --min-seconds of
// processor time, since Wine counts that time in 10 ms ticks.
// Exits with 1 when the engine cannot be loaded or refuses a command, and when a string command and its
// file command disagree on the same bytes.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#include <unistd.h>
#endif

#include "platform/library.h"
#include "platform/unique_handle.h"

namespace {

using qtv::platform::EntryAddress;
using qtv::platform::LibraryHandle;

constexpr std::size_t kDefaultBytes = std::size_t{64} << 20;

struct Options {
  std::string engine;
  std::size_t bytes = kDefaultBytes;
  int repetitions = 5;
  double minSeconds = 0.5;
  std::filesystem::path file; // empty: a file of this process's own in the temporary folder
};

// The ten commands, each string command beside the file command of the same algorithm.
constexpr std::array<std::pair<const char*, const char*>, 5> kCommandPairs = {{
    {"md5string", "md5file"},
    {"sha1string", "sha1file"},
    {"sha256string", "sha256file"},
    {"crc32string", "crc32file"},
    {"adler32string", "adler32file"},
}};

// Processor time of the calling thread, user and system, in seconds. The file commands read from the page
// cache, so system time is the whole of their reading cost.
double ThreadProcessorSeconds() {
#if defined(_WIN32)
  FILETIME creation, exit, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user)) {
    throw std::runtime_error("GetThreadTimes failed");
  }
  const auto ticks = [](const FILETIME& time) {
    return static_cast<double>(std::uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) * 1e-7; // 100 ns ticks
#else
  timespec now{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) throw std::runtime_error("clock_gettime failed");
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#endif
}

unsigned long ProcessId() {
#if defined(_WIN32)
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

// The same bytes engine_bench uses (a xorshift sequence), so figures from both programs compare.
std::vector<char> DeterministicBytes(std::size_t size) {
  std::vector<char> bytes(size);
  std::uint64_t random = 0x9e3779b97f4a7c15;
  for (char& byte : bytes) {
    random ^= random << 13;
    random ^= random >> 7;
    random ^= random << 17;
    byte = static_cast<char>(random >> 56);
  }
  return bytes;
}

// The input file: written whole, read once so that every measurement finds it in the page cache, and
// removed when the run ends.
class InputFile {
public:
  InputFile(std::filesystem::path path, const std::vector<char>& bytes) : path_(std::move(path)) {
    {
      std::ofstream out(path_, std::ios::binary | std::ios::trunc);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      out.close();
      if (!out) throw std::runtime_error("cannot write " + path_.string());
    }
    std::ifstream in(path_, std::ios::binary);
    std::vector<char> scratch(std::size_t{1} << 20);
    while (in.read(scratch.data(), static_cast<std::streamsize>(scratch.size())) || in.gcount() > 0) {
    }
  }
  ~InputFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  const std::filesystem::path& path() const noexcept { return path_; }

private:
  std::filesystem::path path_;
};

constexpr auto kReleaseLibrary = [](LibraryHandle library) noexcept {
  qtv::platform::ReleaseLibrary(library);
};
using UniqueLibrary = qtv::platform::UniqueHandle<LibraryHandle, LibraryHandle{0}, kReleaseLibrary>;

// The engine loaded by path through the platform's library services, called as the control calls it.
class Engine {
public:
  explicit Engine(const std::string& path) : library_(qtv::platform::LoadLibraryAt(path)) {
    if (!library_) throw std::runtime_error("cannot load the engine " + path);
    entry_ = qtv::platform::FindExport(library_.get(), "interface1");
    if (entry_ == 0) throw std::runtime_error("no interface1 in " + path);
  }

  // The checksum text of one command; throws when the engine refuses it.
  std::string Run(const char* command, const char* input, std::int32_t length) const {
    std::array<char, 302> output;
    output.fill(' ');
    output.back() = '\0';
    if (qtv::platform::CallEntry(entry_, command, input, output.data(), length) != 1) {
      throw std::runtime_error(std::string("the engine refused ") + command);
    }
    return std::string(output.data(), ::strnlen(output.data(), output.size()));
  }

private:
  UniqueLibrary library_;
  EntryAddress entry_ = 0;
};

struct Measurement {
  const char* command;
  std::string checksum;
  double bestBytesPerSecond = 0;
};

// One repetition of one command: as many calls as fill the minimum processor time, at least one.
double MeasureOnce(const Engine& engine, Measurement& measurement, const char* input, std::int32_t length,
                   std::size_t bytes, double minSeconds) {
  std::size_t calls = 0;
  const double start = ThreadProcessorSeconds();
  double elapsed = 0;
  do {
    measurement.checksum = engine.Run(measurement.command, input, length);
    ++calls;
    elapsed = ThreadProcessorSeconds() - start;
  } while (elapsed < minSeconds);
  // A run shorter than the clock's tick reads as no time at all: its rate is unknown, shown as 0.
  return elapsed > 0 ? static_cast<double>(bytes * calls) / elapsed : 0;
}

bool ParseNumber(std::string_view text, auto& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

bool ParseOptions(int argc, char** argv, Options& options) {
  if (argc < 2) return false;
  options.engine = argv[1];
  for (int i = 2; i < argc; i += 2) {
    if (i + 1 == argc) return false; // a name without its value
    const std::string_view name = argv[i];
    const std::string_view value = argv[i + 1];
    bool parsed = false;
    if (name == "--bytes") {
      parsed = ParseNumber(value, options.bytes) && options.bytes > 0 && options.bytes <= 0x7fffffff;
    } else if (name == "--repetitions") {
      parsed = ParseNumber(value, options.repetitions) && options.repetitions > 0;
    } else if (name == "--min-seconds") {
      // from_chars for double is missing from MinGW's library; a decimal text through stod serves.
      try {
        options.minSeconds = std::stod(std::string(value));
        parsed = options.minSeconds >= 0;
      } catch (const std::exception&) {
        parsed = false;
      }
    } else if (name == "--file") {
      options.file = std::string(value);
      parsed = !value.empty();
    }
    if (!parsed) return false;
  }
  return true;
}

int Run(const Options& options) {
  const std::vector<char> bytes = DeterministicBytes(options.bytes);
  const std::filesystem::path path =
      options.file.empty() ? std::filesystem::temp_directory_path() /
                                 ("qtv_engine_throughput_" + std::to_string(ProcessId()) + ".bin")
                           : options.file;
  const InputFile file(path, bytes);
  const std::string fileName = file.path().string();
  const Engine engine(options.engine);
  const auto length = static_cast<std::int32_t>(bytes.size());

  std::vector<Measurement> measurements;
  for (const auto& [stringCommand, fileCommand] : kCommandPairs) {
    measurements.push_back({stringCommand, {}, 0});
    measurements.push_back({fileCommand, {}, 0});
  }
  for (int repetition = 0; repetition < options.repetitions; ++repetition) {
    for (Measurement& measurement : measurements) {
      const bool isFile = std::string_view(measurement.command).ends_with("file");
      const double rate = MeasureOnce(engine, measurement, isFile ? fileName.c_str() : bytes.data(),
                                      isFile ? 0 : length, bytes.size(), options.minSeconds);
      measurement.bestBytesPerSecond = std::max(measurement.bestBytesPerSecond, rate);
    }
  }

  std::printf("command\tmb_per_s\tchecksum\n");
  for (const Measurement& measurement : measurements) {
    std::printf("%s\t%.1f\t%s\n", measurement.command, measurement.bestBytesPerSecond / 1e6,
                measurement.checksum.c_str());
  }
  // A string command and its file command saw the same bytes, so their results must be the same.
  int status = 0;
  for (std::size_t i = 0; i < measurements.size(); i += 2) {
    if (measurements[i].checksum != measurements[i + 1].checksum) {
      std::fprintf(stderr, "engine_throughput: %s gives %s but %s gives %s\n", measurements[i].command,
                   measurements[i].checksum.c_str(), measurements[i + 1].command,
                   measurements[i + 1].checksum.c_str());
      status = 1;
    }
  }
  return status;
}

} // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: engine_throughput ENGINE [--bytes N] [--repetitions N] [--min-seconds S] "
                         "[--file PATH]\n");
    return 2;
  }
  try {
    return Run(options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "engine_throughput: %s\n", error.what());
    return 1;
  }
}
