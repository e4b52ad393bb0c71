#pragma once
// A folder of this process's own under the temporary folder, made with a name nobody else takes at the
// same time (several builds run the same tests at once) and removed with all it holds at the end.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace qtv::testing {

class TemporaryFolder {
public:
  explicit TemporaryFolder(const std::string& prefix,
                           const std::filesystem::path& parent = std::filesystem::temp_directory_path()) {
    std::mt19937_64 random{std::random_device{}()};
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      char suffix[17];
      std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
      const std::filesystem::path candidate = parent / (prefix + "-" + suffix);
      // Creating the folder is the claim: it fails for a name that is taken.
      if (std::filesystem::create_directory(candidate)) path_ = candidate;
    }
    if (path_.empty()) throw std::runtime_error("no free folder name for " + prefix);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  const std::filesystem::path& path() const noexcept { return path_; }

private:
  std::filesystem::path path_;
};

} // namespace qtv::testing
