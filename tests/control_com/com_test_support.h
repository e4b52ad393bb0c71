#pragma once
// What the tests of the registered control share: an apartment per thread, the control created as a
// host creates it, and an event sink that records what reaches it.
#include <gtest/gtest.h>

#include <windows.h>

#include <ocidl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "control/activex/checksum_interface.h"
#include "control/activex/com_handles.h"
#include "control/control_registration.h"

namespace qtv::testing {

using com::Bstr;
using com::ComPtr;
using com::IQTVChecksum;
using com::Out;
using com::ToGuid;

inline const GUID kClassId = ToGuid(control::kClassId);
inline const GUID kInterfaceId = ToGuid(control::kInterfaceId);
inline const GUID kEventInterfaceId = ToGuid(control::kEventInterfaceId);
inline const GUID kTypeLibraryId = ToGuid(control::kTypeLibraryId);

// An apartment-threaded thread, as the control's hosts have.
class Apartment {
public:
  Apartment() { EXPECT_EQ(S_OK, CoInitialize(nullptr)); }
  ~Apartment() { CoUninitialize(); }
  Apartment(const Apartment&) = delete;
  Apartment& operator=(const Apartment&) = delete;
};

inline ComPtr<IQTVChecksum> CreateControl() {
  ComPtr<IQTVChecksum> control;
  EXPECT_EQ(S_OK, CoCreateInstance(kClassId, nullptr, CLSCTX_INPROC_SERVER, kInterfaceId, Out(control)));
  return control;
}

inline constexpr auto kFreeModule = [](HMODULE module) noexcept { FreeLibrary(module); };
using Module = platform::UniqueHandle<HMODULE, nullptr, kFreeModule>;

inline std::wstring Wide(BSTR text) { return std::wstring(text, SysStringLen(text)); }

inline ComPtr<IUnknown> Identity(IUnknown* object) {
  ComPtr<IUnknown> identity;
  EXPECT_EQ(S_OK, object->QueryInterface(IID_IUnknown, Out(identity)));
  return identity;
}

struct ReceivedEvent {
  DISPID id;
  WORD flags;
  std::vector<VARTYPE> types; // as passed, last argument first
  LONG number;
  std::wstring description;
};

// A sink for __QTVChecksum. It lives on the test's stack; the count shows whether the control still
// holds it. With `overwrite` set it writes other values into both by-reference arguments.
class EventSink final : public IDispatch {
public:
  explicit EventSink(bool overwrite = false) : overwrite_(overwrite) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kEventInterfaceId) {
      *result = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
  STDMETHODIMP_(ULONG) Release() override { return --references; }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    ReceivedEvent event{id, flags, {}, 0, {}};
    for (UINT i = 0; i < parameters->cArgs; ++i) event.types.push_back(parameters->rgvarg[i].vt);
    if (parameters->cArgs == 2 && event.types == std::vector<VARTYPE>{VT_BYREF | VT_BSTR, VT_BYREF | VT_I4}) {
      event.number = *parameters->rgvarg[1].plVal;
      event.description = Wide(*parameters->rgvarg[0].pbstrVal);
      if (overwrite_) {
        *parameters->rgvarg[1].plVal = 99;
        SysReAllocString(parameters->rgvarg[0].pbstrVal, L"changed by the handler");
      }
    }
    events.push_back(event);
    return S_OK;
  }

  ULONG references = 0;
  std::vector<ReceivedEvent> events;

private:
  bool overwrite_;
};

} // namespace qtv::testing
