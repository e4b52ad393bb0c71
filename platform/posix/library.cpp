#include "platform/library.h"

#include <dlfcn.h>

#include "engine/interface1.h"

namespace qtv::platform {

LibraryHandle LoadLibraryAt(const std::string& path) noexcept {
  return reinterpret_cast<LibraryHandle>(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
}

EntryAddress FindExport(LibraryHandle library, const char* name) noexcept {
  return reinterpret_cast<EntryAddress>(dlsym(reinterpret_cast<void*>(library), name));
}

void ReleaseLibrary(LibraryHandle library) noexcept { dlclose(reinterpret_cast<void*>(library)); }

std::int32_t CallEntry(EntryAddress entry, const char* command, const char* input, char* output,
                       std::int32_t length) noexcept {
  return reinterpret_cast<engine::EntryPoint>(entry)(command, input, output, length);
}

} // namespace qtv::platform
