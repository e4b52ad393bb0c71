// The control used with nothing registered, as a program that carries it in its own folder uses it:
// this program's manifest (NAME.exe.manifest beside it) names the control's assembly, whose manifest
// lies beside the control library. The class is found by its programmatic identifier and its class
// identifier, called late and early bound, its event reaches a sink, and calls and events cross to a
// second apartment through the marshaller the assembly names.
#include <gtest/gtest.h>

#include <olectl.h>

#include <cstdio>
#include <string>

#include "tests/control_com/com_test_support.h"

namespace qtv::testing {
namespace {

const wchar_t kProgId[] = L"QTVChecksum100.QTVChecksum";
const wchar_t kAbcDigest[] = L"900150983cd24fb0d6963f7d28e17f72";

std::wstring OwnFile() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

bool HasManifest() {
  return GetFileAttributesW((OwnFile() + L".manifest").c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Md5Early(IQTVChecksum* control) {
  Bstr text(SysAllocString(L"abc"));
  Bstr result;
  EXPECT_EQ(S_OK, control->MD5String(text.get(), 3, Out(result)));
  return Wide(result.get());
}

std::wstring Md5Late(IDispatch* control) {
  Bstr text(SysAllocString(L"abc"));
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(S_OK, Call(control, MemberId(control, L"MD5String"), {Short(3), Text(text.get())}, &result));
  std::wstring digest = result.vt == VT_BSTR ? Wide(result.bstrVal) : L"(not a text)";
  VariantClear(&result);
  return digest;
}

// Connects the sink, calls a file method on a file that is not there and disconnects: one ErrorCode.
void ExpectErrorEvent(IQTVChecksum* control, EventSink& sink) {
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(S_OK, control->QueryInterface(IID_IConnectionPointContainer, Out(container)));
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(S_OK, container.get()->FindConnectionPoint(kEventInterfaceId, Out(point)));
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, point.get()->Advise(&sink, &cookie));
  Bstr file(SysAllocString(L"C:\\no such folder\\no such file.txt"));
  Bstr result;
  EXPECT_EQ(S_OK, control->MD5File(file.get(), Out(result)));
  EXPECT_EQ(S_OK, point.get()->Unadvise(cookie));
  ASSERT_EQ(1u, sink.events.size());
  EXPECT_EQ(1, sink.events[0].id);
  EXPECT_EQ(5, sink.events[0].number);
  EXPECT_EQ(L"The input file or path is invalid", sink.events[0].description);
}

// Run by the test below as a copy of this program in a folder of its own, without the manifest.
TEST(RegistrationFree, WithoutTheManifestNothingIsFound) {
  if (HasManifest()) {
    wchar_t folder[MAX_PATH] = {};
    ASSERT_NE(0u, GetTempPathW(MAX_PATH, folder));
    const std::wstring copy = std::wstring(folder) + L"qtv-registration-free-bare.exe";
    ASSERT_TRUE(CopyFileW(OwnFile().c_str(), copy.c_str(), FALSE)) << "error " << GetLastError();
    std::wstring command =
        L"\"" + copy + L"\" --gtest_filter=RegistrationFree.WithoutTheManifestNothingIsFound";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &started));
    CloseHandle(started.hThread);
    DWORD status = 1;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(started.hProcess, 60000));
    GetExitCodeProcess(started.hProcess, &status);
    CloseHandle(started.hProcess);
    DeleteFileW(copy.c_str());
    EXPECT_EQ(0u, status) << "without the manifest the control was found: it is registered, and this test "
                             "proves nothing (see the copy's output above)";
    return;
  }
  Apartment apartment;
  CLSID found{};
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(kProgId, &found));
  ComPtr<IUnknown> object;
  EXPECT_EQ(REGDB_E_CLASSNOTREG,
            CoCreateInstance(kClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, Out(object)));
}

TEST(RegistrationFree, CreatedByProgIdAndClassCalledLateAndEarlyBoundWithEvents) {
  ASSERT_TRUE(HasManifest()) << "this program's manifest is missing";
  Apartment apartment;
  // The activation context answers the ProgID with a class identifier of its own, which creates the
  // control as the real one does.
  CLSID found{};
  ASSERT_EQ(S_OK, CLSIDFromProgID(kProgId, &found));
  ComPtr<IDispatch> late;
  ASSERT_EQ(S_OK, CoCreateInstance(found, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, Out(late)));
  EXPECT_EQ(kAbcDigest, Md5Late(late.get()));
  ComPtr<IPersistStreamInit> persisted;
  ASSERT_EQ(S_OK, late.get()->QueryInterface(IID_IPersistStreamInit, Out(persisted)));
  CLSID reported{};
  EXPECT_EQ(S_OK, persisted.get()->GetClassID(&reported));
  EXPECT_EQ(kClassId, reported);

  ComPtr<IQTVChecksum> control = CreateControl();
  ASSERT_TRUE(control);
  EXPECT_EQ(kAbcDigest, Md5Early(control.get()));
  EventSink sink;
  ExpectErrorEvent(control.get(), sink);
}

// What the thread of the other apartment did with the control handed to it in `stream`.
struct CrossingWork {
  IStream* stream = nullptr;
  HRESULT unmarshalled = E_FAIL;
  bool proxied = false;
  std::wstring early, late;
};

DWORD WINAPI CallFromTheOtherApartment(void* argument) {
  auto& done = *static_cast<CrossingWork*>(argument);
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    ComPtr<IQTVChecksum> remote;
    done.unmarshalled = CoGetInterfaceAndReleaseStream(done.stream, kInterfaceId, Out(remote));
    if (SUCCEEDED(done.unmarshalled)) {
      done.proxied = static_cast<bool>(Query<IUnknown>(*remote.get(), IID_IMarshal)) ||
                     static_cast<bool>(Query<IUnknown>(*remote.get(), IID_IClientSecurity));
      done.early = Md5Early(remote.get());
      done.late = Md5Late(remote.get());
      EventSink sink;
      ExpectErrorEvent(remote.get(), sink);
    }
  }
  CoUninitialize();
  return 0;
}

// Read in the registry itself: inside this program's activation context the type library is always
// found, registered or not.
bool TypeLibraryRegistered() {
  wchar_t text[40] = {};
  StringFromGUID2(kTypeLibraryId, text, 40);
  com::RegistryKey key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, (std::wstring(L"TypeLib\\") + text).c_str(), 0, KEY_READ,
                       Out(key)) == ERROR_SUCCESS;
}

// Wine 8's marshaller for dual interfaces loads the type library by the bare file name the assembly
// gives, through LoadTypeLib, which registers a library it is given no full path for: the type library
// and both interfaces land in the machine's classes. Our code registers nothing here (the trace of
// oleaut32 shows the call inside the marshaller's class factory). What it wrote is removed again when
// the test ends, and said, so that the tests which need an unregistered machine find one.
class MarshallerRegistrationUndone {
public:
  MarshallerRegistrationUndone() : registeredBefore_(TypeLibraryRegistered()) {}
  ~MarshallerRegistrationUndone() {
    if (registeredBefore_ || !TypeLibraryRegistered()) {
      return;
    }
    std::printf("note: the marshaller registered the type library; it is unregistered again\n");
    EXPECT_EQ(S_OK, UnRegisterTypeLib(kTypeLibraryId, 2, 0, LOCALE_NEUTRAL,
                                      sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32));
  }
  MarshallerRegistrationUndone(const MarshallerRegistrationUndone&) = delete;
  MarshallerRegistrationUndone& operator=(const MarshallerRegistrationUndone&) = delete;

private:
  bool registeredBefore_;
};

// The control lives in this thread's apartment; a thread of the multithreaded apartment calls it and
// receives its event through proxies, while this thread serves the calls.
TEST(RegistrationFree, CallsAndEventsCrossApartments) {
  ASSERT_TRUE(HasManifest()) << "this program's manifest is missing";
  Apartment apartment;
  const MarshallerRegistrationUndone undone;
  ComPtr<IQTVChecksum> control = CreateControl();
  ASSERT_TRUE(control);
  ComPtr<IStream> stream;
  ASSERT_EQ(S_OK, CoMarshalInterThreadInterfaceInStream(kInterfaceId, control.get(), Out(stream)));

  CrossingWork work;
  work.stream = stream.release();
  HANDLE thread = CreateThread(nullptr, 0, CallFromTheOtherApartment, &work, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  DWORD index = 0;
  // Waiting serves the other apartment's calls into this one.
  EXPECT_EQ(S_OK, CoWaitForMultipleHandles(0, 60000, 1, &thread, &index));
  CloseHandle(thread);
  ASSERT_EQ(S_OK, work.unmarshalled) << "the interface did not cross: its proxy/stub is not found";
  EXPECT_TRUE(work.proxied) << "the other apartment got the object itself, not a proxy";
  EXPECT_EQ(kAbcDigest, work.early);
  EXPECT_EQ(kAbcDigest, work.late);
}

} // namespace
} // namespace qtv::testing
