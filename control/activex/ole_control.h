#pragma once
// The control as the forms of design tools and Office see it: sited, sized, activated in place, drawn
// and closed through the OLE control interfaces. These interfaces are part of the control object: its
// identity for QueryInterface, its reference count for their lifetime.
//
// The control has one size, the one its resize handler keeps. It refuses any other extent (E_FAIL, as
// OLE asks of an object of fixed size), and while active in place it answers a container that gives
// it another rectangle with OnPosRectChange and its own.
//
// Design time is when the container's ambient property UserMode is FALSE. The control then shows its
// box; while the application runs it shows nothing. Active in place it always has a child window, so
// every container finds the window it expects, but that window is visible at design time only.
#include <windows.h>

#include <ocidl.h>
#include <oleidl.h>

#include <cstdint>

#include "control/activex/com_handles.h"
#include "control/activex/ole_box.h"
#include "qtvchecksum/qtv_checksum.h"

namespace qtv::com {

class OleControl final : public IOleObject,
                         public IOleInPlaceObject,
                         public IOleInPlaceActiveObject,
                         public IOleControl,
                         public IViewObject2 {
public:
  // `control` is only referred to here; it may be built after this part and must outlive its calls.
  OleControl(IUnknown& object, QTVChecksum& control) noexcept : object_(object), control_(control) {}
  OleControl(const OleControl&) = delete;
  OleControl& operator=(const OleControl&) = delete;
  ~OleControl() = default;

  // The interface of this part that answers `iid`, without a new reference; nullptr when none does.
  void* Find(REFIID iid) noexcept;

  STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
    return object_.QueryInterface(iid, result);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return object_.AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return object_.Release(); }

  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR application, LPCOLESTR document) override;
  STDMETHODIMP Close(DWORD saveOption) override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG message, IOleClientSite* activeSite, LONG index, HWND parent,
                      LPCRECT position) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* classId) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* userType) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
  STDMETHODIMP Unadvise(DWORD connection) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** connections) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;

  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
  STDMETHODIMP ReactivateAndUndo() override;

  STDMETHODIMP TranslateAccelerator(LPMSG message) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
  STDMETHODIMP EnableModeless(BOOL enable) override;

  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(MSG* message) override;
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectData, DVTARGETDEVICE* device, HDC deviceInfo,
                    HDC dc, LPCRECTL bounds, LPCRECTL metafileBounds,
                    BOOL(STDMETHODCALLTYPE* proceed)(ULONG_PTR), ULONG_PTR proceedArgument) override;
  STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectData, DVTARGETDEVICE* device, HDC deviceInfo,
                           LOGPALETTE** colors) override;
  STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectData, DWORD* freeze) override;
  STDMETHODIMP Unfreeze(DWORD freeze) override;
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

private:
  struct Twips {
    std::int32_t width;
    std::int32_t height;
  };

  HRESULT ActivateInPlace(IOleClientSite* activeSite) noexcept;
  HRESULT ActivateUserInterface() noexcept;
  // Runs the resize handler on a size asked in pixels and answers the rectangle the control keeps.
  RECT Resized(const RECT& asked) noexcept;
  SIZEL Extent() const noexcept;
  void ReadUserMode() noexcept;
  void SendViewChange() noexcept;
  HRESULT UseAdviseHolder() noexcept;

  IUnknown& object_;
  QTVChecksum& control_;
  Twips size_{QTVChecksum::kSizeInTwips, QTVChecksum::kSizeInTwips};
  // Without the ambient property the container is no design tool: the application runs.
  bool userMode_ = true;
  ComPtr<IOleClientSite> site_;
  ComPtr<IOleAdviseHolder> adviseHolder_;
  ComPtr<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0;
  DWORD viewFlags_ = 0;
  // Held while active in place.
  ComPtr<IOleInPlaceSite> inPlaceSite_;
  ComPtr<IOleInPlaceFrame> frame_;
  ComPtr<IOleInPlaceUIWindow> document_;
  bool userInterfaceActive_ = false;
  BoxWindow window_;
};

} // namespace qtv::com
