// After the control library has unregistered itself, nothing of it is left to find; and a machine
// registration that the registry refuses halfway leaves nothing either.
#include <gtest/gtest.h>

#include "tests/control_com/com_test_support.h"

#include <sddl.h>

namespace qtv::testing {
namespace {

bool KeyExists(const GUID& guid, const wchar_t* under) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  com::RegistryKey key;
  const std::wstring path = std::wstring(under) + L"\\" + text;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, Out(key)) == ERROR_SUCCESS;
}

void ExpectNothingLeft() {
  EXPECT_FALSE(KeyExists(kClassId, L"CLSID"));
  EXPECT_FALSE(KeyExists(kTypeLibraryId, L"TypeLib"));
  EXPECT_FALSE(KeyExists(kInterfaceId, L"Interface"));
  EXPECT_FALSE(KeyExists(kEventInterfaceId, L"Interface"));
  com::RegistryKey key;
  EXPECT_NE(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_CLASSES_ROOT, L"QTVChecksum100.QTVChecksum", 0, KEY_READ, Out(key)));
  CLSID found{};
  EXPECT_NE(S_OK, CLSIDFromProgID(L"QTVChecksum100.QTVChecksum", &found));
  ComPtr<IUnknown> object;
  EXPECT_EQ(REGDB_E_CLASSNOTREG,
            CoCreateInstance(kClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, Out(object)));
}

template <typename Function> Function* Entry(const Module& library, const char* name) {
  auto* entry = reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(library.get(), name)));
  EXPECT_NE(nullptr, entry) << name;
  return entry;
}
using Register = HRESULT STDAPICALLTYPE();
using Install = HRESULT STDAPICALLTYPE(BOOL, LPCWSTR);

TEST(Unregistration, RemovesEverythingAndMayBeRepeated) {
  Apartment apartment;
  ExpectNothingLeft();
  const Module library(LoadLibraryW(QTV_CONTROL_LIBRARY));
  const auto unregister = Entry<Register>(library, "DllUnregisterServer");
  ASSERT_NE(nullptr, unregister);
  EXPECT_EQ(S_OK, unregister());
  ExpectNothingLeft();
}

TEST(Unregistration, InstallWithoutUserIsTheMachineRegistration) {
  Apartment apartment;
  const Module library(LoadLibraryW(QTV_CONTROL_LIBRARY));
  const auto install = Entry<Install>(library, "DllInstall");
  ASSERT_NE(nullptr, install);
  ASSERT_EQ(S_OK, install(TRUE, nullptr));
  CLSID found{};
  EXPECT_EQ(S_OK, CLSIDFromProgID(L"QTVChecksum100.QTVChecksum", &found));
  EXPECT_TRUE(KeyExists(kTypeLibraryId, L"TypeLib"));
  EXPECT_EQ(S_OK, install(FALSE, L""));
  ExpectNothingLeft();
}

// The registry refuses the registration halfway, as it refuses a standard user: the key the programmatic
// identifier's class goes into, made here, lets everyone read and delete it but not write to it.
TEST(Unregistration, RefusedRegistrationFailsAsRefusedAndLeavesNothing) {
  Apartment apartment;
  const std::wstring refusing = L"QTVChecksum100.QTVChecksum\\CLSID";
  com::RegistryKey key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, refusing.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, Out(key), nullptr));
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KRSDWDRC;;;WD)", SDDL_REVISION_1,
                                                                   &descriptor, nullptr));
  const LSTATUS secured = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor);
  LocalFree(descriptor);
  ASSERT_EQ(ERROR_SUCCESS, secured);
  key.reset();
  com::RegistryKey writable;
  ASSERT_EQ(ERROR_ACCESS_DENIED,
            RegOpenKeyExW(HKEY_CLASSES_ROOT, refusing.c_str(), 0, KEY_SET_VALUE, Out(writable)))
      << "the registry does not refuse writes to a key whose access list forbids them";

  const Module library(LoadLibraryW(QTV_CONTROL_LIBRARY));
  const auto registerServer = Entry<Register>(library, "DllRegisterServer");
  ASSERT_NE(nullptr, registerServer);
  const HRESULT result = registerServer();
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L"QTVChecksum100.QTVChecksum");
  EXPECT_EQ(E_ACCESSDENIED, result);
  ExpectNothingLeft();
}

} // namespace
} // namespace qtv::testing
