#include "control/activex/checksum_object.h"

#include <olectl.h>

#include <string>
#include <vector>

#include "control/activex/enumerator.h"
#include "control/activex/errors.h"
#include "control/control_registration.h"

namespace qtv::com {

ChecksumObject::ChecksumObject()
    : connections_(*this), ole_(static_cast<IQTVChecksum&>(*this), control_),
      persistence_(static_cast<IQTVChecksum&>(*this)) {
  ComPtr<ITypeLib> library;
  ThrowIfFailed(module::TypeLibrary(Out(library)));
  ThrowIfFailed(library.get()->GetTypeInfoOfGuid(ToGuid(control::kInterfaceId), Out(dispatchInfo_)));
  // Index -1 names the method-table half of a dual interface.
  HREFTYPE methodTable = 0;
  ThrowIfFailed(dispatchInfo_.get()->GetRefTypeOfImplType(static_cast<UINT>(-1), &methodTable));
  ThrowIfFailed(dispatchInfo_.get()->GetRefTypeInfo(methodTable, Out(methodInfo_)));
  ThrowIfFailed(library.get()->GetTypeInfoOfGuid(ToGuid(control::kClassId), Out(classInfo_)));
  control_.ConnectErrorCode([this](std::int32_t& ErrorNumber, std::u16string& ErrorDescription) {
    connections_.RaiseErrorCode(ErrorNumber, ErrorDescription);
  });
}

STDMETHODIMP ChecksumObject::QueryInterface(REFIID iid, void** result) {
  if (result == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == ToGuid(control::kInterfaceId)) {
    *result = static_cast<IQTVChecksum*>(this);
  } else if (iid == IID_IConnectionPointContainer) {
    *result = static_cast<IConnectionPointContainer*>(this);
  } else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) {
    *result = static_cast<IProvideClassInfo2*>(this);
  } else if (iid == IID_ISupportErrorInfo) {
    *result = static_cast<ISupportErrorInfo*>(this);
  } else if (void* sited = ole_.Find(iid)) {
    *result = sited;
  } else if (void* saved = persistence_.Find(iid)) {
    *result = saved;
  } else {
    *result = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP ChecksumObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP ChecksumObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  *info = Share(dispatchInfo_.get()).release();
  return S_OK;
}

STDMETHODIMP ChecksumObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  return DispGetIDsOfNames(dispatchInfo_.get(), names, count, ids);
}

STDMETHODIMP ChecksumObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters,
                                    VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  // The type library converts the arguments (script hosts pass small integers as 16-bit values), calls
  // the method table and turns a failure with an error object into an exception.
  const HRESULT status = methodInfo_.get()->Invoke(static_cast<IQTVChecksum*>(this), id, flags, parameters,
                                                   result, exception, argumentError);
  // Script hosts show an exception's code as it is: E_INVALIDARG would reach a script as -2147024809.
  // An invalid argument reaches them as Automation's own error 5, "Invalid procedure call or argument",
  // which is what scripts test Err.Number for.
  if (status == DISP_E_EXCEPTION && exception != nullptr && exception->scode == E_INVALIDARG) {
    exception->scode = kInvalidCallOrArgument;
  }
  return status;
}

template <typename Call> HRESULT ChecksumObject::ReturnText(BSTR* result, Call&& call) noexcept {
  if (result == nullptr) return E_POINTER;
  *result = nullptr;
  try {
    *result = MakeBstr(call()).release();
    return S_OK;
  } catch (...) {
    return FailureFromCurrentException();
  }
}

STDMETHODIMP ChecksumObject::About(VARIANT* result) {
  if (result == nullptr) return E_POINTER;
  VariantInit(result);
  try {
    control_.About();
    return S_OK;
  } catch (...) {
    return FailureFromCurrentException();
  }
}

STDMETHODIMP ChecksumObject::CRC32String(BSTR TheString, LONG Length, BSTR* result) {
  return ReturnText(result, [&] { return control_.CRC32String(ToText(TheString), Length); });
}
STDMETHODIMP ChecksumObject::MD5String(BSTR TheString, LONG Length, BSTR* result) {
  return ReturnText(result, [&] { return control_.MD5String(ToText(TheString), Length); });
}
STDMETHODIMP ChecksumObject::SHA1String(BSTR TheString, LONG Length, BSTR* result) {
  return ReturnText(result, [&] { return control_.SHA1String(ToText(TheString), Length); });
}
STDMETHODIMP ChecksumObject::SHA256String(BSTR TheString, LONG Length, BSTR* result) {
  return ReturnText(result, [&] { return control_.SHA256String(ToText(TheString), Length); });
}
STDMETHODIMP ChecksumObject::Adler32String(BSTR TheString, LONG Length, BSTR* result) {
  return ReturnText(result, [&] { return control_.Adler32String(ToText(TheString), Length); });
}
STDMETHODIMP ChecksumObject::CRC32File(BSTR InputFile, BSTR* result) {
  return ReturnText(result, [&] { return control_.CRC32File(ToText(InputFile)); });
}
STDMETHODIMP ChecksumObject::MD5File(BSTR InputFile, BSTR* result) {
  return ReturnText(result, [&] { return control_.MD5File(ToText(InputFile)); });
}
STDMETHODIMP ChecksumObject::SHA1File(BSTR InputFile, BSTR* result) {
  return ReturnText(result, [&] { return control_.SHA1File(ToText(InputFile)); });
}
STDMETHODIMP ChecksumObject::SHA256File(BSTR InputFile, BSTR* result) {
  return ReturnText(result, [&] { return control_.SHA256File(ToText(InputFile)); });
}
STDMETHODIMP ChecksumObject::Adler32File(BSTR InputFile, BSTR* result) {
  return ReturnText(result, [&] { return control_.Adler32File(ToText(InputFile)); });
}
STDMETHODIMP ChecksumObject::ControlName(BSTR* result) {
  return ReturnText(result, [&] { return control_.ControlName(); });
}

STDMETHODIMP ChecksumObject::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points == nullptr) return E_POINTER;
  *points = nullptr;
  try {
    std::vector<IConnectionPoint*> items{&connections_};
    return CreateAndQuery<ConnectionPointEnumerator>(IID_IEnumConnectionPoints,
                                                     reinterpret_cast<void**>(points), std::move(items), 0);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDMETHODIMP ChecksumObject::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (iid != ToGuid(control::kEventInterfaceId)) return CONNECT_E_NOCONNECTION;
  connections_.AddRef();
  *point = &connections_;
  return S_OK;
}

STDMETHODIMP ChecksumObject::GetClassInfo(ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = Share(classInfo_.get()).release();
  return S_OK;
}

STDMETHODIMP ChecksumObject::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = ToGuid(control::kEventInterfaceId);
  return S_OK;
}

STDMETHODIMP ChecksumObject::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == ToGuid(control::kInterfaceId) || iid == IID_IDispatch ? S_OK : S_FALSE;
}

HRESULT CreateChecksumObject(REFIID iid, void** result) noexcept {
  return CreateAndQuery<ChecksumObject>(iid, result);
}

} // namespace qtv::com
