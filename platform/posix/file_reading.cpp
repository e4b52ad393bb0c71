#include "platform/file_reading.h"

#include <sys/stat.h>

namespace qtv::platform {

UniqueFile OpenForReading(const char* path) noexcept {
  UniqueFile file(std::fopen(path, "rb"));
  struct stat status {};
  if (file && (fstat(fileno(file.get()), &status) != 0 || S_ISDIR(status.st_mode))) file.reset();
  return file;
}

} // namespace qtv::platform
