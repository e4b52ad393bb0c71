#include "control/activex/module.h"

#include <oleauto.h>

#include <atomic>
#include <new>

#include "control/activex/com_handles.h"

namespace qtv::com::module {
namespace {

// The component runtime may ask from any thread whether the library can go, so the counts are atomic.
std::atomic<long> gObjects{0};
std::atomic<long> gLocks{0};
std::atomic<ITypeLib*> gTypeLibrary{nullptr};

} // namespace

void ObjectCreated() noexcept { ++gObjects; }
void ObjectDestroyed() noexcept { --gObjects; }
void Lock() noexcept { ++gLocks; }
void Unlock() noexcept { --gLocks; }

bool ReleaseIfUnused() noexcept {
  if (gObjects.load() != 0 || gLocks.load() != 0) return false;
  if (ITypeLib* library = gTypeLibrary.exchange(nullptr)) library->Release();
  return true;
}

HMODULE Handle() noexcept {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&Handle), &module);
  return module;
}

std::wstring FileName() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(Handle(), name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return {};
    if (length < name.size()) {
      name.resize(length);
      return name;
    }
    name.resize(name.size() * 2);
  }
}

HRESULT TypeLibrary(ITypeLib** library) noexcept {
  if (library == nullptr) return E_POINTER;
  *library = nullptr;
  ITypeLib* cached = gTypeLibrary.load();
  if (cached == nullptr) {
    ComPtr<ITypeLib> loaded;
    try {
      const std::wstring file = FileName();
      const HRESULT result = LoadTypeLibEx(file.c_str(), REGKIND_NONE, Out(loaded));
      if (FAILED(result)) return result;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    // Two threads may load at once: the first to publish wins, the other's copy is let go.
    ITypeLib* expected = nullptr;
    if (gTypeLibrary.compare_exchange_strong(expected, loaded.get())) {
      cached = loaded.release();
    } else {
      cached = expected;
    }
  }
  cached->AddRef();
  *library = cached;
  return S_OK;
}

} // namespace qtv::com::module
