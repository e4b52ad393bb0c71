// After the control library has unregistered itself, nothing of it is left to find.
#include <gtest/gtest.h>

#include "tests/control_com/com_test_support.h"

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

TEST(Unregistration, RemovesEverythingAndMayBeRepeated) {
  Apartment apartment;
  ExpectNothingLeft();
  const Module library(LoadLibraryW(QTV_CONTROL_LIBRARY));
  const auto unregister = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), "DllUnregisterServer")));
  ASSERT_NE(nullptr, unregister);
  EXPECT_EQ(S_OK, unregister());
  ExpectNothingLeft();
}

} // namespace
} // namespace qtv::testing
