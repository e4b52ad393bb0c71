// The entry points of the control library as an in-process component server: the four of every such
// server, and DllInstall for registering without an administrator (regsvr32 /n /i:user).
#include <windows.h>

#include <olectl.h>

#include "control/activex/class_factory.h"
#include "control/activex/module.h"
#include "control/activex/registration.h"

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* result) {
  return qtv::com::GetClassFactory(classId, iid, result);
}

STDAPI DllCanUnloadNow() { return qtv::com::module::ReleaseIfUnused() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return qtv::com::RegisterServer(); }

STDAPI DllUnregisterServer() { return qtv::com::UnregisterServer(); }

STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
  return qtv::com::Install(install != FALSE, commandLine);
}
