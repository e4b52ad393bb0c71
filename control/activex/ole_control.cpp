#include "control/activex/ole_control.h"

#include <ole2.h>
#include <olectl.h>

#include <utility>

#include "control/control_registration.h"
#include "platform/unique_handle.h"

namespace qtv::com {
namespace {

constexpr int kTwipsPerInch = 1440;
constexpr int kHimetricPerInch = 2540;

struct Dpi {
  int x;
  int y;
};

inline constexpr auto kReleaseScreen = [](HDC dc) noexcept { ReleaseDC(nullptr, dc); };
using ScreenDc = platform::UniqueHandle<HDC, nullptr, kReleaseScreen>;

// Containers place controls in screen pixels.
Dpi ScreenDpi() noexcept {
  const ScreenDc screen(GetDC(nullptr));
  if (!screen) return {96, 96};
  return {GetDeviceCaps(screen.get(), LOGPIXELSX), GetDeviceCaps(screen.get(), LOGPIXELSY)};
}

} // namespace

void* OleControl::Find(REFIID iid) noexcept {
  if (iid == IID_IOleObject) return static_cast<IOleObject*>(this);
  if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) return static_cast<IOleInPlaceObject*>(this);
  if (iid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
  if (iid == IID_IOleControl) return static_cast<IOleControl*>(this);
  if (iid == IID_IViewObject || iid == IID_IViewObject2) return static_cast<IViewObject2*>(this);
  return nullptr;
}

// ---- IOleObject

STDMETHODIMP OleControl::SetClientSite(IOleClientSite* site) {
  // A container lets go of the control this way: nothing of the old site may stay behind.
  if (site == nullptr) InPlaceDeactivate();
  site_ = Share(site);
  // Without a site there is no one to ask, and no one to show anything to.
  if (site_) ReadUserMode();
  return S_OK;
}

STDMETHODIMP OleControl::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) return E_POINTER;
  *site = Share(site_.get()).release();
  return S_OK;
}

STDMETHODIMP OleControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP OleControl::Close(DWORD) {
  // The control has no properties, so nothing is ever unsaved and every save option closes alike.
  InPlaceDeactivate();
  // A closed control tells no one anything more. Letting its sinks go here also breaks the cycle of a
  // container that is its own sink.
  const ComPtr<IOleAdviseHolder> holder = std::move(adviseHolder_);
  if (holder) holder.get()->SendOnClose();
  viewSink_.reset();
  return S_OK;
}

// Controls cannot be linked to (OLEMISC_CANTLINKINSIDE): they have no moniker.
STDMETHODIMP OleControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP OleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker == nullptr) return E_POINTER;
  *moniker = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP OleControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP OleControl::GetClipboardData(DWORD, IDataObject** data) {
  if (data == nullptr) return E_POINTER;
  *data = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP OleControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND, LPCRECT) {
  switch (verb) {
  case OLEIVERB_PRIMARY:
  case OLEIVERB_SHOW:
  case OLEIVERB_INPLACEACTIVATE:
    return ActivateInPlace(activeSite);
  case OLEIVERB_UIACTIVATE: {
    const HRESULT active = ActivateInPlace(activeSite);
    return active == S_OK ? ActivateUserInterface() : active;
  }
  case OLEIVERB_HIDE:
    UIDeactivate();
    window_.Show(false);
    return S_OK;
  case OLEIVERB_DISCARDUNDOSTATE:
    return S_OK; // nothing is ever undone
  default:
    break;
  }
  // Opening in a window of its own and property pages: the control has neither.
  if (verb < 0) return E_NOTIMPL;
  // A verb the control does not list: it does its primary one, as OLE asks.
  const HRESULT active = ActivateInPlace(activeSite);
  return FAILED(active) ? active : OLEOBJ_S_INVALIDVERB;
}

STDMETHODIMP OleControl::EnumVerbs(IEnumOLEVERB** verbs) {
  if (verbs == nullptr) return E_POINTER;
  return OleRegEnumVerbs(ToGuid(control::kClassId), verbs);
}

STDMETHODIMP OleControl::Update() { return S_OK; }

STDMETHODIMP OleControl::IsUpToDate() { return S_OK; }

STDMETHODIMP OleControl::GetUserClassID(CLSID* classId) {
  if (classId == nullptr) return E_POINTER;
  *classId = ToGuid(control::kClassId);
  return S_OK;
}

STDMETHODIMP OleControl::GetUserType(DWORD form, LPOLESTR* userType) {
  if (userType == nullptr) return E_POINTER;
  return OleRegGetUserType(ToGuid(control::kClassId), form, userType);
}

STDMETHODIMP OleControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
  size_ = {MulDiv(size->cx, kTwipsPerInch, kHimetricPerInch),
           MulDiv(size->cy, kTwipsPerInch, kHimetricPerInch)};
  control_.Resize(size_.width, size_.height);
  const SIZEL kept = Extent();
  // OLE's answer of an object whose size is fixed; the container then asks which size it keeps.
  return kept.cx == size->cx && kept.cy == size->cy ? S_OK : E_FAIL;
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
  *size = Extent();
  return S_OK;
}

STDMETHODIMP OleControl::Advise(IAdviseSink* sink, DWORD* connection) {
  if (connection == nullptr) return E_POINTER;
  *connection = 0;
  const HRESULT holder = UseAdviseHolder();
  return FAILED(holder) ? holder : adviseHolder_.get()->Advise(sink, connection);
}

STDMETHODIMP OleControl::Unadvise(DWORD connection) {
  return adviseHolder_ ? adviseHolder_.get()->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP OleControl::EnumAdvise(IEnumSTATDATA** connections) {
  if (connections == nullptr) return E_POINTER;
  *connections = nullptr;
  const HRESULT holder = UseAdviseHolder();
  return FAILED(holder) ? holder : adviseHolder_.get()->EnumAdvise(connections);
}

STDMETHODIMP OleControl::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) return E_POINTER;
  // The same for every aspect, as registered.
  *status = control::kMiscStatus;
  return S_OK;
}

STDMETHODIMP OleControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IOleWindow, IOleInPlaceObject

STDMETHODIMP OleControl::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = window_.Handle();
  return *window != nullptr ? S_OK : E_FAIL;
}

STDMETHODIMP OleControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP OleControl::InPlaceDeactivate() {
  if (!inPlaceSite_) return S_OK;
  UIDeactivate();
  window_.Destroy();
  frame_.reset();
  document_.reset();
  const ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
  site.get()->OnInPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP OleControl::UIDeactivate() {
  if (!std::exchange(userInterfaceActive_, false)) return S_OK;
  if (frame_) frame_.get()->SetActiveObject(nullptr, nullptr);
  if (document_) document_.get()->SetActiveObject(nullptr, nullptr);
  const ComPtr<IOleInPlaceSite> site = Share(inPlaceSite_.get());
  if (site) site.get()->OnUIDeactivate(FALSE);
  return S_OK;
}

STDMETHODIMP OleControl::SetObjectRects(LPCRECT position, LPCRECT) {
  if (position == nullptr) return E_POINTER;
  const RECT kept = Resized(*position);
  window_.Place(kept);
  // Containers answer with SetObjectRects for the rectangle told here, which then changes nothing.
  const ComPtr<IOleInPlaceSite> site = Share(inPlaceSite_.get());
  if (site && !EqualRect(&kept, position)) site.get()->OnPosRectChange(&kept);
  return S_OK;
}

STDMETHODIMP OleControl::ReactivateAndUndo() { return E_NOTIMPL; }

// ---- IOleInPlaceActiveObject: the control has no keys, menus, tools or modeless windows.

STDMETHODIMP OleControl::TranslateAccelerator(LPMSG) { return S_FALSE; }
STDMETHODIMP OleControl::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP OleControl::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP OleControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP OleControl::EnableModeless(BOOL) { return S_OK; }

// ---- IOleControl

STDMETHODIMP OleControl::GetControlInfo(CONTROLINFO* info) {
  if (info == nullptr) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return E_NOTIMPL; // OLE's answer of a control without mnemonics
}

STDMETHODIMP OleControl::OnMnemonic(MSG*) { return E_NOTIMPL; }

STDMETHODIMP OleControl::OnAmbientPropertyChange(DISPID id) {
  if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN) ReadUserMode();
  return S_OK;
}

// Events are raised only inside calls the host makes itself: a freeze has nothing to hold back.
STDMETHODIMP OleControl::FreezeEvents(BOOL) { return S_OK; }

// ---- IViewObject2

STDMETHODIMP OleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                              LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (dc == nullptr || bounds == nullptr) return E_INVALIDARG;
  if (!userMode_) DrawBox(dc, RECT{bounds->left, bounds->top, bounds->right, bounds->bottom});
  return S_OK;
}

STDMETHODIMP OleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
  if (colors == nullptr) return E_POINTER;
  *colors = nullptr;
  return S_FALSE; // no palette of its own
}

STDMETHODIMP OleControl::Freeze(DWORD, LONG, void*, DWORD* freeze) {
  if (freeze == nullptr) return E_POINTER;
  *freeze = 0;
  return E_NOTIMPL;
}

STDMETHODIMP OleControl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP OleControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  viewSink_ = Share(sink);
  viewAspects_ = aspects;
  viewFlags_ = flags;
  if (flags & ADVF_PRIMEFIRST) SendViewChange();
  return S_OK;
}

STDMETHODIMP OleControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = viewAspects_;
  if (flags != nullptr) *flags = viewFlags_;
  if (sink != nullptr) *sink = Share(viewSink_.get()).release();
  return S_OK;
}

STDMETHODIMP OleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

// ---- The control's own steps

HRESULT OleControl::ActivateInPlace(IOleClientSite* activeSite) noexcept {
  if (inPlaceSite_) {
    window_.Show(!userMode_);
    return S_OK;
  }
  IOleClientSite* site = activeSite != nullptr ? activeSite : site_.get();
  if (site == nullptr) return E_UNEXPECTED;
  ComPtr<IOleInPlaceSite> inPlace;
  const HRESULT offered = site->QueryInterface(IID_IOleInPlaceSite, Out(inPlace));
  if (FAILED(offered)) return offered;
  // A site that answers S_OK without a pointer has no in-place site to give.
  if (!inPlace) return E_NOINTERFACE;
  if (inPlace.get()->CanInPlaceActivate() != S_OK) return OLEOBJ_S_CANNOT_DOVERB_NOW;
  HRESULT result = inPlace.get()->OnInPlaceActivate();
  if (FAILED(result)) return result;

  HWND parent = nullptr;
  RECT position{};
  RECT clip{};
  OLEINPLACEFRAMEINFO frameInfo{};
  frameInfo.cb = sizeof frameInfo;
  result = inPlace.get()->GetWindow(&parent);
  if (SUCCEEDED(result)) {
    result = inPlace.get()->GetWindowContext(Out(frame_), Out(document_), &position, &clip, &frameInfo);
  }
  const RECT kept = Resized(position);
  if (SUCCEEDED(result) && !window_.Create(parent, kept, !userMode_)) result = E_FAIL;
  if (FAILED(result)) {
    frame_.reset();
    document_.reset();
    inPlace.get()->OnInPlaceDeactivate();
    return result;
  }
  inPlaceSite_ = std::move(inPlace);
  if (!EqualRect(&kept, &position)) Share(inPlaceSite_.get()).get()->OnPosRectChange(&kept);
  return S_OK;
}

HRESULT OleControl::ActivateUserInterface() noexcept {
  if (userInterfaceActive_) return S_OK;
  const ComPtr<IOleInPlaceSite> site = Share(inPlaceSite_.get());
  const HRESULT result = site.get()->OnUIActivate();
  if (FAILED(result)) return result;
  userInterfaceActive_ = true;
  // The control brings no menus, tools or borders: it only tells frame and document who is active.
  auto* active = static_cast<IOleInPlaceActiveObject*>(this);
  if (frame_) {
    frame_.get()->SetActiveObject(active, nullptr);
    frame_.get()->SetBorderSpace(nullptr);
  }
  if (document_) {
    document_.get()->SetActiveObject(active, nullptr);
    document_.get()->SetBorderSpace(nullptr);
  }
  return S_OK;
}

RECT OleControl::Resized(const RECT& asked) noexcept {
  const Dpi dpi = ScreenDpi();
  size_ = {MulDiv(asked.right - asked.left, kTwipsPerInch, dpi.x),
           MulDiv(asked.bottom - asked.top, kTwipsPerInch, dpi.y)};
  control_.Resize(size_.width, size_.height);
  return RECT{asked.left, asked.top, asked.left + MulDiv(size_.width, dpi.x, kTwipsPerInch),
              asked.top + MulDiv(size_.height, dpi.y, kTwipsPerInch)};
}

SIZEL OleControl::Extent() const noexcept {
  return SIZEL{MulDiv(size_.width, kHimetricPerInch, kTwipsPerInch),
               MulDiv(size_.height, kHimetricPerInch, kTwipsPerInch)};
}

void OleControl::ReadUserMode() noexcept {
  bool userMode = true;
  // A site that answers S_OK without a pointer has no ambient properties either.
  const ComPtr<IDispatch> ambient =
      site_ ? Query<IDispatch>(*site_.get(), IID_IDispatch) : ComPtr<IDispatch>();
  if (ambient) {
    VARIANT value;
    VariantInit(&value);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (SUCCEEDED(ambient.get()->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT,
                                        DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr)) &&
        SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BOOL))) {
      userMode = value.boolVal != VARIANT_FALSE;
    }
    VariantClear(&value);
  }
  if (userMode == userMode_) return;
  userMode_ = userMode;
  window_.Show(!userMode_);
  SendViewChange();
}

void OleControl::SendViewChange() noexcept {
  if (!viewSink_ || (viewAspects_ & DVASPECT_CONTENT) == 0) return;
  const ComPtr<IAdviseSink> sink = Share(viewSink_.get());
  if (viewFlags_ & ADVF_ONLYONCE) viewSink_.reset();
  sink.get()->OnViewChange(DVASPECT_CONTENT, -1);
}

HRESULT OleControl::UseAdviseHolder() noexcept {
  return adviseHolder_ ? S_OK : CreateOleAdviseHolder(Out(adviseHolder_));
}

} // namespace qtv::com
