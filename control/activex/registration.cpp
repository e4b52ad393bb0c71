#include "control/activex/registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <initializer_list>
#include <new>
#include <string>

#include "control/activex/com_handles.h"
#include "control/activex/errors.h"
#include "control/activex/marshalled_interfaces.h"
#include "control/activex/module.h"
#include "control/control_registration.h"
#include "control/type_library.h"

namespace qtv::com {
namespace {

std::wstring GuidText(const control::Guid& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(ToGuid(guid), text, 40);
  return text;
}

std::wstring ClassKey() { return L"CLSID\\" + GuidText(control::kClassId); }

std::wstring TypeLibraryVersion() {
  return std::to_wstring(control::kTypeLibrary.majorVersion) + L"." +
         std::to_wstring(control::kTypeLibrary.minorVersion);
}

std::wstring TypeLibraryVersionKey() {
  return L"TypeLib\\" + GuidText(control::kTypeLibraryId) + L"\\" + TypeLibraryVersion();
}

[[noreturn]] void ThrowStatus(LSTATUS status) {
  throw Failure{HRESULT_FROM_WIN32(static_cast<unsigned long>(status))};
}

// The key every class key of a scope lies under. The library runs only in processes of its own
// bitness, whose default registry view is the library's.
class ClassesRoot {
public:
  explicit ClassesRoot(Scope scope) {
    if (scope == Scope::kMachine) return;
    const LSTATUS opened =
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, Out(user_), nullptr);
    if (opened != ERROR_SUCCESS) ThrowStatus(opened);
    key_ = user_.get();
  }

  HKEY get() const noexcept { return key_; }

private:
  RegistryKey user_;
  HKEY key_ = HKEY_CLASSES_ROOT;
};

struct Value {
  const wchar_t* name; // nullptr: the key's unnamed value
  std::wstring data;
};

// Creates root\path, and the keys above it, with the given text values.
void WriteKey(HKEY root, const std::wstring& path, std::initializer_list<Value> values) {
  RegistryKey key;
  const LSTATUS created = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          KEY_SET_VALUE, nullptr, Out(key), nullptr);
  if (created != ERROR_SUCCESS) ThrowStatus(created);
  for (const Value& value : values) {
    const auto bytes = static_cast<DWORD>((value.data.size() + 1) * sizeof(wchar_t));
    const LSTATUS written = RegSetValueExW(key.get(), value.name, 0, REG_SZ,
                                           reinterpret_cast<const BYTE*>(value.data.c_str()), bytes);
    if (written != ERROR_SUCCESS) ThrowStatus(written);
  }
}

void WriteClass(HKEY root) {
  const std::wstring file = module::FileName();
  const std::wstring classKey = ClassKey();
  const std::wstring description = ToWide(control::kClassDescription);
  const std::wstring progId = ToWide(control::kProgId);
  const std::wstring independentProgId = ToWide(control::kVersionIndependentProgId);
  const std::wstring miscStatus = std::to_wstring(control::kMiscStatus);
  const std::wstring bitmap = file + L", " + std::to_wstring(control::kToolboxBitmapResource);
  const std::wstring classId = GuidText(control::kClassId);

  WriteKey(root, classKey, {{nullptr, description}});
  WriteKey(root, classKey + L"\\InprocServer32",
           {{nullptr, file}, {L"ThreadingModel", ToWide(control::kThreadingModel)}});
  WriteKey(root, classKey + L"\\ProgID", {{nullptr, progId}});
  WriteKey(root, classKey + L"\\VersionIndependentProgID", {{nullptr, independentProgId}});
  WriteKey(root, classKey + L"\\Control", {});
  // The status for every aspect, and for the content aspect (1) in particular.
  WriteKey(root, classKey + L"\\MiscStatus", {{nullptr, miscStatus}});
  WriteKey(root, classKey + L"\\MiscStatus\\1", {{nullptr, miscStatus}});
  WriteKey(root, classKey + L"\\ToolboxBitmap32", {{nullptr, bitmap}});
  WriteKey(root, classKey + L"\\TypeLib", {{nullptr, GuidText(control::kTypeLibraryId)}});
  WriteKey(root, classKey + L"\\Version", {{nullptr, TypeLibraryVersion()}});
  for (const std::wstring& name : {progId, independentProgId}) {
    WriteKey(root, name, {{nullptr, description}});
    WriteKey(root, name + L"\\CLSID", {{nullptr, classId}});
  }
}

#if defined(_WIN64)
constexpr const wchar_t* kOwnSystemKey = L"win64";
#else
constexpr const wchar_t* kOwnSystemKey = L"win32";
#endif

class LibraryAttributes {
public:
  explicit LibraryAttributes(ITypeLib& library) : library_(library) {
    ThrowIfFailed(library.GetLibAttr(&attributes_));
  }
  ~LibraryAttributes() { library_.ReleaseTLibAttr(attributes_); }
  LibraryAttributes(const LibraryAttributes&) = delete;
  LibraryAttributes& operator=(const LibraryAttributes&) = delete;
  const TLIBATTR& operator*() const noexcept { return *attributes_; }

private:
  ITypeLib& library_;
  TLIBATTR* attributes_ = nullptr;
};

// The keys the system's type library registration writes, under the user's classes: the system's
// per-user registration is not to be relied on (one widespread implementation writes the machine's keys
// instead).
void WriteTypeLibraryKeys(HKEY root, ITypeLib& library) {
  const std::wstring file = module::FileName();
  const LibraryAttributes attributes(library);
  Bstr name;
  Bstr documentation;
  ThrowIfFailed(library.GetDocumentation(-1, Out(name), Out(documentation), nullptr, nullptr));
  const std::wstring versionKey = TypeLibraryVersionKey();
  wchar_t locale[16] = {};
  wsprintfW(locale, L"%lx", (*attributes).lcid);
  WriteKey(root, versionKey, {{nullptr, documentation ? documentation.get() : name.get()}});
  WriteKey(root, versionKey + L"\\" + locale + L"\\" + kOwnSystemKey, {{nullptr, file}});
  WriteKey(root, versionKey + L"\\FLAGS", {{nullptr, std::to_wstring((*attributes).wLibFlags)}});
  // Without a help folder of its own, the library's help is looked for beside it.
  WriteKey(root, versionKey + L"\\HELPDIR", {{nullptr, file.substr(0, file.find_last_of(L'\\'))}});

  ThrowIfFailed(ForEachMarshalledInterface(library, [&](const MarshalledInterface& entry) {
    wchar_t iid[40] = {};
    wchar_t proxyStub[40] = {};
    StringFromGUID2(entry.iid, iid, 40);
    StringFromGUID2(entry.proxyStub, proxyStub, 40);
    const std::wstring key = std::wstring(L"Interface\\") + iid;
    WriteKey(root, key, {{nullptr, entry.name.get()}});
    WriteKey(root, key + L"\\ProxyStubClsid", {{nullptr, proxyStub}});
    WriteKey(root, key + L"\\ProxyStubClsid32", {{nullptr, proxyStub}});
    WriteKey(root, key + L"\\TypeLib",
             {{nullptr, GuidText(control::kTypeLibraryId)}, {L"Version", TypeLibraryVersion()}});
  }));
}

void RegisterTypeLibrary(Scope scope, HKEY root) {
  ComPtr<ITypeLib> library;
  ThrowIfFailed(module::TypeLibrary(Out(library)));
  if (scope == Scope::kUser) {
    WriteTypeLibraryKeys(root, *library.get());
    return;
  }
  std::wstring file = module::FileName();
  ThrowIfFailed(RegisterTypeLib(library.get(), file.data(), nullptr));
}

// Deleting a key that is not there is no failure.
void DeleteTree(HKEY root, const std::wstring& path) {
  const LSTATUS deleted = RegDeleteTreeW(root, path.c_str());
  if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) ThrowStatus(deleted);
}

// The 32-bit and the 64-bit control library register the same class and type library. The class key
// lies in each bitness's own registry view; the programmatic identifiers, the type library key and (under
// Wine) the interface keys are shared by both. Unregistering one bitness must leave what the other still
// needs.
#if defined(_WIN64)
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
#else
// On 32-bit Windows the flag is ignored and the "other" view is this one.
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
#endif

bool OtherBitnessRegistered(HKEY root) {
  RegistryKey key;
  return RegOpenKeyExW(root, (ClassKey() + L"\\InprocServer32").c_str(), 0, KEY_READ | kOtherView,
                       Out(key)) == ERROR_SUCCESS;
}

// The interface keys the type library's registration wrote, in both views: Windows keeps one set per
// bitness, Wine one shared set.
void DeleteInterfaceKeys(HKEY root) {
  for (REGSAM view : {REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}}) {
    RegistryKey interfaces;
    if (RegOpenKeyExW(root, L"Interface", 0, KEY_ALL_ACCESS | view, Out(interfaces)) != ERROR_SUCCESS)
      continue;
    for (const control::Guid& id : {control::kInterfaceId, control::kEventInterfaceId}) {
      DeleteTree(interfaces.get(), GuidText(id));
    }
  }
}

bool TypeLibraryRegistered() {
  BSTR path = nullptr;
  const HRESULT found =
      QueryPathOfRegTypeLib(ToGuid(control::kTypeLibraryId), control::kTypeLibrary.majorVersion,
                            control::kTypeLibrary.minorVersion, LOCALE_NEUTRAL, &path);
  Bstr owned(path);
  return SUCCEEDED(found);
}

// The user's classes may have held none of the three containers before the registration made them.
void DeleteEmptyContainers(HKEY root) {
  for (const wchar_t* container : {L"CLSID", L"Interface", L"TypeLib"}) {
    RegistryKey key;
    if (RegOpenKeyExW(root, container, 0, KEY_READ, Out(key)) != ERROR_SUCCESS) continue;
    DWORD subkeys = 0;
    DWORD values = 0;
    const LSTATUS queried = RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                             &values, nullptr, nullptr, nullptr, nullptr);
    key.reset();
    if (queried == ERROR_SUCCESS && subkeys == 0 && values == 0) RegDeleteKeyExW(root, container, 0, 0);
  }
}

void Unregister(Scope scope, HKEY root) {
  DeleteTree(root, ClassKey());
  if (OtherBitnessRegistered(root)) {
    // Only this bitness's entry of the type library goes; the shared keys stay for the other.
    DeleteTree(root, TypeLibraryVersionKey() + L"\\0\\" + kOwnSystemKey);
    return;
  }
  DeleteTree(root, ToWide(control::kProgId));
  DeleteTree(root, ToWide(control::kVersionIndependentProgId));
  // The system's unregistration reads the machine's keys only; the user's are deleted below.
  if (scope == Scope::kMachine && TypeLibraryRegistered()) {
    ThrowIfFailed(UnRegisterTypeLib(ToGuid(control::kTypeLibraryId), control::kTypeLibrary.majorVersion,
                                    control::kTypeLibrary.minorVersion, LOCALE_NEUTRAL, kTypeLibrarySystem));
  }
  // The other bitness's type library entry may be left from a registration whose class is gone.
  DeleteTree(root, TypeLibraryVersionKey());
  // The library's own key goes when no other version is left in it.
  RegDeleteKeyExW(root, (L"TypeLib\\" + GuidText(control::kTypeLibraryId)).c_str(), 0, 0);
  DeleteInterfaceKeys(root);
  if (scope == Scope::kUser) DeleteEmptyContainers(root);
}

// A refusal keeps its status, so that the caller can say that an administrator is needed; any other
// failure is the part of the registration that failed.
HRESULT Refused(HRESULT result, HRESULT otherwise) noexcept {
  return result == E_ACCESSDENIED ? E_ACCESSDENIED : otherwise;
}

} // namespace

HRESULT RegisterServer(Scope scope) noexcept {
  try {
    const ClassesRoot classes(scope);
    const HKEY root = classes.get();
    HRESULT stage = SELFREG_E_CLASS;
    try {
      WriteClass(root);
      stage = SELFREG_E_TYPELIB;
      RegisterTypeLibrary(scope, root);
      return S_OK;
    } catch (const Failure& failure) {
      stage = Refused(failure.result, stage);
    } catch (...) {
    }
    // Nothing half-written stays: whatever was written is taken back.
    try {
      Unregister(scope, root);
    } catch (...) {
    }
    return stage;
  } catch (const Failure& failure) {
    return Refused(failure.result, SELFREG_E_CLASS);
  } catch (...) {
    return SELFREG_E_CLASS;
  }
}

HRESULT UnregisterServer(Scope scope) noexcept {
  try {
    const ClassesRoot classes(scope);
    Unregister(scope, classes.get());
    return S_OK;
  } catch (const Failure& failure) {
    return failure.result;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT Install(bool install, const wchar_t* commandLine) noexcept {
  const bool user =
      commandLine != nullptr && CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL;
  const Scope scope = user ? Scope::kUser : Scope::kMachine;
  return install ? RegisterServer(scope) : UnregisterServer(scope);
}

} // namespace qtv::com
