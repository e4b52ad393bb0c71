#include "control/activex/class_factory.h"

#include "control/activex/checksum_object.h"
#include "control/activex/com_handles.h"
#include "control/activex/module.h"
#include "control/control_registration.h"

namespace qtv::com {
namespace {

struct ClassEntry {
  const control::Guid& classId;
  CreateFunction create;
};

const ClassEntry kClasses[] = {
    {control::kClassId, &CreateChecksumObject},
};

} // namespace

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** result) {
  if (result == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IClassFactory) {
    *result = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *result = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** result) {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  return create_(iid, result);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
  if (lock) {
    module::Lock();
  } else {
    module::Unlock();
  }
  return S_OK;
}

HRESULT GetClassFactory(REFCLSID classId, REFIID iid, void** result) noexcept {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  for (const ClassEntry& entry : kClasses) {
    if (classId == ToGuid(entry.classId)) return CreateAndQuery<ClassFactory>(iid, result, entry.create);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

} // namespace qtv::com
