// The tests a file name passes before a file request goes to the engine.
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "host/dll_interface2.h"
#include "platform/file_reading.h"
#include "platform/file_system.h"
#include "platform/input_file.h"
#include "platform/text.h"

namespace qtv::host {

bool IsEmptyName(const std::u16string& name) noexcept { return name.empty(); }

bool CanReadFile(const std::u16string& name) noexcept {
  try {
    // The file itself, through the name as given: only a regular file passes, and no FIFO or device is
    // opened on the way.
    const std::optional<std::int64_t> size = platform::RegularFileSize(name);
    if (!size) return false;
    const auto probeLength = static_cast<std::size_t>(std::clamp<std::int64_t>(*size, 0, 255));
    platform::UniqueFile file = platform::OpenRegularFile(name);
    if (!file) return false;
    std::array<char, 255> probe;
    const std::size_t read = std::fread(probe.data(), 1, probeLength, file.get());
    const bool failed = read != probeLength && std::ferror(file.get()) != 0;
    return !failed && std::fclose(file.release()) == 0;
  } catch (...) {
    return false;
  }
}

} // namespace qtv::host
