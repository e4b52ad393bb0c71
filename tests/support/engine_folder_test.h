#pragma once
// The fixture of every test that deploys the engine through the host: each test gets a temporary folder
// of its own, announced to the host the way the system announces it, and starts and ends with this
// thread's engine unloaded.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "host/dll_interface2.h"
#include "platform/engine_files.h"
#include "platform/testing.h"
#include "platform/text.h"
#include "tests/support/temporary_folder.h"

namespace qtv::testing {

class EngineFolderTest : public ::testing::Test {
protected:
  using Path = std::filesystem::path;

  void SetUp() override {
    host::UnloadEngine();
    folder_.emplace("qtv-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    root_ = folder_->path();
    UseTempFolder(root_);
  }
  void TearDown() override {
    host::UnloadEngine();
    UseTempFolder(root_.parent_path());
    folder_.reset();
  }

  static void UseTempFolder(const Path& folder) { platform::testing::SetTempFolderVariable(folder); }
  static std::u16string Text(const Path& path) { return platform::FromAnsi(path.string()); }

  // A real folder below this test's folder whose path is exactly `length` characters long, made of
  // levels of at most `level` characters: deep enough for the limits of the system's older functions.
  Path DeepFolder(std::size_t length, std::size_t level = 40) const {
    Path::string_type path = root_.native();
    while (path.size() < length) {
      const std::size_t left = length - path.size() - 1;
      // Never leave a last level of nothing.
      const std::size_t next = left > level && left - level < 2 ? level - 2 : std::min(left, level);
      path += Path::preferred_separator;
      path.append(next, Path::value_type{'x'});
    }
    std::filesystem::create_directories(path);
    return path;
  }

  // Where the host puts the engine under this test's temporary folder.
  Path EngineFolder() const { return root_ / platform::EngineFolderName(); }
  Path EnginePath() const { return EngineFolder() / std::u16string(host::kEngineFileName); }

  Path root_;

private:
  std::optional<TemporaryFolder> folder_;
};

} // namespace qtv::testing
