// What registration leaves in the registry, and the control library's own resources that it points to.
#include <gtest/gtest.h>

#include <ole2.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/control_com/com_test_support.h"

namespace qtv::testing {
namespace {

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

// The text value `name` (nullptr: the unnamed one) of HKEY_CLASSES_ROOT\path, or nothing.
std::optional<std::wstring> Value(const std::wstring& path, const wchar_t* name = nullptr) {
  wchar_t data[1024] = {};
  DWORD size = sizeof(data);
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(data);
}

bool KeyExists(const std::wstring& path) {
  com::RegistryKey key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, Out(key)) == ERROR_SUCCESS;
}

std::wstring LibraryPath() {
  const Module library(LoadLibraryW(QTV_CONTROL_LIBRARY));
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(library.get(), path, MAX_PATH);
  return path;
}

TEST(Registration, ClassWithEveryControlFact) {
  const std::wstring key = L"CLSID\\" + GuidText(kClassId);
  const std::wstring path = LibraryPath();
  EXPECT_EQ(L"QTV Software Checksum OCX", Value(key));
  EXPECT_EQ(path, Value(key + L"\\InprocServer32"));
  EXPECT_EQ(L"Apartment", Value(key + L"\\InprocServer32", L"ThreadingModel"));
  EXPECT_EQ(L"QTVChecksum100.QTVChecksum", Value(key + L"\\ProgID"));
  EXPECT_EQ(L"QTVChecksum100.QTVChecksum", Value(key + L"\\VersionIndependentProgID"));
  EXPECT_TRUE(KeyExists(key + L"\\Control"));
  EXPECT_EQ(path + L", 30000", Value(key + L"\\ToolboxBitmap32"));
  EXPECT_EQ(GuidText(kTypeLibraryId), Value(key + L"\\TypeLib"));
  EXPECT_EQ(L"2.0", Value(key + L"\\Version"));
  // Not safe for scripting or initialisation: no component categories at all.
  EXPECT_FALSE(KeyExists(key + L"\\Implemented Categories"));

  DWORD status = 0;
  EXPECT_EQ(S_OK, OleRegGetMiscStatus(kClassId, DVASPECT_CONTENT, &status));
  EXPECT_EQ(0x20591u, status);
  CLSID found{};
  EXPECT_EQ(S_OK, CLSIDFromProgID(L"QTVChecksum100.QTVChecksum", &found));
  EXPECT_EQ(kClassId, found);

  Bstr registered;
  ASSERT_EQ(S_OK, QueryPathOfRegTypeLib(kTypeLibraryId, 2, 0, LOCALE_NEUTRAL, Out(registered)));
  EXPECT_EQ(path, Wide(registered.get()));
  for (const GUID& iid : {kInterfaceId, kEventInterfaceId}) {
    EXPECT_EQ(GuidText(kTypeLibraryId), Value(L"Interface\\" + GuidText(iid) + L"\\TypeLib"));
  }
}

TEST(Registration, ToolboxBitmapIs16By15With24Bits) {
  const Module library(LoadLibraryExW(QTV_CONTROL_LIBRARY, nullptr, LOAD_LIBRARY_AS_DATAFILE));
  HRSRC resource = FindResourceW(library.get(), MAKEINTRESOURCEW(30000), MAKEINTRESOURCEW(2)); // RT_BITMAP
  ASSERT_NE(nullptr, resource);
  const auto* header =
      static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(library.get(), resource)));
  EXPECT_EQ(16, header->biWidth);
  EXPECT_EQ(15, header->biHeight);
  EXPECT_EQ(24, header->biBitCount);
}

TEST(Registration, VersionRecord) {
  const std::wstring path = LibraryPath();
  DWORD ignored = 0;
  std::vector<BYTE> record(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  ASSERT_FALSE(record.empty());
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()));
  void* found = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", &found, &length));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(found);
  EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
  EXPECT_EQ(0u, fixed->dwFileVersionLS);
  EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
  EXPECT_EQ(0u, fixed->dwProductVersionLS);
  EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
  EXPECT_EQ(static_cast<DWORD>(VOS__WINDOWS32), fixed->dwFileOS);
  ASSERT_TRUE(VerQueryValueW(record.data(), L"\\VarFileInfo\\Translation", &found, &length));
  EXPECT_EQ(0x04B00409u, *static_cast<const DWORD*>(found));

  const std::pair<const wchar_t*, const wchar_t*> entries[] = {
      {L"Comments", L"QTV Checksum OCX 1.0.0"},
      {L"FileDescription", L"QTV Checksum OCX 1.0.0"},
      {L"FileVersion", L"1.00"},
      {L"ProductVersion", L"1.00"},
      {L"InternalName", L"qtvchecksums100"},
      {L"OriginalFilename", L"qtvchecksums100.ocx"},
      {L"OLESelfRegister", L""},
      {L"CompanyName", L"QTV Software"},
      {L"ProductName", L"QTV Checksum OCX"},
      {L"LegalCopyright", L"Copyright (C) 2026 QTV Software"}};
  for (const auto& [name, expected] : entries) {
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    ASSERT_TRUE(VerQueryValueW(record.data(), query.c_str(), &found, &length)) << name;
    EXPECT_EQ(expected, std::wstring(static_cast<const wchar_t*>(found))) << name;
  }
}

} // namespace
} // namespace qtv::testing
