#pragma once
// What the tests of the sited control share: a form of a design tool as the control meets it (a
// window, a client site that answers the ambient property UserMode, an in-place site and frame, an
// advise sink), the control created as such a container creates it, and the control library's own
// answer to whether it may be unloaded.
#include <gtest/gtest.h>

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <vector>

#include "tests/control_com/com_test_support.h"

namespace qtv::testing {

inline constexpr auto kDestroyWindow = [](HWND window) noexcept { DestroyWindow(window); };
using Window = platform::UniqueHandle<HWND, nullptr, kDestroyWindow>;

// 480 by 480 twips, and the 2000 by 1000 twips a container asks for, in HIMETRIC.
inline constexpr SIZEL kFixedExtent{847, 847};
inline constexpr SIZEL kAskedExtent{3528, 1764};

// 480 twips in screen pixels.
inline SIZE BoxPixels() {
  const HDC screen = GetDC(nullptr);
  const SIZE size{MulDiv(480, GetDeviceCaps(screen, LOGPIXELSX), 1440),
                  MulDiv(480, GetDeviceCaps(screen, LOGPIXELSY), 1440)};
  ReleaseDC(nullptr, screen);
  return size;
}

inline ComPtr<IOleObject> CreateOleObject() {
  ComPtr<IOleObject> object;
  EXPECT_EQ(S_OK, CoCreateInstance(kClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, Out(object)));
  return object;
}

template <typename Interface> ComPtr<Interface> Ask(IUnknown* object, REFIID iid) {
  ComPtr<Interface> part;
  EXPECT_EQ(S_OK, object->QueryInterface(iid, Out(part)));
  return part;
}

// DllCanUnloadNow of the control library that the component runtime loaded.
inline HRESULT ControlLibraryCanUnloadNow() {
  const HMODULE library = GetModuleHandleW(QTV_CONTROL_LIBRARY);
  if (library == nullptr) return E_FAIL;
  const auto canUnloadNow = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
  return canUnloadNow != nullptr ? canUnloadNow() : E_FAIL;
}

inline bool operator==(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

inline SIZE ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return SIZE{client.right, client.bottom};
}

// Lives on the test's stack; `references` shows whether the control still holds any part of it.
class TestContainer final : public IOleClientSite,
                            public IOleInPlaceSite,
                            public IOleInPlaceFrame,
                            public IDispatch,
                            public IAdviseSink {
public:
  explicit TestContainer(bool designTime)
      : userMode(!designTime),
        window_(CreateWindowExW(0, L"STATIC", L"form", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                0, 640, 480, nullptr, nullptr, nullptr, nullptr)) {
    EXPECT_TRUE(window_) << "the form window could not be made (error " << GetLastError() << ")";
  }

  HWND window() const { return window_.get(); }
  // As when the user closes the form before the container deactivates its controls.
  void DestroyForm() { window_.reset(); }

  STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
      *result = static_cast<IOleClientSite*>(this);
    } else if (givesNoPointers) {
      *result = nullptr;
      return S_OK;
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
      *result = static_cast<IOleInPlaceSite*>(this);
    } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
      *result = static_cast<IOleInPlaceFrame*>(this);
    } else if (iid == IID_IDispatch) {
      *result = static_cast<IDispatch*>(this);
    } else if (iid == IID_IAdviseSink) {
      *result = static_cast<IAdviseSink*>(this);
    } else {
      *result = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
  STDMETHODIMP_(ULONG) Release() override { return --references; }

  STDMETHODIMP GetWindow(HWND* window) override {
    *window = window_.get();
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  STDMETHODIMP SaveObject() override { return S_OK; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    *moniker = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    *container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return Record("OnInPlaceActivate"); }
  STDMETHODIMP OnUIActivate() override { return Record("OnUIActivate"); }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    AddRef();
    *frame = this;
    *document = nullptr;
    *position = place;
    *clip = place;
    info->fMDIApp = FALSE;
    info->hwndFrame = window_.get();
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return Record("OnUIDeactivate"); }
  STDMETHODIMP OnInPlaceDeactivate() override { return Record("OnInPlaceDeactivate"); }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  // As design tools do: the control gets the rectangle it asks for.
  STDMETHODIMP OnPosRectChange(LPCRECT position) override {
    Record("OnPosRectChange");
    told.push_back(*position);
    place = *position;
    if (control != nullptr)
      Ask<IOleInPlaceObject>(control, IID_IOleInPlaceObject).get()->SetObjectRects(position, position);
    return S_OK;
  }

  STDMETHODIMP GetBorder(LPRECT) override { return E_NOTIMPL; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override {
    activeObject = com::Share(object);
    return Record(object != nullptr ? "SetActiveObject" : "SetActiveObject(null)");
  }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    if (id != DISPID_AMBIENT_USERMODE || (flags & DISPATCH_PROPERTYGET) == 0 || result == nullptr) {
      return DISP_E_MEMBERNOTFOUND;
    }
    VariantInit(result);
    result->vt = VT_BOOL;
    result->boolVal = userMode ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }

  void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
  void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override { Record("OnViewChange"); }
  void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
  void STDMETHODCALLTYPE OnSave() override {}
  void STDMETHODCALLTYPE OnClose() override { Record("OnClose"); }

  ULONG references = 0;
  bool userMode;
  // As a broken container: every interface but the client site is answered with S_OK and no pointer.
  bool givesNoPointers = false;
  // Where the container places the control, in pixels of its window.
  RECT place{10, 20, 143, 87};
  std::vector<std::string> calls;
  std::vector<RECT> told;
  ComPtr<IOleInPlaceActiveObject> activeObject;
  // The control, for the container's answer to OnPosRectChange; not a reference.
  IOleObject* control = nullptr;

private:
  HRESULT Record(const char* call) {
    calls.emplace_back(call);
    return S_OK;
  }

  Window window_;
};

} // namespace qtv::testing
