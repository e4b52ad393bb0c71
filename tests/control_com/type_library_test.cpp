// The type library as tools read it after registration: every fact hosts rely on, read back through
// the system, and the flags as the embedded file holds them.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/control_com/com_test_support.h"

namespace qtv::testing {
namespace {

// Parameters by value, in; the result comes after them as an out-retval pointer.
using Parameters = std::vector<std::pair<const wchar_t*, VARTYPE>>;
struct ExpectedMethod {
  const wchar_t* name;
  DISPID id;
  const wchar_t* help;
  Parameters parameters;
  VARTYPE result;
};

const Parameters kNone;
const Parameters kText = {{L"TheString", VT_BSTR}, {L"Length", VT_I4}};
const Parameters kFile = {{L"InputFile", VT_BSTR}};

const std::vector<ExpectedMethod> kMethods = {
    {L"About", 0x60030002, L"This function will show an aboutbox of the control", kNone, VT_VARIANT},
    {L"CRC32String", 0x60030003, L"To execute a CRC32 checksum on the string", kText, VT_BSTR},
    {L"MD5String", 0x60030004, L"To execute a MD5 checksum on the string", kText, VT_BSTR},
    {L"SHA1String", 0x60030005, L"To execute a SHA-1 checksum on the string", kText, VT_BSTR},
    {L"SHA256String", 0x60030006, L"To execute a SHA-256 checksum on the string", kText, VT_BSTR},
    {L"Adler32String", 0x60030007, L"To execute an Adler32 checksum on the string", kText, VT_BSTR},
    {L"CRC32File", 0x60030008, L"To execute a CRC32 checksum on the inputfile", kFile, VT_BSTR},
    {L"MD5File", 0x60030009, L"To execute a MD5 checksum on the inputfile", kFile, VT_BSTR},
    {L"SHA1File", 0x6003000A, L"To execute a SHA-1 checksum on the inputfile", kFile, VT_BSTR},
    {L"SHA256File", 0x6003000B, L"To execute a SHA-256 checksum on the inputfile", kFile, VT_BSTR},
    {L"Adler32File", 0x6003000C, L"To execute an Adler32 checksum on the inputfile", kFile, VT_BSTR},
    {L"ControlName", 0x6003000E, L"This retrieve the name of the control", kNone, VT_BSTR},
};

const wchar_t kTypeHelp[] = L"QTV Software Checksum OCX";

struct Attributes {
  explicit Attributes(ITypeInfo* info) : info_(info) { EXPECT_EQ(S_OK, info->GetTypeAttr(&attributes_)); }
  ~Attributes() { info_->ReleaseTypeAttr(attributes_); }
  const TYPEATTR* operator->() const { return attributes_; }
  ITypeInfo* info_;
  TYPEATTR* attributes_ = nullptr;
};

struct Documentation {
  std::wstring name, help, helpFile;
  DWORD context = 0;
};
template <typename Described> Documentation Document(Described* described, MEMBERID member) {
  Bstr name, help, helpFile;
  Documentation documentation;
  EXPECT_EQ(S_OK,
            described->GetDocumentation(member, Out(name), Out(help), &documentation.context, Out(helpFile)));
  documentation.name = Wide(name.get());
  documentation.help = Wide(help.get());
  documentation.helpFile = Wide(helpFile.get());
  return documentation;
}

class TypeLibraryTest : public ::testing::Test {
protected:
  // First in, last out: the type library and its descriptions are let go while the apartment still stands.
  Apartment apartment_;

  void SetUp() override {
    ASSERT_EQ(S_OK, LoadRegTypeLib(kTypeLibraryId, 2, 0, LOCALE_NEUTRAL, Out(library_)));
    ASSERT_EQ(3u, library_.get()->GetTypeInfoCount());
    for (UINT i = 0; i < 3; ++i) ASSERT_EQ(S_OK, library_.get()->GetTypeInfo(i, Out(types_[i])));
  }
  ComPtr<ITypeInfo> Implemented(ITypeInfo* info, UINT index) {
    HREFTYPE reference = 0;
    ComPtr<ITypeInfo> implemented;
    EXPECT_EQ(S_OK, info->GetRefTypeOfImplType(index, &reference));
    EXPECT_EQ(S_OK, info->GetRefTypeInfo(reference, Out(implemented)));
    return implemented;
  }
  void ExpectBasedOnStandardIDispatch(ITypeInfo* info) {
    ComPtr<ITypeInfo> base = Implemented(info, 0);
    EXPECT_EQ(IID_IDispatch, Attributes(base.get())->guid);
    ComPtr<ITypeLib> container;
    UINT index = 0;
    ASSERT_EQ(S_OK, base.get()->GetContainingTypeLib(Out(container), &index));
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, container.get()->GetLibAttr(&attributes));
    EXPECT_EQ(IID_StdOle, attributes->guid);
    EXPECT_EQ(2, attributes->wMajorVerNum);
    container.get()->ReleaseTLibAttr(attributes);
  }

  ComPtr<ITypeLib> library_;
  ComPtr<ITypeInfo> types_[3];
};

TEST_F(TypeLibraryTest, LibraryAttributes) {
  TLIBATTR* attributes = nullptr;
  ASSERT_EQ(S_OK, library_.get()->GetLibAttr(&attributes));
  EXPECT_EQ(kTypeLibraryId, attributes->guid);
  EXPECT_EQ(0u, attributes->lcid);
  // Each bitness carries a type library for its own system, with the same facts.
  EXPECT_EQ(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, attributes->syskind);
  EXPECT_EQ(2, attributes->wMajorVerNum);
  EXPECT_EQ(0, attributes->wMinorVerNum);
  // The system adds "has a disk image" when it reads a library from a file.
  EXPECT_EQ(LIBFLAG_FCONTROL, attributes->wLibFlags & ~LIBFLAG_FHASDISKIMAGE);
  library_.get()->ReleaseTLibAttr(attributes);
  const Documentation library = Document(library_.get(), -1);
  EXPECT_EQ(L"QTVChecksum100", library.name);
  EXPECT_EQ(L"QTV Checksum OCX 1.0.0", library.help);
  EXPECT_EQ(L"", library.helpFile);
  EXPECT_EQ(0u, library.context);
}

TEST_F(TypeLibraryTest, TypesInOrderWithTheirFlagsVersionsAndHelp) {
  struct ExpectedType {
    const wchar_t* name;
    GUID guid;
    TYPEKIND kind;
    WORD flags;
  };
  // The dual interface is read from its late-bound side here; that side's flags lack "OLE automation"
  // under Wine, so its full flags are checked from the method-table side and in the file below.
  const ExpectedType expected[] = {
      {L"_QTVChecksum", kInterfaceId, TKIND_DISPATCH, 0x11D0},
      {L"QTVChecksum", kClassId, TKIND_COCLASS, TYPEFLAG_FCONTROL},
      {L"__QTVChecksum", kEventInterfaceId, TKIND_DISPATCH, 0x1090},
  };
  for (UINT i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    Attributes attributes(types_[i].get());
    EXPECT_EQ(expected[i].guid, attributes->guid);
    EXPECT_EQ(expected[i].kind, attributes->typekind);
    EXPECT_EQ(expected[i].flags, attributes->wTypeFlags | (i == 0 ? TYPEFLAG_FOLEAUTOMATION : 0));
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    EXPECT_EQ(0, attributes->cVars);
    const Documentation type = Document(types_[i].get(), MEMBERID_NIL);
    EXPECT_EQ(expected[i].name, type.name);
    EXPECT_EQ(kTypeHelp, type.help);
    EXPECT_EQ(0u, type.context);
  }
  ComPtr<ITypeInfo> methodTable = Implemented(types_[0].get(), static_cast<UINT>(-1));
  EXPECT_EQ(TKIND_INTERFACE, Attributes(methodTable.get())->typekind);
  EXPECT_EQ(0x11D0, Attributes(methodTable.get())->wTypeFlags);
  ExpectBasedOnStandardIDispatch(methodTable.get());
  ExpectBasedOnStandardIDispatch(types_[2].get());
}

TEST_F(TypeLibraryTest, ClassImplementsTheDefaultAndTheEventInterface) {
  ASSERT_EQ(2, Attributes(types_[1].get())->cImplTypes);
  const std::pair<GUID, INT> expected[] = {{kInterfaceId, IMPLTYPEFLAG_FDEFAULT},
                                           {kEventInterfaceId, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
  for (UINT i = 0; i < 2; ++i) {
    INT flags = 0;
    EXPECT_EQ(S_OK, types_[1].get()->GetImplTypeFlags(i, &flags));
    EXPECT_EQ(expected[i].second, flags);
    EXPECT_EQ(expected[i].first, Attributes(Implemented(types_[1].get(), i).get())->guid);
  }
}

TEST_F(TypeLibraryTest, TwelveMethodsInTableOrder) {
  ComPtr<ITypeInfo> methodTable = Implemented(types_[0].get(), static_cast<UINT>(-1));
  ITypeInfo* info = methodTable.get();
  ASSERT_EQ(12, Attributes(info)->cFuncs);
  for (UINT i = 0; i < kMethods.size(); ++i) {
    const ExpectedMethod& method = kMethods[i];
    SCOPED_TRACE(method.name);
    FUNCDESC* function = nullptr;
    ASSERT_EQ(S_OK, info->GetFuncDesc(i, &function));
    EXPECT_EQ(method.id, function->memid);
    EXPECT_EQ(FUNC_PUREVIRTUAL, function->funckind);
    EXPECT_EQ(INVOKE_FUNC, function->invkind);
    EXPECT_EQ(CC_STDCALL, function->callconv);
    EXPECT_EQ(VT_HRESULT, function->elemdescFunc.tdesc.vt);
    // After IDispatch's seven entries, one per method in this order.
    EXPECT_EQ(static_cast<SHORT>((7 + i) * sizeof(void*)), function->oVft);
    EXPECT_EQ(0, function->cParamsOpt);
    ASSERT_EQ(method.parameters.size() + 1, static_cast<std::size_t>(function->cParams));
    for (std::size_t p = 0; p < method.parameters.size(); ++p) {
      EXPECT_EQ(method.parameters[p].second, function->lprgelemdescParam[p].tdesc.vt);
      EXPECT_EQ(PARAMFLAG_FIN, function->lprgelemdescParam[p].paramdesc.wParamFlags);
    }
    const ELEMDESC& result = function->lprgelemdescParam[method.parameters.size()];
    EXPECT_EQ(VT_PTR, result.tdesc.vt);
    EXPECT_EQ(method.result, result.tdesc.lptdesc->vt);
    EXPECT_EQ(PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, result.paramdesc.wParamFlags);
    info->ReleaseFuncDesc(function);

    BSTR names[4] = {};
    UINT count = 0;
    ASSERT_EQ(S_OK, info->GetNames(method.id, names, 4, &count));
    std::vector<std::wstring> actual;
    for (UINT n = 0; n < count; ++n) actual.push_back(Wide(Bstr(names[n]).get()));
    std::vector<std::wstring> wanted{method.name};
    for (const auto& parameter : method.parameters) wanted.push_back(parameter.first);
    EXPECT_EQ(wanted, actual);
    const Documentation documentation = Document(info, method.id);
    EXPECT_EQ(method.help, documentation.help);
    EXPECT_EQ(0u, documentation.context);
  }
}

TEST_F(TypeLibraryTest, TheEventInterfaceListsErrorCodeAloneAndTakesBothValuesByReference) {
  // A tool that lists events from index 0 to cFuncs - 1 must meet ErrorCode and nothing of IDispatch.
  ITypeInfo* info = types_[2].get();
  ASSERT_EQ(1, Attributes(info)->cFuncs);
  FUNCDESC* beyond = nullptr;
  EXPECT_EQ(TYPE_E_ELEMENTNOTFOUND, info->GetFuncDesc(1, &beyond));
  FUNCDESC* function = nullptr;
  ASSERT_EQ(S_OK, info->GetFuncDesc(0, &function));
  EXPECT_EQ(1, function->memid);
  EXPECT_EQ(FUNC_DISPATCH, function->funckind);
  EXPECT_EQ(INVOKE_FUNC, function->invkind);
  EXPECT_EQ(VT_VOID, function->elemdescFunc.tdesc.vt);
  ASSERT_EQ(2, function->cParams);
  const VARTYPE pointees[] = {VT_I4, VT_BSTR};
  for (int p = 0; p < 2; ++p) {
    EXPECT_EQ(VT_PTR, function->lprgelemdescParam[p].tdesc.vt);
    EXPECT_EQ(pointees[p], function->lprgelemdescParam[p].tdesc.lptdesc->vt);
    EXPECT_EQ(PARAMFLAG_FIN | PARAMFLAG_FOUT, function->lprgelemdescParam[p].paramdesc.wParamFlags);
  }
  info->ReleaseFuncDesc(function);
  BSTR names[3] = {};
  UINT count = 0;
  ASSERT_EQ(S_OK, info->GetNames(1, names, 3, &count));
  ASSERT_EQ(3u, count);
  EXPECT_EQ(L"ErrorCode", Wide(Bstr(names[0]).get()));
  EXPECT_EQ(L"ErrorNumber", Wide(Bstr(names[1]).get()));
  EXPECT_EQ(L"ErrorDescription", Wide(Bstr(names[2]).get()));
  EXPECT_EQ(L"This event will return the errors generated in the control", Document(info, 1).help);
}

// The flags and table sizes as the embedded file holds them, where reading back adds, hides or derives.
TEST_F(TypeLibraryTest, EmbeddedFileHoldsTheExactFlagsAndTableSizes) {
  Bstr path;
  ASSERT_EQ(S_OK, QueryPathOfRegTypeLib(kTypeLibraryId, 2, 0, LOCALE_NEUTRAL, Out(path)));
  const Module file(LoadLibraryExW(path.get(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(file);
  HRSRC resource = FindResourceW(file.get(), MAKEINTRESOURCEW(1), L"TYPELIB");
  ASSERT_NE(nullptr, resource);
  const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(file.get(), resource)));
  const auto word = [bytes](std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes + at, 4);
    return value;
  };
  ASSERT_EQ(0x5446534Du, word(0)); // "MSFT"
  EXPECT_EQ(static_cast<std::uint32_t>(LIBFLAG_FCONTROL), word(0x1C));
  ASSERT_EQ(3u, word(0x20));
  // Header, one offset per type description (and one more word with a help DLL), then the segment
  // directory, whose first entry locates the type descriptions' records of 0x64 bytes each.
  const std::size_t directory = 0x54 + 4 * 3 + ((word(0x14) & 0x100) != 0 ? 4 : 0);
  const std::uint32_t records = word(directory);
  const std::uint32_t flags[] = {0x11D0, TYPEFLAG_FCONTROL, 0x1090};
  const std::uint32_t members[] = {12, 0, 1}; // functions of its own; no variables
  // The method table in bytes: the dual interface's counts IDispatch's seven slots and its twelve
  // methods; the dispinterface's counts its own member alone, as interface compilers write. A slot is a
  // pointer of the library's system: this test runs in the bitness of the library it reads.
  constexpr std::uint16_t slot = sizeof(void*);
  const std::uint16_t tableSizes[] = {(7 + 12) * slot, 0, slot};
  for (std::uint32_t i = 0; i < 3; ++i) {
    const std::size_t record = records + i * 0x64;
    EXPECT_EQ(members[i], word(record + 0x18)) << i;
    EXPECT_EQ(flags[i], word(record + 0x30)) << i;
    EXPECT_EQ(1u, word(record + 0x38)) << i; // version 1.0: minor << 16 | major
    EXPECT_EQ(tableSizes[i], word(record + 0x4C) >> 16) << i;
  }
  // A dispinterface records no base type (-1): readers take IDispatch as its base. A recorded base would
  // make them list IDispatch's members as its first ones.
  EXPECT_EQ(0xFFFFFFFFu, word(records + 2 * 0x64 + 0x54));
  EXPECT_EQ(1u, word(records + 2 * 0x64 + 0x4C) & 0xFFFF); // still one implemented type
}

} // namespace
} // namespace qtv::testing
