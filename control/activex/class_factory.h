#pragma once
// The class factory: one per request, creating the objects of one class.
#include <windows.h>

#include <unknwn.h>

#include <memory>

#include "control/activex/ref_counted.h"

namespace qtv::com {

using CreateFunction = HRESULT (*)(REFIID iid, void** result) noexcept;

class ClassFactory final : public IClassFactory, public RefCounted<ClassFactory> {
public:
  explicit ClassFactory(CreateFunction create) noexcept : create_(create) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** result) override;
  STDMETHODIMP_(ULONG) AddRef() override { return AddReference(); }
  STDMETHODIMP_(ULONG) Release() override { return ReleaseReference(); }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** result) override;
  STDMETHODIMP LockServer(BOOL lock) override;

private:
  friend std::default_delete<ClassFactory>;
  ~ClassFactory() = default;

  CreateFunction create_;
};

// The factory for `classId`, asked for `iid`; CLASS_E_CLASSNOTAVAILABLE for a class the library lacks.
HRESULT GetClassFactory(REFCLSID classId, REFIID iid, void** result) noexcept;

} // namespace qtv::com
