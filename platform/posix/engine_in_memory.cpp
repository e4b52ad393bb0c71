#include "platform/posix/engine_in_memory.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/descriptors.h"

namespace qtv::platform::posix {
namespace {

// Asks for an executable memory file where the system makes them non-executable by default
// (vm.memfd_noexec); kernels before 6.3 know no such flag and refuse it, and make them executable anyway.
#if defined(MFD_EXEC)
constexpr unsigned kExecutable = MFD_EXEC;
#else
constexpr unsigned kExecutable = 0x0010U;
#endif

Descriptor CreateMemoryFile(const std::string& name) noexcept {
  constexpr unsigned kFlags = MFD_CLOEXEC | MFD_ALLOW_SEALING;
  Descriptor file(memfd_create(name.c_str(), kFlags | kExecutable));
  if (!file && errno == EINVAL) file.reset(memfd_create(name.c_str(), kFlags));
  return file;
}

} // namespace

bool RunsNoPrograms(int folder) noexcept {
  struct statvfs status {};
  return fstatvfs(folder, &status) == 0 && (status.f_flag & ST_NOEXEC) != 0;
}

LibraryHandle LoadFromMemory(const std::string& name, std::span<const std::byte> image) noexcept {
  try {
    const Descriptor file = CreateMemoryFile(name);
    if (!file) return 0;
    if (!WriteWhole(file.get(), image)) return 0;
    // Sealed whole, and the seals themselves sealed: from here on nobody, not even a holder of this
    // descriptor, can change, cut or extend what the loader maps.
    if (fcntl(file.get(), F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW) != 0 ||
        fcntl(file.get(), F_ADD_SEALS, F_SEAL_SEAL) != 0) {
      return 0;
    }
    // The loader opens the file through the descriptor's own entry, as it does the engine file on disk.
    const std::string path = "/proc/self/fd/" + std::to_string(file.get());
    return reinterpret_cast<LibraryHandle>(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
  } catch (...) {
    return 0;
  }
}

} // namespace qtv::platform::posix
