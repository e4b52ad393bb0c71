// Writes the control's type library from its description in control/type_library.h:
//   type_library_builder OUTPUT.tlb
// Runs at build time. The system's own type library writer is used because it sets every order, flag
// and version that hosts read, which the interface compiler cannot all express.
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <string>
#include <vector>

#include "control/control_registration.h"
#include "control/type_library.h"
#include "platform/windows/com/com_handles.h"

namespace {

using qtv::com::ComPtr;
using qtv::com::Out;
using qtv::com::ToGuid;
using qtv::com::ToWide;
using namespace qtv::control;

constexpr WORD kInterfaceFlags = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                                 TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
constexpr WORD kClassFlags = TYPEFLAG_FCONTROL;
constexpr WORD kEventFlags = TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;

struct Failure {
  const char* step;
  HRESULT result;
};

void Check(HRESULT result, const char* step) {
  if (FAILED(result)) throw Failure{step, result};
}

VARTYPE VariantTypeOf(ValueType type) {
  switch (type) {
  case ValueType::Variant:
    return VT_VARIANT;
  case ValueType::Text:
    return VT_BSTR;
  case ValueType::Integer32:
    return VT_I4;
  case ValueType::Nothing:
    break;
  }
  return VT_VOID;
}

// Parameter descriptions point into the two vectors, which must outlive the call that copies them.
struct Parameters {
  std::vector<TYPEDESC> pointees;
  std::vector<ELEMDESC> elements;
};

// Methods take their parameters by value and add the result as a last out-retval pointer; events take
// theirs by reference, in and out.
Parameters DescribeParameters(const Member& member, bool byReference) {
  Parameters described;
  const std::size_t count = member.parameters.size() + (byReference ? 0 : 1);
  described.pointees.resize(count);
  described.elements.resize(count);
  for (std::size_t i = 0; i < member.parameters.size(); ++i) {
    ELEMDESC& element = described.elements[i];
    if (byReference) {
      described.pointees[i].vt = VariantTypeOf(member.parameters[i].type);
      element.tdesc.vt = VT_PTR;
      element.tdesc.lptdesc = &described.pointees[i];
      element.paramdesc.wParamFlags = PARAMFLAG_FIN | PARAMFLAG_FOUT;
    } else {
      element.tdesc.vt = VariantTypeOf(member.parameters[i].type);
      element.paramdesc.wParamFlags = PARAMFLAG_FIN;
    }
  }
  if (!byReference) {
    ELEMDESC& result = described.elements.back();
    described.pointees.back().vt = VariantTypeOf(member.result);
    result.tdesc.vt = VT_PTR;
    result.tdesc.lptdesc = &described.pointees.back();
    result.paramdesc.wParamFlags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
  }
  return described;
}

void AddMember(ICreateTypeInfo* info, UINT index, const Member& member, FUNCKIND kind) {
  const bool isEvent = kind == FUNC_DISPATCH;
  Parameters parameters = DescribeParameters(member, isEvent);
  FUNCDESC function{};
  function.memid = member.dispatchId;
  function.funckind = kind;
  function.invkind = INVOKE_FUNC;
  function.callconv = CC_STDCALL;
  function.cParams = static_cast<SHORT>(parameters.elements.size());
  function.lprgelemdescParam = parameters.elements.data();
  function.elemdescFunc.tdesc.vt = isEvent ? VT_VOID : VT_HRESULT;
  Check(info->AddFuncDesc(index, &function), "AddFuncDesc");

  // The out-retval parameter stays unnamed: callers never see it as a parameter.
  std::vector<std::wstring> names{ToWide(member.name)};
  for (const Parameter& parameter : member.parameters) names.push_back(ToWide(parameter.name));
  std::vector<LPOLESTR> namePointers;
  for (std::wstring& name : names) namePointers.push_back(name.data());
  Check(info->SetFuncAndParamNames(index, namePointers.data(), static_cast<UINT>(namePointers.size())),
        "SetFuncAndParamNames");
  std::wstring help = ToWide(member.helpString);
  Check(info->SetFuncDocString(index, help.data()), "SetFuncDocString");
  Check(info->SetFuncHelpContext(index, 0), "SetFuncHelpContext");
}

ComPtr<ICreateTypeInfo> CreateType(ICreateTypeLib2* library, const TypeDescription& type, TYPEKIND kind,
                                   const Guid& guid, WORD flags) {
  std::wstring name = ToWide(type.name);
  std::wstring help = ToWide(type.helpString);
  const GUID id = ToGuid(guid);
  ComPtr<ICreateTypeInfo> info;
  Check(library->CreateTypeInfo(name.data(), kind, Out(info)), "CreateTypeInfo");
  Check(info.get()->SetGuid(id), "SetGuid");
  Check(info.get()->SetVersion(type.majorVersion, type.minorVersion), "SetVersion");
  Check(info.get()->SetDocString(help.data()), "SetDocString");
  Check(info.get()->SetHelpContext(0), "SetHelpContext");
  Check(info.get()->SetTypeFlags(flags), "SetTypeFlags");
  return info;
}

// Adds `implemented` (or its description under construction) to `info`'s list of implemented types.
void AddImplemented(ICreateTypeInfo* info, UINT index, IUnknown* implemented, INT flags) {
  ComPtr<ITypeInfo> described;
  Check(implemented->QueryInterface(IID_ITypeInfo, Out(described)), "ITypeInfo");
  HREFTYPE reference = 0;
  Check(info->AddRefTypeInfo(described.get(), &reference), "AddRefTypeInfo");
  Check(info->AddImplType(index, reference), "AddImplType");
  if (flags != 0) Check(info->SetImplTypeFlags(index, flags), "SetImplTypeFlags");
}

void Build(const std::wstring& path) {
  ComPtr<ITypeLib> standard;
  Check(LoadRegTypeLib(IID_StdOle, STDOLE2_MAJORVERNUM, STDOLE2_MINORVERNUM, STDOLE2_LCID, Out(standard)),
        "LoadRegTypeLib(stdole2)");
  ComPtr<ITypeInfo> dispatch;
  Check(standard.get()->GetTypeInfoOfGuid(IID_IDispatch, Out(dispatch)), "IDispatch");

  ComPtr<ICreateTypeLib2> library;
  std::wstring file = path;
  Check(CreateTypeLib2(qtv::com::kTypeLibrarySystem, file.data(), Out(library)), "CreateTypeLib2");
  std::wstring name = ToWide(kTypeLibrary.name);
  std::wstring help = ToWide(kTypeLibrary.helpString);
  Check(library.get()->SetName(name.data()), "SetName");
  Check(library.get()->SetGuid(ToGuid(kTypeLibraryId)), "SetGuid");
  Check(library.get()->SetVersion(kTypeLibrary.majorVersion, kTypeLibrary.minorVersion), "SetVersion");
  Check(library.get()->SetLcid(LOCALE_NEUTRAL), "SetLcid");
  Check(library.get()->SetLibFlags(LIBFLAG_FCONTROL), "SetLibFlags");
  Check(library.get()->SetDocString(help.data()), "SetDocString");
  Check(library.get()->SetHelpContext(0), "SetHelpContext");

  // Created in the library's order before any refers to another: the class names the event interface
  // that follows it.
  ComPtr<ICreateTypeInfo> methods =
      CreateType(library.get(), kDefaultInterface, TKIND_INTERFACE, kInterfaceId, kInterfaceFlags);
  ComPtr<ICreateTypeInfo> control =
      CreateType(library.get(), kControlClass, TKIND_COCLASS, kClassId, kClassFlags);
  ComPtr<ICreateTypeInfo> events =
      CreateType(library.get(), kEventInterface, TKIND_DISPATCH, kEventInterfaceId, kEventFlags);

  AddImplemented(methods.get(), 0, dispatch.get(), 0);
  UINT index = 0;
  for (const Member& method : kMethods) AddMember(methods.get(), index++, method, FUNC_PUREVIRTUAL);

  AddImplemented(events.get(), 0, dispatch.get(), 0);
  AddMember(events.get(), 0, kErrorCodeEvent, FUNC_DISPATCH);

  AddImplemented(control.get(), 0, methods.get(), IMPLTYPEFLAG_FDEFAULT);
  AddImplemented(control.get(), 1, events.get(), IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
  // Implementing a dispatchable interface marks the class dispatchable as well; it carries the control
  // flag alone, so its flags are set again once its interfaces are in place.
  Check(control.get()->SetTypeFlags(kClassFlags), "SetTypeFlags(QTVChecksum)");

  Check(methods.get()->LayOut(), "LayOut(_QTVChecksum)");
  Check(control.get()->LayOut(), "LayOut(QTVChecksum)");
  Check(events.get()->LayOut(), "LayOut(__QTVChecksum)");
  Check(library.get()->SaveAllChanges(), "SaveAllChanges");
}

std::wstring FromArgument(const char* argument) {
  const int size = MultiByteToWideChar(CP_ACP, 0, argument, -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
  MultiByteToWideChar(CP_ACP, 0, argument, -1, wide.data(), size);
  wide.resize(wide.size() - 1);
  return wide;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: type_library_builder OUTPUT.tlb\n", stderr);
    return 2;
  }
  try {
    Build(FromArgument(argv[1]));
  } catch (const Failure& failure) {
    std::fprintf(stderr, "type_library_builder: %s failed with 0x%08lx\n", failure.step,
                 static_cast<unsigned long>(failure.result));
    return 1;
  }
  return 0;
}
