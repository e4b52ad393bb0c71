#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/interface1.h"
#include "host/dll_interface2.h"
#include "platform/file_system.h"
#include "platform/testing.h"
#include "platform/text.h"

namespace qtv::host::testing {

namespace fs = std::filesystem;

inline const std::string kCaption = "QTV Checksum OCX 1.0.0";
inline const std::string kLoadFailed = kCaption + "|error loading the dll";
inline const std::string kEntryMissing = kCaption + "|error locating the interface1 function ";

inline std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
inline std::u16string Text(const fs::path& path) { return platform::FromAnsi(path.string()); }

// Each test gets its own temporary folder, announced to the host the way the system announces it, and
// starts and ends with this thread's engine unloaded.
class HostTest : public ::testing::Test {
protected:
  static const fs::path& Base() {
    static const fs::path base = fs::temp_directory_path();
    return base;
  }

  void SetUp() override {
    UnloadEngine();
    root_ = Base() / ("qtv-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    UseTempFolder(root_.string());
  }
  void TearDown() override {
    UnloadEngine();
    UseTempFolder(Base().string());
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  static void UseTempFolder(const std::string& folder) { platform::testing::SetTempFolderVariable(folder); }

  fs::path EngineFolder() const { return root_ / "QTVSoftware"; }
  fs::path EnginePath() const { return EngineFolder() / engine::kFileName; }
  static fs::path BuiltEngine() { return QTV_ENGINE_FILE; }

  // One checksum request as a control method makes it: make sure of the engine, then call it.
  static std::u16string Md5Request(const std::u16string& text) {
    EnsureEngineLoaded();
    std::u16string command = u"md5string";
    std::u16string input = text;
    std::u16string output = std::u16string(300, u' ') + u'\0';
    CallEngine(command, input, output, static_cast<std::int32_t>(platform::ToAnsi(text).size()));
    return output.substr(0, 32);
  }

  fs::path root_;
};

inline const std::u16string kMd5OfAbc = u"900150983cd24fb0d6963f7d28e17f72";

} // namespace qtv::host::testing
