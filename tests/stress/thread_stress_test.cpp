// Many control instances on several threads at once. Each thread creates and ends a few hundred
// instances, several alive at a time and ending in every order (first, last or in between), and calls
// every method but About on them with inputs whose answers are known. The engine state is the
// thread's own: a fresh thread has nothing loaded, its first request loads the engine, an instance
// ending while others live on its thread leaves the load as it is, and the last one ending releases it
// and leaves the state empty, so that no later call on the thread can reach a released engine; the next
// request loads it again. The threads start together, so their first requests also race to deploy the
// engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host/dll_interface2.h"
#include "host/dll_interface2_testing.h"
#include "platform/testing.h"
#include "platform/text.h"
#include "qtvchecksum/qtv_checksum.h"
#include "tests/support/engine_folder_test.h"

namespace qtv {
namespace {

namespace fs = std::filesystem;

constexpr int kThreads = 4;
constexpr int kInstancesPerThread = 300;
constexpr std::size_t kMostAlive = 4;

constexpr char16_t kFox[] = u"The quick brown fox jumps over the lazy dog";
constexpr std::int32_t kFoxLength = 43;

struct Algorithm {
  std::u16string (QTVChecksum::*string)(std::u16string, std::int32_t);
  std::u16string (QTVChecksum::*file)(std::u16string);
  std::u16string fox;
  std::u16string abc;
};
const Algorithm kAlgorithms[] = {
    {&QTVChecksum::CRC32String, &QTVChecksum::CRC32File, u"414fa339", u"352441c2"},
    {&QTVChecksum::MD5String, &QTVChecksum::MD5File, u"9e107d9d372bb6826bd81d3542a419d6",
     u"900150983cd24fb0d6963f7d28e17f72"},
    {&QTVChecksum::SHA1String, &QTVChecksum::SHA1File, u"2fd4e1c67a2d28fced849ee1bb76e7391b93eb12",
     u"a9993e364706816aba3e25717850c26c9cd0d89d"},
    {&QTVChecksum::SHA256String, &QTVChecksum::SHA256File,
     u"d7a8fbb307d7809469ca9abcb0082e4f8d5651e46d3cdb762d02d0bf37c9e592",
     u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {&QTVChecksum::Adler32String, &QTVChecksum::Adler32File, u"5bdc0fda", u"024d0127"},
};

// One live instance and the error numbers its handler has seen.
struct Instance {
  QTVChecksum control;
  std::vector<std::int32_t> events;
  Instance() {
    control.ConnectErrorCode([this](std::int32_t& number, std::u16string&) { events.push_back(number); });
  }
};

// What one thread does; failures are collected and reported by the test's own thread.
class Worker {
public:
  Worker(unsigned seed, std::u16string abcFile, std::u16string missingFile)
      : random_(seed), abcFile_(std::move(abcFile)), missingFile_(std::move(missingFile)) {}

  void Run() {
    Expect(!host::testing::CurrentEngineState().EngineLoaded, "a new thread starts with nothing loaded");
    int created = 0;
    while (created < kInstancesPerThread || !alive_.empty()) {
      const int action = Pick(10);
      if (created < kInstancesPerThread && alive_.size() < kMostAlive && (action < 3 || alive_.empty())) {
        alive_.push_back(std::make_unique<Instance>());
        ++created;
      } else if (action == 3 || action == 4 || created == kInstancesPerThread) {
        End();
      } else {
        Call(*alive_[Pick(alive_.size())]);
      }
    }
  }

  const std::vector<std::string>& failures() const { return failures_; }

private:
  std::size_t Pick(std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_);
  }
  int Pick(int count) { return static_cast<int>(Pick(static_cast<std::size_t>(count))); }

  void Expect(bool condition, const std::string& what) {
    if (!condition && failures_.size() < 20) failures_.push_back(what);
  }

  // Ends the first, the last or any instance in between.
  void End() {
    std::size_t index = 0;
    switch (Pick(3)) {
    case 0:
      index = 0;
      break;
    case 1:
      index = alive_.size() - 1;
      break;
    default:
      index = Pick(alive_.size());
      break;
    }
    const host::testing::EngineState before = host::testing::CurrentEngineState();
    alive_.erase(alive_.begin() + static_cast<std::ptrdiff_t>(index));
    const host::testing::EngineState state = host::testing::CurrentEngineState();
    if (alive_.empty()) {
      Expect(!state.EngineLoaded && state.EngineHandle == 0 && state.EngineEntry == 0,
             "the thread's last instance ending releases and forgets its load");
    } else {
      Expect(state.EngineLoaded == before.EngineLoaded && state.EngineHandle == before.EngineHandle &&
                 state.EngineEntry == before.EngineEntry,
             "an instance ending leaves the load of the others on its thread as it is");
    }
  }

  void Call(Instance& instance) {
    const Algorithm& algorithm = kAlgorithms[Pick(std::size(kAlgorithms))];
    QTVChecksum& control = instance.control;
    switch (Pick(6)) {
    case 0:
      Expect((control.*algorithm.string)(kFox, kFoxLength) == algorithm.fox, "string method, whole text");
      break;
    case 1:
      Expect((control.*algorithm.string)(u"abcdef", 3) == algorithm.abc, "string method, first bytes");
      break;
    case 2:
      Expect((control.*algorithm.file)(abcFile_) == algorithm.abc, "file method");
      break;
    case 3:
      ExpectEvent(instance, (control.*algorithm.file)(u""), 3);
      break;
    case 4:
      ExpectEvent(instance, (control.*algorithm.file)(missingFile_), 5);
      break;
    default:
      Expect(control.ControlName() == u"QTV Checksum OCX 1.0.0", "ControlName");
      return; // needs no engine
    }
    Expect(host::testing::CurrentEngineState().EngineLoaded, "a request loads the engine on its own thread");
  }

  void ExpectEvent(Instance& instance, const std::u16string& result, std::int32_t number) {
    Expect(result.empty(), "a refused file returns the empty text");
    Expect(instance.events == std::vector<std::int32_t>{number}, "the refusal raises its error number once");
    instance.events.clear();
  }

  std::mt19937 random_;
  std::u16string abcFile_;
  std::u16string missingFile_;
  std::vector<std::unique_ptr<Instance>> alive_;
  std::vector<std::string> failures_;
};

// Lets the workers go only once all of them are there, so that their first requests meet. Built from a
// mutex and a condition variable: MinGW's std::latch waits without a futex, and under load its last
// arrival now and then failed to wake a waiter, which then waited forever after the others had ended.
class StartGate {
public:
  explicit StartGate(int count) : missing_(count) {}
  void ArriveAndWait() {
    std::unique_lock lock(mutex_);
    if (--missing_ == 0) {
      open_.notify_all();
      return;
    }
    open_.wait(lock, [this] { return missing_ == 0; });
  }

private:
  std::mutex mutex_;
  std::condition_variable open_;
  int missing_;
};

class ThreadStressTest : public qtv::testing::EngineFolderTest {
protected:
  void SetUp() override {
    EngineFolderTest::SetUp();
    std::ofstream(root_ / "abc.txt", std::ios::binary) << "abc";
  }
};

TEST_F(ThreadStressTest, InstancesComeAndGoOnManyThreadsAndEachThreadLoadsForItself) {
  std::vector<Worker> workers;
  for (unsigned i = 0; i < kThreads; ++i)
    workers.emplace_back(i + 1, Text(root_ / "abc.txt"), Text(root_ / "missing.txt"));
  StartGate start(kThreads);
  std::vector<std::thread> threads;
  for (Worker& worker : workers) {
    threads.emplace_back([&worker, &start] {
      start.ArriveAndWait();
      worker.Run();
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (std::size_t i = 0; i < workers.size(); ++i) {
    EXPECT_EQ(workers[i].failures(), std::vector<std::string>{}) << "thread " << i;
  }
  EXPECT_FALSE(host::testing::CurrentEngineState().EngineLoaded)
      << "the test's own thread never asked for the engine";
}

} // namespace
} // namespace qtv
