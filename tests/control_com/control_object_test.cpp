// The control object through the component runtime: its interfaces and identity, calls through the
// method table and through late binding, failures as error objects and exceptions, the modal about box,
// and when the library may be unloaded.
#include <gtest/gtest.h>

#include <objsafe.h>
#include <olectl.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/testing.h"
#include "tests/control_com/com_test_support.h"
#include "tests/support/temporary_folder.h"

namespace qtv::testing {
namespace {

constexpr HRESULT kCannotCreateFolder = static_cast<HRESULT>(0x800A0046); // error 70

// Runs `body` on a fresh apartment thread (the engine is loaded once per thread) whose temporary folder
// is `folder`.
void InTemporaryFolder(const std::filesystem::path& folder, const std::function<void()>& body) {
  std::vector<std::pair<const wchar_t*, std::wstring>> saved;
  for (const wchar_t* name : {L"TMP", L"TEMP"}) {
    wchar_t value[MAX_PATH] = {};
    GetEnvironmentVariableW(name, value, MAX_PATH);
    saved.emplace_back(name, value);
    SetEnvironmentVariableW(name, folder.wstring().c_str());
  }
  std::thread([&] {
    Apartment apartment;
    body();
  }).join();
  for (const auto& [name, value] : saved) SetEnvironmentVariableW(name, value.c_str());
}

// Runs `body` as InTemporaryFolder does, in a temporary folder that holds a regular file named
// QTVSoftware, so that the engine folder cannot be created. `body` receives the description error 70
// must carry.
void WithBlockedEngineFolder(const std::function<void(const std::wstring&)>& body) {
  namespace fs = std::filesystem;
  // Named before the temporary folder is changed.
  const fs::path folder =
      fs::temp_directory_path() /
      (std::string("qtv-blocked-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::create_directories(folder);
  std::ofstream(folder / "QTVSoftware") << "a file where the engine folder belongs";
  InTemporaryFolder(folder, [&] {
    body(L"Unable to create the destination folder " + folder.wstring() + L"\\QTVSoftware\\");
  });
}

class ControlObjectTest : public ::testing::Test {
protected:
  Apartment apartment_;
  ComPtr<IQTVChecksum> control_ = CreateControl();
};

TEST_F(ControlObjectTest, OffersItsInterfacesWithOneIdentity) {
  const ComPtr<IUnknown> identity = Identity(control_.get());
  for (const IID& iid : {IID_IDispatch, kInterfaceId, IID_IConnectionPointContainer, IID_IProvideClassInfo,
                         IID_IProvideClassInfo2, IID_ISupportErrorInfo}) {
    ComPtr<IUnknown> offered;
    ASSERT_EQ(S_OK, control_.get()->QueryInterface(iid, Out(offered)));
    EXPECT_EQ(identity.get(), Identity(offered.get()).get());
  }
  // It reads any file it is given: never claim to be safe for scripting or initialisation.
  ComPtr<IUnknown> refused;
  EXPECT_EQ(E_NOINTERFACE, control_.get()->QueryInterface(IID_IObjectSafety, Out(refused)));
  EXPECT_EQ(nullptr, refused.get());
  EXPECT_EQ(E_POINTER, control_.get()->QueryInterface(IID_IUnknown, nullptr));

  // The connection point has an identity of its own and leads back to the same control.
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(S_OK, control_.get()->QueryInterface(IID_IConnectionPointContainer, Out(container)));
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(S_OK, container.get()->FindConnectionPoint(kEventInterfaceId, Out(point)));
  EXPECT_NE(identity.get(), Identity(point.get()).get());
  EXPECT_EQ(E_NOINTERFACE, point.get()->QueryInterface(IID_IDispatch, Out(refused)));
  ComPtr<IConnectionPointContainer> back;
  ASSERT_EQ(S_OK, point.get()->GetConnectionPointContainer(Out(back)));
  EXPECT_EQ(identity.get(), Identity(back.get()).get());
  IID iid{};
  EXPECT_EQ(S_OK, point.get()->GetConnectionInterface(&iid));
  EXPECT_EQ(kEventInterfaceId, iid);

  // The one connection point is also the only one listed.
  ComPtr<IEnumConnectionPoints> points;
  ASSERT_EQ(S_OK, container.get()->EnumConnectionPoints(Out(points)));
  IConnectionPoint* listed[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(S_FALSE, points.get()->Next(2, listed, &fetched));
  ASSERT_EQ(1u, fetched);
  const ComPtr<IConnectionPoint> first(listed[0]);
  EXPECT_EQ(Identity(point.get()).get(), Identity(first.get()).get());
  EXPECT_EQ(CONNECT_E_NOCONNECTION, container.get()->FindConnectionPoint(IID_IDispatch, Out(point)));
}

TEST_F(ControlObjectTest, NamesItsClassAndEventInterface) {
  ComPtr<IProvideClassInfo2> information;
  ASSERT_EQ(S_OK, control_.get()->QueryInterface(IID_IProvideClassInfo2, Out(information)));
  ComPtr<ITypeInfo> type;
  ASSERT_EQ(S_OK, information.get()->GetClassInfo(Out(type)));
  TYPEATTR* attributes = nullptr;
  ASSERT_EQ(S_OK, type.get()->GetTypeAttr(&attributes));
  EXPECT_EQ(kClassId, attributes->guid);
  EXPECT_EQ(TKIND_COCLASS, attributes->typekind);
  type.get()->ReleaseTypeAttr(attributes);
  GUID guid{};
  EXPECT_EQ(S_OK, information.get()->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &guid));
  EXPECT_EQ(kEventInterfaceId, guid);
  EXPECT_EQ(E_INVALIDARG, information.get()->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID + 1, &guid));
}

TEST_F(ControlObjectTest, LateBindingFindsMembersByNameAndConvertsArguments) {
  const std::pair<const wchar_t*, DISPID> names[] = {
      {L"ControlName", 0x6003000E}, {L"About", 0x60030002}, {L"md5string", 0x60030004}};
  for (const auto& [name, expected] : names) {
    LPOLESTR asked = const_cast<LPOLESTR>(name);
    DISPID id = 0;
    EXPECT_EQ(S_OK, control_.get()->GetIDsOfNames(IID_NULL, &asked, 1, LOCALE_USER_DEFAULT, &id)) << name;
    EXPECT_EQ(expected, id) << name;
  }
  LPOLESTR unknown = const_cast<LPOLESTR>(L"Checksum");
  DISPID id = 0;
  EXPECT_EQ(DISP_E_UNKNOWNNAME,
            control_.get()->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id));

  // Script hosts pass small integers as 16-bit values.
  Bstr abc(SysAllocString(L"abcdef"));
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(S_OK, Call(control_.get(), 0x60030004, {Short(3), Text(abc.get())}, &result));
  ASSERT_EQ(VT_BSTR, result.vt);
  EXPECT_EQ(L"900150983cd24fb0d6963f7d28e17f72", Wide(result.bstrVal));
  VariantClear(&result);
  ASSERT_EQ(S_OK, Call(control_.get(), 0x6003000E, {}, &result));
  EXPECT_EQ(L"QTV Checksum OCX 1.0.0", Wide(result.bstrVal));
  VariantClear(&result);
  EXPECT_EQ(DISP_E_BADPARAMCOUNT, Call(control_.get(), 0x60030004, {Text(abc.get())}, &result));
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Call(control_.get(), 0x6003000D, {}, &result));
}

TEST_F(ControlObjectTest, MethodTableReturnsTextsAndRefusesNullResults) {
  Bstr result;
  EXPECT_EQ(S_OK, control_.get()->SHA1String(nullptr, 0, Out(result)));
  EXPECT_EQ(L"da39a3ee5e6b4b0d3255bfef95601890afd80709", Wide(result.get()));
  EXPECT_EQ(S_OK, control_.get()->Adler32File(nullptr, Out(result)));
  EXPECT_EQ(L"", Wide(result.get()));
  EXPECT_EQ(E_POINTER, control_.get()->ControlName(nullptr));
  EXPECT_EQ(E_POINTER, control_.get()->About(nullptr));
}

TEST(ControlErrors, UnhandledFailureReachesTheMethodTableAsStatusWithErrorObject) {
  WithBlockedEngineFolder([](const std::wstring& description) {
    ComPtr<IQTVChecksum> control = CreateControl();
    EventSink sink;
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(S_OK, control.get()->QueryInterface(IID_IConnectionPointContainer, Out(container)));
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(S_OK, container.get()->FindConnectionPoint(kEventInterfaceId, Out(point)));
    DWORD cookie = 0;
    ASSERT_EQ(S_OK, point.get()->Advise(&sink, &cookie));

    Bstr result;
    EXPECT_EQ(kCannotCreateFolder, control.get()->MD5File(nullptr, Out(result)));
    EXPECT_EQ(nullptr, result.get());
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(S_OK, control.get()->QueryInterface(IID_ISupportErrorInfo, Out(support)));
    EXPECT_EQ(S_OK, support.get()->InterfaceSupportsErrorInfo(kInterfaceId));
    ComPtr<IErrorInfo> error;
    ASSERT_EQ(S_OK, GetErrorInfo(0, Out(error)));
    Bstr text;
    ASSERT_EQ(S_OK, error.get()->GetDescription(Out(text)));
    EXPECT_EQ(description, Wide(text.get()));
    // Reported as a failure, so not also as an event.
    EXPECT_TRUE(sink.events.empty());
    point.get()->Unadvise(cookie);
  });
}

// A negative Length (VBScript's True among them) is the caller's mistake: E_INVALIDARG with its error
// object. Late-bound, scripts see error 5 (checksums.vbs).
TEST_F(ControlObjectTest, ANegativeLengthIsAnInvalidArgument) {
  Bstr abc(SysAllocString(L"abc"));
  Bstr result;
  EXPECT_EQ(E_INVALIDARG, control_.get()->MD5String(abc.get(), -1, Out(result)));
  EXPECT_EQ(nullptr, result.get());
  ComPtr<IErrorInfo> error;
  ASSERT_EQ(S_OK, GetErrorInfo(0, Out(error)));
  Bstr text;
  ASSERT_EQ(S_OK, error.get()->GetDescription(Out(text)));
  EXPECT_EQ(L"Invalid procedure call or argument", Wide(text.get()));
}

TEST(ControlErrors, UnhandledFailureReachesLateBindingAsException) {
  WithBlockedEngineFolder([](const std::wstring& description) {
    ComPtr<IQTVChecksum> control = CreateControl();
    Bstr abc(SysAllocString(L"abc"));
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    EXPECT_EQ(DISP_E_EXCEPTION,
              Call(control.get(), 0x60030003, {Short(3), Text(abc.get())}, &result, &exception));
    EXPECT_EQ(kCannotCreateFolder, exception.scode);
    EXPECT_EQ(0, exception.wCode);
    EXPECT_EQ(description, Wide(exception.bstrDescription));
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);
  });
}

// The about box is modal: a hook on this thread closes it as soon as it is active.
struct AboutBoxCloser {
  static inline std::vector<std::pair<HWND, std::wstring>> shown;
  static LRESULT CALLBACK Hook(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_ACTIVATE) {
      const auto window = reinterpret_cast<HWND>(wparam);
      wchar_t name[64] = {}, caption[128] = {};
      GetClassNameW(window, name, 64);
      GetWindowTextW(window, caption, 128);
      // Only this thread's boxes (other tests show theirs at the same time), and each once: a box may be
      // activated more than once while it opens.
      if (std::wstring(name) == L"#32770" &&
          GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() &&
          (shown.empty() || shown.back().first != window)) {
        shown.emplace_back(window, caption);
        PostMessageW(window, WM_CLOSE, 0, 0);
      }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
  }
};

TEST_F(ControlObjectTest, AboutReturnsOnlyWhenTheBoxIsClosed) {
  HHOOK hook = SetWindowsHookExW(WH_CBT, &AboutBoxCloser::Hook, nullptr, GetCurrentThreadId());
  ASSERT_NE(nullptr, hook);
  for (int time = 1; time <= 2; ++time) {
    VARIANT result;
    result.vt = VT_I4;
    EXPECT_EQ(S_OK, control_.get()->About(&result));
    EXPECT_EQ(VT_EMPTY, result.vt);
    ASSERT_EQ(static_cast<std::size_t>(time), AboutBoxCloser::shown.size());
    EXPECT_FALSE(IsWindow(AboutBoxCloser::shown.back().first));
    EXPECT_EQ(L"QTV Checksum OCX 1.0.0", AboutBoxCloser::shown.back().second);
  }
  UnhookWindowsHookEx(hook);
}

TEST(ControlLibrary, MayBeUnloadedOnlyWithoutObjectsAndLocks) {
  Apartment apartment;
  const Module library(LoadLibraryW(QTV_CONTROL_LIBRARY));
  ASSERT_TRUE(library);
  const auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), "DllGetClassObject")));
  const auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(library.get(), "DllCanUnloadNow")));
  ASSERT_NE(nullptr, getClassObject);
  ASSERT_NE(nullptr, canUnloadNow);
  EXPECT_EQ(S_OK, canUnloadNow());

  ComPtr<IClassFactory> factory;
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_IDispatch, IID_IClassFactory, Out(factory)));
  ASSERT_EQ(S_OK, getClassObject(kClassId, IID_IClassFactory, Out(factory)));
  EXPECT_EQ(S_FALSE, canUnloadNow());
  ComPtr<IUnknown> object;
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory.get()->CreateInstance(factory.get(), IID_IUnknown, Out(object)));
  ASSERT_EQ(S_OK, factory.get()->CreateInstance(nullptr, IID_IUnknown, Out(object)));
  ASSERT_EQ(S_OK, factory.get()->LockServer(TRUE));
  factory.reset();
  EXPECT_EQ(S_FALSE, canUnloadNow()); // the object and the lock
  object.reset();
  EXPECT_EQ(S_FALSE, canUnloadNow()); // the lock
  ASSERT_EQ(S_OK, getClassObject(kClassId, IID_IClassFactory, Out(factory)));
  factory.get()->LockServer(FALSE);
  factory.reset();
  EXPECT_EQ(S_OK, canUnloadNow());
}

// The controls on a thread share its engine: it stays loaded while any of them lives, so that none of
// them loads it again, and the last one to end releases it.
TEST(ControlLibrary, KeepsTheEngineLoadedWhileAnyControlOnTheThreadLives) {
  const TemporaryFolder temp("qtv-instances");
  InTemporaryFolder(temp.path(), [&] {
    const std::filesystem::path engine = temp.path() / "QTVSoftware" / QTV_ENGINE_FILE;
    ComPtr<IQTVChecksum> first = CreateControl();
    {
      ComPtr<IQTVChecksum> second = CreateControl();
      Bstr result;
      EXPECT_EQ(S_OK, second.get()->MD5String(Bstr(SysAllocString(L"abc")).get(), 3, Out(result)));
      EXPECT_EQ(L"900150983cd24fb0d6963f7d28e17f72", Wide(result.get()));
      ASSERT_NE(nullptr, GetModuleHandleW(engine.c_str())) << "the engine was not loaded from " << engine;
    }
    EXPECT_NE(nullptr, GetModuleHandleW(engine.c_str())) << "released while a control lives on the thread";
    first.reset();
    EXPECT_EQ(nullptr, GetModuleHandleW(engine.c_str())) << "kept after the thread's last control ended";
  });
}

// Locked-down machines forbid loading programs from the temporary folder (AppLocker or software
// restriction rules, endpoint protection). Wine's loader refuses a library by its full name when the
// prefix's DllOverrides disable that name, as a path rule does.
struct LoaderRefusal {
  explicit LoaderRefusal(const std::filesystem::path& library) : name(library.wstring()) {
    name.resize(name.size() - 4); // Wine names a library without ".dll"
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                    Out(key), nullptr);
    RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
  }
  ~LoaderRefusal() { RegDeleteValueW(key.get(), name.c_str()); }
  std::wstring name;
  com::RegistryKey key;
};

// Installed, the control library has its engine beside it: that engine serves where the temporary folder
// may not load one, but only when it is the carried engine byte for byte.
TEST(ControlLibrary, TakesTheEngineBesideItWhereTheTemporaryFolderMayNotLoadOne) {
  namespace fs = std::filesystem;
  const TemporaryFolder root("qtv-beside");
  const fs::path installed = root.path() / "installed";
  const fs::path temp = root.path() / "temp";
  const fs::path refused = temp / "QTVSoftware" / QTV_ENGINE_FILE;
  fs::create_directories(refused.parent_path());
  fs::create_directories(installed);
  fs::copy_file(QTV_ENGINE_FILE, refused);
  fs::copy_file(QTV_CONTROL_LIBRARY, installed / QTV_CONTROL_LIBRARY);
  const LoaderRefusal refusal(refused);
  if (Module(LoadLibraryW(refused.c_str())))
    GTEST_SKIP() << "this loader refuses no library by its full name, as Wine's DllOverrides make it do";

  std::ifstream in(QTV_ENGINE_FILE, std::ios::binary);
  const std::string engine{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  // The carried engine, then one with a byte more: a library that would load and answer, but another.
  for (const bool carried : {true, false}) {
    std::ofstream(installed / QTV_ENGINE_FILE, std::ios::binary) << (carried ? engine : engine + "\n");
    InTemporaryFolder(temp, [&] {
      platform::testing::MessageCapture messages;
      const Module library(LoadLibraryW((installed / QTV_CONTROL_LIBRARY).c_str()));
      const auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
          reinterpret_cast<void*>(GetProcAddress(library.get(), "DllGetClassObject")));
      ASSERT_NE(nullptr, getClassObject);
      ComPtr<IClassFactory> factory;
      ASSERT_EQ(S_OK, getClassObject(kClassId, IID_IClassFactory, Out(factory)));
      ComPtr<IQTVChecksum> control;
      ASSERT_EQ(S_OK, factory.get()->CreateInstance(nullptr, kInterfaceId, Out(control)));
      Bstr result;
      EXPECT_EQ(S_OK, control.get()->MD5String(Bstr(SysAllocString(L"abc")).get(), 3, Out(result)));
      EXPECT_EQ(carried ? L"900150983cd24fb0d6963f7d28e17f72" : std::wstring(32, L' '), Wide(result.get()));
      EXPECT_EQ(carried, GetModuleHandleW((installed / QTV_ENGINE_FILE).c_str()) != nullptr);
      EXPECT_EQ(carried ? 0u : 2u, messages.Messages().size());
    });
  }
}

} // namespace
} // namespace qtv::testing
