// The four entry points of the control library as an in-process component server.
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
