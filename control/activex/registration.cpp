#include "control/activex/registration.h"

#include <oleauto.h>
#include <olectl.h>

#include <initializer_list>
#include <new>
#include <string>

#include "control/activex/com_handles.h"
#include "control/activex/errors.h"
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

struct Value {
  const wchar_t* name; // nullptr: the key's unnamed value
  std::wstring data;
};

// Creates HKEY_CLASSES_ROOT\path, and the keys above it, with the given text values.
void WriteKey(const std::wstring& path, std::initializer_list<Value> values) {
  RegistryKey key;
  const LSTATUS created = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr,
                                          REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, Out(key), nullptr);
  if (created != ERROR_SUCCESS) throw Failure{HRESULT_FROM_WIN32(static_cast<unsigned long>(created))};
  for (const Value& value : values) {
    const auto bytes = static_cast<DWORD>((value.data.size() + 1) * sizeof(wchar_t));
    const LSTATUS written = RegSetValueExW(key.get(), value.name, 0, REG_SZ,
                                           reinterpret_cast<const BYTE*>(value.data.c_str()), bytes);
    if (written != ERROR_SUCCESS) throw Failure{HRESULT_FROM_WIN32(static_cast<unsigned long>(written))};
  }
}

void WriteClass() {
  const std::wstring file = module::FileName();
  const std::wstring classKey = ClassKey();
  const std::wstring description = ToWide(control::kClassDescription);
  const std::wstring progId = ToWide(control::kProgId);
  const std::wstring independentProgId = ToWide(control::kVersionIndependentProgId);
  const std::wstring threading = ToWide(control::kThreadingModel);
  const std::wstring miscStatus = std::to_wstring(control::kMiscStatus);
  const std::wstring bitmap = file + L", " + std::to_wstring(control::kToolboxBitmapResource);
  const std::wstring typeLibrary = GuidText(control::kTypeLibraryId);
  const std::wstring version = std::to_wstring(control::kTypeLibrary.majorVersion) + L"." +
                               std::to_wstring(control::kTypeLibrary.minorVersion);
  const std::wstring classId = GuidText(control::kClassId);

  WriteKey(classKey, {{nullptr, description}});
  WriteKey(classKey + L"\\InprocServer32", {{nullptr, file}, {L"ThreadingModel", threading}});
  WriteKey(classKey + L"\\ProgID", {{nullptr, progId}});
  WriteKey(classKey + L"\\VersionIndependentProgID", {{nullptr, independentProgId}});
  WriteKey(classKey + L"\\Control", {});
  // The status for every aspect, and for the content aspect (1) in particular.
  WriteKey(classKey + L"\\MiscStatus", {{nullptr, miscStatus}});
  WriteKey(classKey + L"\\MiscStatus\\1", {{nullptr, miscStatus}});
  WriteKey(classKey + L"\\ToolboxBitmap32", {{nullptr, bitmap}});
  WriteKey(classKey + L"\\TypeLib", {{nullptr, typeLibrary}});
  WriteKey(classKey + L"\\Version", {{nullptr, version}});
  for (const std::wstring& name : {progId, independentProgId}) {
    WriteKey(name, {{nullptr, description}});
    WriteKey(name + L"\\CLSID", {{nullptr, classId}});
  }
}

void RegisterTypeLibrary() {
  std::wstring file = module::FileName();
  ComPtr<ITypeLib> library;
  ThrowIfFailed(module::TypeLibrary(Out(library)));
  ThrowIfFailed(RegisterTypeLib(library.get(), file.data(), nullptr));
}

// Deleting a key that is not there is no failure.
void DeleteTree(const std::wstring& path) {
  const LSTATUS deleted = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
  if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
    throw Failure{HRESULT_FROM_WIN32(static_cast<unsigned long>(deleted))};
  }
}

// The 32-bit and the 64-bit control library register the same class and type library. The class key
// lies in each bitness's own registry view; the programmatic identifiers, the type library key and (under
// Wine) the interface keys are shared by both. Unregistering one bitness must leave what the other still
// needs.
#if defined(_WIN64)
constexpr REGSAM kOtherView = KEY_WOW64_32KEY;
constexpr const wchar_t* kOwnSystemKey = L"win64";
#else
// On 32-bit Windows the flag is ignored and the "other" view is this one.
constexpr REGSAM kOtherView = KEY_WOW64_64KEY;
constexpr const wchar_t* kOwnSystemKey = L"win32";
#endif

bool OtherBitnessRegistered() {
  RegistryKey key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, (ClassKey() + L"\\InprocServer32").c_str(), 0,
                       KEY_READ | kOtherView, Out(key)) == ERROR_SUCCESS;
}

std::wstring TypeLibraryVersionKey() {
  return L"TypeLib\\" + GuidText(control::kTypeLibraryId) + L"\\" +
         std::to_wstring(control::kTypeLibrary.majorVersion) + L"." +
         std::to_wstring(control::kTypeLibrary.minorVersion);
}

// The interface keys the type library's registration wrote, in both views: Windows keeps one set per
// bitness, Wine one shared set.
void DeleteInterfaceKeys() {
  for (REGSAM view : {REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}}) {
    RegistryKey interfaces;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Interface", 0, KEY_ALL_ACCESS | view, Out(interfaces)) !=
        ERROR_SUCCESS) {
      continue;
    }
    for (const control::Guid& id : {control::kInterfaceId, control::kEventInterfaceId}) {
      const LSTATUS deleted = RegDeleteTreeW(interfaces.get(), GuidText(id).c_str());
      if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
        throw Failure{HRESULT_FROM_WIN32(static_cast<unsigned long>(deleted))};
      }
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

} // namespace

HRESULT RegisterServer() noexcept {
  try {
    WriteClass();
  } catch (...) {
    UnregisterServer();
    return SELFREG_E_CLASS;
  }
  try {
    RegisterTypeLibrary();
  } catch (...) {
    UnregisterServer();
    return SELFREG_E_TYPELIB;
  }
  return S_OK;
}

HRESULT UnregisterServer() noexcept {
  try {
    DeleteTree(ClassKey());
    if (OtherBitnessRegistered()) {
      // Only this bitness's entry of the type library goes; the shared keys stay for the other.
      DeleteTree(TypeLibraryVersionKey() + L"\\0\\" + kOwnSystemKey);
      return S_OK;
    }
    DeleteTree(ToWide(control::kProgId));
    DeleteTree(ToWide(control::kVersionIndependentProgId));
    if (TypeLibraryRegistered()) {
      ThrowIfFailed(UnRegisterTypeLib(ToGuid(control::kTypeLibraryId), control::kTypeLibrary.majorVersion,
                                      control::kTypeLibrary.minorVersion, LOCALE_NEUTRAL,
                                      kTypeLibrarySystem));
    }
    // The other bitness's type library entry may be left from a registration whose class is gone.
    DeleteTree(TypeLibraryVersionKey());
    // The library's own key goes when no other version is left in it.
    RegDeleteKeyExW(HKEY_CLASSES_ROOT, (L"TypeLib\\" + GuidText(control::kTypeLibraryId)).c_str(), 0, 0);
    DeleteInterfaceKeys();
    return S_OK;
  } catch (const Failure& failure) {
    return failure.result;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

} // namespace qtv::com
