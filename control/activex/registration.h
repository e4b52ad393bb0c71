#pragma once
// Self-registration of the control library: the class QTVChecksum with its programmatic identifier and
// control facts, and the embedded type library, for the whole machine or for the current user alone.
#include <windows.h>

namespace qtv::com {

// Where a registration lands: the machine's classes (HKEY_CLASSES_ROOT, which needs an administrator)
// or the user's own (HKEY_CURRENT_USER\Software\Classes), each in the registry view of this library's
// bitness. Both scopes hold the same keys and values.
enum class Scope { kMachine, kUser };

// A registration that is refused (access denied) fails with E_ACCESSDENIED; any other failure with
// SELFREG_E_CLASS or SELFREG_E_TYPELIB. Either way nothing of it is left behind.
HRESULT RegisterServer(Scope scope = Scope::kMachine) noexcept;
// Removes everything RegisterServer writes in that scope; what is already gone is no failure.
HRESULT UnregisterServer(Scope scope = Scope::kMachine) noexcept;

// DllInstall: the command line "user" (in any case) registers or unregisters for the current user;
// any other registers or unregisters for the machine.
HRESULT Install(bool install, const wchar_t* commandLine) noexcept;

} // namespace qtv::com
