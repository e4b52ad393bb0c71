#pragma once
// The control library as a component server: how many objects and locks keep it loaded, where it lives
// and its own type library.
#include <windows.h>

#include <oaidl.h>

#include <string>

namespace qtv::com::module {

void ObjectCreated() noexcept;
void ObjectDestroyed() noexcept;
void Lock() noexcept;
void Unlock() noexcept;

// True when no object and no lock is left. The cached type library is let go then, so that nothing of
// the library is in use when the system unloads it.
bool ReleaseIfUnused() noexcept;

// The control library's module and its full file name.
HMODULE Handle() noexcept;
std::wstring FileName();

// The type library embedded in the control library, loaded on first use and kept while the library is
// in use; the caller receives a reference of its own.
HRESULT TypeLibrary(ITypeLib** library) noexcept;

} // namespace qtv::com::module
