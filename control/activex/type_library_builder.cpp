// Writes the control's type library from its description in control/type_library.h:
//   type_library_builder OUTPUT.tlb
// Runs at build time. The system's own type library writer is used because it sets every order, flag
// and version that hosts read, which the interface compiler cannot all express.
#include <windows.h>

#include <oleauto.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "control/activex/com_handles.h"
#include "control/control_registration.h"
#include "control/type_library.h"

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

// Offsets in the saved file: its header, and each type description's record of 0x64 bytes.
constexpr std::size_t kTypeCountAt = 0x20;
constexpr std::size_t kHeaderFlagsAt = 0x14;
constexpr std::uint32_t kHasHelpLibrary = 0x100;
constexpr std::size_t kTypeOffsetsAt = 0x54;
constexpr std::size_t kRecordSize = 0x64;
constexpr std::size_t kKindAt = 0x00;
constexpr std::size_t kMemberCountsAt = 0x18; // functions in the low half, variables in the high half
constexpr std::size_t kTypeFlagsAt = 0x30;
constexpr std::size_t kTableSizeAt = 0x4E;
constexpr std::size_t kBaseReferenceAt = 0x54;
// One table slot is a pointer of the system the library describes: 4 bytes on SYS_WIN32, 8 on SYS_WIN64.
constexpr std::int16_t kSlotSize = qtv::com::kTypeLibrarySystem == SYS_WIN64 ? 8 : 4;

std::uint32_t ReadWord(const std::vector<char>& bytes, std::size_t at) {
  if (at + 4 > bytes.size()) throw Failure{"reading the saved library", E_UNEXPECTED};
  std::uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

template <typename Value> void WriteValue(std::vector<char>& bytes, std::size_t at, Value value) {
  if (at + sizeof value > bytes.size()) throw Failure{"patching the saved library", E_UNEXPECTED};
  std::memcpy(bytes.data() + at, &value, sizeof value);
}

// The system's writer lays a dispinterface out like the late-bound side of a dual interface: its table
// size counts IDispatch's seven slots before its own members, and its base is recorded as a reference
// to IDispatch, so readers list IDispatch's members as the first of its own (eight functions,
// QueryInterface at index 0, for the one event). A dispinterface as the interface compilers write it
// counts its own members only and records no base: every reader knows it is based on IDispatch. No call
// of the writer sets these two fields, so they are set in the saved file.
void KeepEventInterfacesToTheirOwnMembers(const std::wstring& path) {
  std::vector<char> bytes;
  {
    std::ifstream in(path.c_str(), std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) throw Failure{"reading the saved library", E_FAIL};
  }
  if (ReadWord(bytes, 0) != 0x5446534Du) throw Failure{"reading the saved library", TYPE_E_INVDATAREAD};
  const std::uint32_t types = ReadWord(bytes, kTypeCountAt);
  const std::size_t directory =
      kTypeOffsetsAt + 4 * types + ((ReadWord(bytes, kHeaderFlagsAt) & kHasHelpLibrary) != 0 ? 4 : 0);
  const std::size_t records = ReadWord(bytes, directory);
  for (std::uint32_t i = 0; i < types; ++i) {
    const std::size_t record = records + i * kRecordSize;
    const bool dispinterface = (ReadWord(bytes, record + kKindAt) & 0xF) == TKIND_DISPATCH &&
                               (ReadWord(bytes, record + kTypeFlagsAt) & TYPEFLAG_FDUAL) == 0;
    if (!dispinterface) continue;
    const auto functions = static_cast<std::int16_t>(ReadWord(bytes, record + kMemberCountsAt) & 0xFFFF);
    WriteValue(bytes, record + kTableSizeAt, static_cast<std::int16_t>(functions * kSlotSize));
    WriteValue(bytes, record + kBaseReferenceAt, std::int32_t{-1});
  }
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw Failure{"writing the saved library", E_FAIL};
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
  KeepEventInterfacesToTheirOwnMembers(path);
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
