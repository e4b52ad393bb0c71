#include "platform/file_reading.h"

namespace qtv::platform {

// The C runtime's "rb" open already asks for read access with read and write sharing, and fails for a
// folder.
UniqueFile OpenForReading(const char* path) noexcept { return UniqueFile(std::fopen(path, "rb")); }

} // namespace qtv::platform
