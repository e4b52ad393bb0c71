#include "platform/input_file.h"

#include <sys/stat.h>

#include "platform/text.h"

namespace qtv::platform {
namespace {

// The bytes the system takes for `name`: its exact UTF-8 form, and nothing for a name that has none or
// that holds a NUL, where the system's names end.
std::optional<std::string> SystemName(std::u16string_view name) {
  if (name.empty() || name.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  return ToAnsiExactly(name);
}

} // namespace

std::optional<std::int64_t> RegularFileSize(std::u16string_view name) noexcept {
  try {
    const std::optional<std::string> path = SystemName(name);
    struct stat status {};
    if (!path || stat(path->c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    return static_cast<std::int64_t>(status.st_size);
  } catch (...) {
    return std::nullopt;
  }
}

UniqueFile OpenRegularFile(std::u16string_view name) noexcept {
  try {
    const std::optional<std::string> path = SystemName(name);
    return path ? OpenForReading(path->c_str()) : UniqueFile();
  } catch (...) {
    return {};
  }
}

std::optional<std::u16string> NameInAnsiForm(std::u16string_view name) {
  if (!SystemName(name)) return std::nullopt;
  return std::u16string(name);
}

std::optional<std::u16string> NameInAnsiForm(std::u16string_view name, unsigned /*codePage*/) {
  return NameInAnsiForm(name);
}

} // namespace qtv::platform
