#include "platform/file_reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qtv::platform {
namespace {

inline constexpr auto kCloseDescriptor = [](int descriptor) noexcept { close(descriptor); };
using UniqueDescriptor = UniqueHandle<int, -1, kCloseDescriptor>;

} // namespace

UniqueFile OpenForReading(const char* path) noexcept {
  // Looked at before it is opened, so that no device or FIFO is ever opened by name.
  struct stat status {};
  if (stat(path, &status) != 0 || !S_ISREG(status.st_mode)) return {};
  // Should a FIFO take the file's place in between, opening without waiting lets fstat refuse it.
  UniqueDescriptor descriptor(open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!descriptor || fstat(descriptor.get(), &status) != 0 || !S_ISREG(status.st_mode)) return {};
  const int flags = fcntl(descriptor.get(), F_GETFL);
  if (flags == -1 || fcntl(descriptor.get(), F_SETFL, flags & ~O_NONBLOCK) == -1) return {};
  UniqueFile file(fdopen(descriptor.get(), "rb"));
  if (file) static_cast<void>(descriptor.release()); // the stream closes it now
  return file;
}

} // namespace qtv::platform
