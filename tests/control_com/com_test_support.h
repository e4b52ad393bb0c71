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

// A late-bound call with its arguments given last first, as IDispatch takes them.
inline HRESULT Call(IDispatch* object, DISPID id, std::vector<VARIANT> arguments, VARIANT* result,
                    EXCEPINFO* exception = nullptr) {
  DISPPARAMS parameters{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
  UINT argumentError = 0;
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                        &parameters, result, exception, &argumentError);
}

// The member's number as late-bound callers find it, by name.
inline DISPID MemberId(IDispatch* object, const wchar_t* name) {
  LPOLESTR asked = const_cast<LPOLESTR>(name);
  DISPID id = DISPID_UNKNOWN;
  EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, &asked, 1, LOCALE_USER_DEFAULT, &id)) << name;
  return id;
}

inline VARIANT Short(SHORT value) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = VT_I2;
  variant.iVal = value;
  return variant;
}
inline VARIANT Text(BSTR value) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = VT_BSTR;
  variant.bstrVal = value;
  return variant;
}

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

// What a sink answers QueryInterface for. Hosts hand over sinks that implement the event interface, or
// only IDispatch (script hosts and many late-bound clients), with or without IUnknown; broken ones answer
// S_OK and give no pointer, for the event interface alone or for everything.
enum class SinkAnswers { kEventInterface, kDispatchOnly, kUnknownAndDispatch, kNullForEvents, kNullForAll };

// A sink for __QTVChecksum. It lives on the test's stack; the count shows whether the control still
// holds it. With `overwrite` set it writes other values into both by-reference arguments.
class EventSink final : public IDispatch {
public:
  explicit EventSink(bool overwrite = false, SinkAnswers answers = SinkAnswers::kEventInterface)
      : overwrite_(overwrite), answers_(answers) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
    *result = nullptr;
    const bool eventInterface = iid == kEventInterfaceId;
    const bool dispatch = iid == IID_IDispatch;
    const bool unknown = iid == IID_IUnknown;
    bool offered = false;
    switch (answers_) {
    case SinkAnswers::kEventInterface:
      offered = eventInterface || dispatch || unknown;
      break;
    case SinkAnswers::kDispatchOnly:
      offered = dispatch;
      break;
    case SinkAnswers::kUnknownAndDispatch:
      offered = dispatch || unknown;
      break;
    case SinkAnswers::kNullForEvents:
      if (eventInterface) return S_OK;
      offered = dispatch || unknown;
      break;
    case SinkAnswers::kNullForAll:
      return S_OK;
    }
    if (!offered) return E_NOINTERFACE;
    *result = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
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
  SinkAnswers answers_;
};

} // namespace qtv::testing
