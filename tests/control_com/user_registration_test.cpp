// Registering for the current user alone, as a standard user does with `regsvr32 /n /i:user`: the keys
// and values of the machine's registration, moved to HKEY_CURRENT_USER\Software\Classes in the view of
// the library's bitness, and nothing written for the machine. The machine registration is in place.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/control_com/com_test_support.h"

namespace qtv::testing {
namespace {

// Every key of a tree ("path") and every value ("path" TAB name), with its type and data as text.
using Snapshot = std::map<std::wstring, std::wstring>;

std::wstring Describe(DWORD type, const std::vector<BYTE>& data, DWORD size) {
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return std::to_wstring(type) + L":" + text;
  }
  std::wostringstream bytes;
  bytes << type << L":" << std::hex;
  for (DWORD i = 0; i < size; ++i) bytes << static_cast<unsigned>(data[i]) << L' ';
  return bytes.str();
}

void Collect(HKEY key, const std::wstring& path, Snapshot& into) {
  into[path] = L"key";
  DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, largestData = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                       &longestName, &largestData, nullptr, nullptr) != ERROR_SUCCESS) {
    into[path] = L"unreadable";
    return;
  }
  std::vector<wchar_t> name(std::max(longestName, longestSubkey) + 2);
  std::vector<BYTE> data(largestData + 2);
  for (DWORD i = 0; i < values; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = 0;
    if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
      continue;
    into[path + L"\t" + std::wstring(name.data(), nameLength)] = Describe(type, data, size);
  }
  std::vector<std::wstring> children;
  for (DWORD i = 0; i < subkeys; ++i) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    if (RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
      children.emplace_back(name.data(), nameLength);
  }
  for (const std::wstring& child : children) {
    com::RegistryKey opened;
    if (RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, Out(opened)) == ERROR_SUCCESS) {
      Collect(opened.get(), path + L"\\" + child, into);
    }
  }
}

// root\path and all below it, named relative to root; empty when the key is not there.
Snapshot Tree(HKEY root, const std::wstring& path) {
  Snapshot tree;
  com::RegistryKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, Out(key)) == ERROR_SUCCESS)
    Collect(key.get(), path, tree);
  return tree;
}

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

// Everything a registration of the control writes, under the classes key `classes` of root, named
// relative to it so that the two scopes compare.
Snapshot Registration(HKEY root, const std::wstring& classes) {
  Snapshot all;
  for (const std::wstring& path :
       {L"CLSID\\" + GuidText(kClassId), std::wstring(L"QTVChecksum100.QTVChecksum"),
        L"TypeLib\\" + GuidText(kTypeLibraryId), L"Interface\\" + GuidText(kInterfaceId),
        L"Interface\\" + GuidText(kEventInterfaceId)}) {
    all.merge(Tree(root, classes + L"\\" + path));
  }
  Snapshot relative;
  for (auto& [name, value] : all) relative[name.substr(classes.size() + 1)] = value;
  return relative;
}

// The machine's registration as the system's type library registration wrote it, whose help folder
// Wine writes in its long form (\\?\C:\...): the same folder.
Snapshot MachineRegistration() {
  Snapshot machine = Registration(HKEY_LOCAL_MACHINE, L"Software\\Classes");
  for (auto& [name, value] : machine) {
    if (name.ends_with(L"\\HELPDIR\t") && value.starts_with(L"1:\\\\?\\")) value.erase(2, 4);
  }
  return machine;
}

// Watches the whole of HKEY_LOCAL_MACHINE for any key made, deleted or given a value from now on.
class MachineWatch {
public:
  MachineWatch() {
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, nullptr, 0, KEY_NOTIFY, Out(key_)));
    event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(ERROR_SUCCESS,
              RegNotifyChangeKeyValue(key_.get(), TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET,
                                      event_, TRUE));
  }
  ~MachineWatch() { CloseHandle(event_); }
  MachineWatch(const MachineWatch&) = delete;
  MachineWatch& operator=(const MachineWatch&) = delete;

  bool Changed() const { return WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }

private:
  com::RegistryKey key_;
  HANDLE event_ = nullptr;
};

// The differences of two snapshots, one a line: "-" only in the first, "+" only in the second.
std::string Differences(const Snapshot& first, const Snapshot& second) {
  std::wstring lines;
  for (const auto& [name, value] : first) {
    const auto found = second.find(name);
    if (found == second.end())
      lines += L"- " + name + L" = " + value + L"\n";
    else if (found->second != value)
      lines += L"~ " + name + L" = " + value + L" / " + found->second + L"\n";
  }
  for (const auto& [name, value] : second) {
    if (!first.contains(name)) lines += L"+ " + name + L" = " + value + L"\n";
  }
  return std::string(lines.begin(), lines.end());
}

// The system's regsvr32 of this program's bitness, with the library's name as it lies in this folder.
DWORD Regsvr32(const std::wstring& switches) {
  std::wstring command = L"regsvr32.exe " + switches + L" " + QTV_CONTROL_LIBRARY;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started)) {
    ADD_FAILURE() << "regsvr32 did not start: error " << GetLastError();
    return ~DWORD{0};
  }
  CloseHandle(started.hThread);
  DWORD status = ~DWORD{0};
  if (WaitForSingleObject(started.hProcess, 60000) == WAIT_OBJECT_0)
    GetExitCodeProcess(started.hProcess, &status);
  else
    ADD_FAILURE() << "regsvr32 " << std::string(switches.begin(), switches.end()) << " did not end in 60 s";
  CloseHandle(started.hProcess);
  return status;
}

const std::wstring kUserClasses = L"Software\\Classes";

TEST(UserRegistration, WritesTheMachinesKeysForTheUserAloneAndTakesThemAllBack) {
  // A registration left by an earlier run that ended halfway goes first.
  ASSERT_EQ(0u, Regsvr32(L"/u /s /n /i:user"));
  const Snapshot machine = MachineRegistration();
  ASSERT_TRUE(machine.contains(L"CLSID\\" + GuidText(kClassId) + L"\\InprocServer32"))
      << "the machine registration this test compares with is missing";
  const Snapshot userBefore = Tree(HKEY_CURRENT_USER, kUserClasses);
  ASSERT_TRUE(Registration(HKEY_CURRENT_USER, kUserClasses).empty());

  const MachineWatch watch;
  ASSERT_EQ(0u, Regsvr32(L"/s /n /i:user"));
  const Snapshot user = Registration(HKEY_CURRENT_USER, kUserClasses);
  EXPECT_TRUE(machine == user) << "machine (-) and user (+) registrations differ:\n"
                               << Differences(machine, user);
  EXPECT_FALSE(watch.Changed()) << "the per-user registration wrote under HKEY_LOCAL_MACHINE";

  // The command line is read in any case.
  ASSERT_EQ(0u, Regsvr32(L"/u /s /n /i:USER"));
  const Snapshot userAfter = Tree(HKEY_CURRENT_USER, kUserClasses);
  EXPECT_TRUE(userBefore == userAfter) << "left for the user:\n" << Differences(userBefore, userAfter);
  EXPECT_FALSE(watch.Changed()) << "the per-user unregistration wrote under HKEY_LOCAL_MACHINE";
  // The watch does see a write under HKEY_LOCAL_MACHINE: one made and taken back here.
  com::RegistryKey probe;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\QTV watch probe", 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, Out(probe), nullptr));
  probe.reset();
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\QTV watch probe");
  EXPECT_TRUE(watch.Changed())
      << "the watch over HKEY_LOCAL_MACHINE sees no write: the checks above prove nothing";
  const Snapshot machineAfter = MachineRegistration();
  EXPECT_TRUE(machine == machineAfter) << "the machine registration changed:\n"
                                       << Differences(machine, machineAfter);
}

} // namespace
} // namespace qtv::testing
