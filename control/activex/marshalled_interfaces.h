#pragma once
// The interfaces of the control's type library that cross apartments and processes, each with its name
// and the system's proxy/stub for it, as the system's type library registration finds them: every
// dispinterface and every automation interface. Registration and the assembly manifest both list them
// from here, so the two cannot disagree.
#include <windows.h>

#include <oaidl.h>

#include "control/activex/com_handles.h"
#include "control/control_registration.h"

namespace qtv::com {

struct MarshalledInterface {
  GUID iid;
  Bstr name;
  GUID proxyStub;
};

// Calls `visit` with each such interface, in the library's order; the library's failures are returned.
template <typename Visit> HRESULT ForEachMarshalledInterface(ITypeLib& library, Visit visit) {
  for (UINT index = 0; index < library.GetTypeInfoCount(); ++index) {
    TYPEKIND kind{};
    HRESULT result = library.GetTypeInfoType(index, &kind);
    if (FAILED(result)) return result;
    if (kind != TKIND_DISPATCH && kind != TKIND_INTERFACE) continue;
    ComPtr<ITypeInfo> info;
    result = library.GetTypeInfo(index, Out(info));
    if (FAILED(result)) return result;
    TYPEATTR* type = nullptr;
    result = info.get()->GetTypeAttr(&type);
    if (FAILED(result)) return result;
    MarshalledInterface entry{type->guid, {}, {}};
    const WORD flags = type->wTypeFlags;
    info.get()->ReleaseTypeAttr(type);
    if (kind == TKIND_INTERFACE && (flags & TYPEFLAG_FOLEAUTOMATION) == 0) continue;
    // A dual interface goes through the type library marshaller, a pure dispinterface through the
    // dispatch marshaller.
    const bool dispatchOnly = kind == TKIND_DISPATCH && (flags & TYPEFLAG_FDUAL) == 0;
    entry.proxyStub = ToGuid(dispatchOnly ? control::kDispatchMarshaller : control::kTypeLibraryMarshaller);
    result = library.GetDocumentation(static_cast<INT>(index), Out(entry.name), nullptr, nullptr, nullptr);
    if (FAILED(result)) return result;
    visit(entry);
  }
  return S_OK;
}

} // namespace qtv::com
