// The control on a design tool's form: our own container drives the calls with which design tools
// site, size, activate, draw, save and release a control, and checks every answer and every call the
// control makes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/control_site/test_container.h"

namespace qtv::testing {
namespace {

using Calls = std::vector<std::string>;

inline constexpr auto kDeleteBitmap = [](HBITMAP bitmap) noexcept { DeleteObject(bitmap); };
using Bitmap = platform::UniqueHandle<HBITMAP, nullptr, kDeleteBitmap>;
inline constexpr auto kDeleteDc = [](HDC dc) noexcept { DeleteDC(dc); };
using MemoryDc = platform::UniqueHandle<HDC, nullptr, kDeleteDc>;

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// A drawing surface in memory, filled with a colour that nothing of the control's drawing uses.
class Canvas {
public:
  static constexpr std::uint32_t kUntouched = 0x010203;

  Canvas(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr)) {
    const BITMAPINFO info = TopDown32(width, height);
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    EXPECT_TRUE(bitmap_);
    bits_ = static_cast<std::uint32_t*>(bits);
    std::fill(bits_, bits_ + width * height, kUntouched);
    previous_ = SelectObject(dc_.get(), bitmap_.get());
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  ~Canvas() { SelectObject(dc_.get(), previous_); }

  HDC dc() const { return dc_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }
  std::uint32_t Pixel(int x, int y) const {
    GdiFlush();
    return bits_[y * width_ + x] & 0xFFFFFF;
  }

private:
  int width_;
  int height_;
  MemoryDc dc_;
  Bitmap bitmap_;
  std::uint32_t* bits_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

// The toolbox bitmap as the control library holds it, one 0xRRGGBB value a pixel, top row first.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};

Image ToolboxBitmap() {
  const Bitmap bitmap(static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(QTV_CONTROL_LIBRARY),
                                                      MAKEINTRESOURCEW(control::kToolboxBitmapResource),
                                                      IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  Image image;
  BITMAP size{};
  if (!bitmap || GetObjectW(bitmap.get(), sizeof size, &size) == 0) return image;
  image.width = size.bmWidth;
  image.height = size.bmHeight;
  image.pixels.resize(static_cast<std::size_t>(image.width * image.height));
  BITMAPINFO info = TopDown32(image.width, image.height);
  const MemoryDc dc(CreateCompatibleDC(nullptr));
  GetDIBits(dc.get(), bitmap.get(), 0, static_cast<UINT>(image.height), image.pixels.data(), &info,
            DIB_RGB_COLORS);
  for (std::uint32_t& pixel : image.pixels) pixel &= 0xFFFFFF;
  return image;
}

// True when the whole image appears, at its own size, somewhere inside `area` of the canvas.
bool Shows(const Canvas& canvas, const Image& image, const RECT& area) {
  if (image.pixels.empty()) return false;
  for (int top = area.top; top + image.height <= area.bottom; ++top) {
    for (int left = area.left; left + image.width <= area.right; ++left) {
      bool same = true;
      for (int y = 0; same && y < image.height; ++y) {
        for (int x = 0; same && x < image.width; ++x) {
          same =
              canvas.Pixel(left + x, top + y) == image.pixels[static_cast<std::size_t>(y * image.width + x)];
        }
      }
      if (same) return true;
    }
  }
  return false;
}

bool UntouchedOutside(const Canvas& canvas, const RECT& area) {
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      const POINT point{x, y};
      if (!PtInRect(&area, point) && canvas.Pixel(x, y) != Canvas::kUntouched) return false;
    }
  }
  return true;
}

HRESULT Draw(IUnknown* control, const Canvas& canvas, const RECT& bounds, DWORD aspect = DVASPECT_CONTENT) {
  const RECTL rectangle{bounds.left, bounds.top, bounds.right, bounds.bottom};
  return Ask<IViewObject2>(control, IID_IViewObject2)
      .get()
      ->Draw(aspect, -1, nullptr, nullptr, nullptr, canvas.dc(), &rectangle, nullptr, nullptr, 0);
}

bool Visible(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

// Where a child window sits in its parent.
RECT Placement(HWND window) {
  RECT placed{};
  GetWindowRect(window, &placed);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&placed), 2);
  return placed;
}

class DesignToolTest : public ::testing::Test {
protected:
  void Site() {
    ASSERT_EQ(S_OK, control_.get()->SetClientSite(&form_));
    form_.control = control_.get();
  }
  HRESULT DoVerb(LONG verb) {
    return control_.get()->DoVerb(verb, nullptr, &form_, 0, form_.window(), &form_.place);
  }
  HWND ControlWindow() {
    HWND window = nullptr;
    EXPECT_EQ(S_OK, InPlace().get()->GetWindow(&window));
    return window;
  }
  ComPtr<IOleInPlaceObject> InPlace() {
    return Ask<IOleInPlaceObject>(control_.get(), IID_IOleInPlaceObject);
  }
  // How every container lets go: close, then take the site away; nothing of it may stay.
  void Release() {
    EXPECT_EQ(S_OK, control_.get()->Close(OLECLOSE_NOSAVE));
    EXPECT_EQ(S_OK, control_.get()->SetClientSite(nullptr));
    EXPECT_EQ(0u, form_.references);
    control_.reset();
    EXPECT_EQ(S_OK, ControlLibraryCanUnloadNow());
  }
  void ExpectFixedExtent() {
    SIZEL extent{};
    EXPECT_EQ(S_OK, control_.get()->GetExtent(DVASPECT_CONTENT, &extent));
    EXPECT_EQ(kFixedExtent.cx, extent.cx);
    EXPECT_EQ(kFixedExtent.cy, extent.cy);
    extent = {};
    EXPECT_EQ(S_OK, Ask<IViewObject2>(control_.get(), IID_IViewObject2)
                        .get()
                        ->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent));
    EXPECT_EQ(kFixedExtent.cx, extent.cx);
    EXPECT_EQ(kFixedExtent.cy, extent.cy);
  }

  Apartment apartment_;
  // Declared before the control, so that it outlives the control's last reference to it.
  TestContainer form_{/*designTime=*/true};
  ComPtr<IOleObject> control_ = CreateOleObject();
  const SIZE box_ = BoxPixels();
};

TEST_F(DesignToolTest, GoesThroughTheWholeLifeOfAControlOnAFormAndLeavesNothingBehind) {
  // The status comes first: it says the control wants its site before it is initialised.
  DWORD status = 0;
  ASSERT_EQ(S_OK, control_.get()->GetMiscStatus(DVASPECT_CONTENT, &status));
  EXPECT_EQ(0x20591u, status);
  Site();
  ASSERT_EQ(S_OK, Ask<IPersistStreamInit>(control_.get(), IID_IPersistStreamInit).get()->InitNew());
  EXPECT_EQ(S_OK, control_.get()->SetHostNames(L"Designer", L"Form1"));

  SIZEL asked = kAskedExtent;
  EXPECT_EQ(E_FAIL, control_.get()->SetExtent(DVASPECT_CONTENT, &asked));
  ExpectFixedExtent();

  DWORD connection = 0;
  ASSERT_EQ(S_OK, control_.get()->Advise(&form_, &connection));
  ASSERT_EQ(
      S_OK,
      Ask<IViewObject2>(control_.get(), IID_IViewObject2).get()->SetAdvise(DVASPECT_CONTENT, 0, &form_));

  // Activated where the container placed it at the size it asked, the control keeps its own size there.
  ASSERT_EQ(S_OK, DoVerb(OLEIVERB_INPLACEACTIVATE));
  const RECT kept{10, 20, 10 + box_.cx, 20 + box_.cy};
  EXPECT_EQ((Calls{"OnInPlaceActivate", "OnPosRectChange"}), form_.calls);
  ASSERT_EQ(1u, form_.told.size());
  EXPECT_TRUE(kept == form_.told[0]);
  const HWND window = ControlWindow();
  EXPECT_EQ(form_.window(), GetParent(window));
  EXPECT_TRUE(Visible(window));
  EXPECT_TRUE(kept == Placement(window));

  form_.calls.clear();
  ASSERT_EQ(S_OK, DoVerb(OLEIVERB_UIACTIVATE));
  EXPECT_EQ((Calls{"OnUIActivate", "SetActiveObject"}), form_.calls);
  ASSERT_TRUE(form_.activeObject);
  EXPECT_EQ(Identity(control_.get()).get(), Identity(form_.activeObject.get()).get());
  EXPECT_EQ(S_OK, InPlace().get()->UIDeactivate());
  EXPECT_EQ(S_OK, InPlace().get()->InPlaceDeactivate());
  EXPECT_EQ((Calls{"OnUIActivate", "SetActiveObject", "SetActiveObject(null)", "OnUIDeactivate",
                   "OnInPlaceDeactivate"}),
            form_.calls);
  EXPECT_FALSE(form_.activeObject);
  EXPECT_FALSE(IsWindow(window));
  HWND none = nullptr;
  EXPECT_EQ(E_FAIL, InPlace().get()->GetWindow(&none));

  // Inactive, the designer draws the control itself.
  const Canvas canvas(box_.cx, box_.cy);
  const RECT bounds{0, 0, box_.cx, box_.cy};
  ASSERT_EQ(S_OK, Draw(control_.get(), canvas, bounds));
  EXPECT_TRUE(Shows(canvas, ToolboxBitmap(), bounds));

  // Saved with the form, and loaded into the next instance when the form is opened again.
  ComPtr<IStream> stream;
  ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, Out(stream)));
  {
    const auto saving = Ask<IPersistStreamInit>(control_.get(), IID_IPersistStreamInit);
    EXPECT_EQ(S_FALSE, saving.get()->IsDirty());
    ASSERT_EQ(S_OK, saving.get()->Save(stream.get(), TRUE));
  }
  ASSERT_EQ(S_OK, stream.get()->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr));
  {
    ComPtr<IOleObject> next = CreateOleObject();
    ASSERT_EQ(S_OK, next.get()->SetClientSite(&form_));
    EXPECT_EQ(S_OK, Ask<IPersistStreamInit>(next.get(), IID_IPersistStreamInit).get()->Load(stream.get()));
    SIZEL extent{};
    EXPECT_EQ(S_OK, next.get()->GetExtent(DVASPECT_CONTENT, &extent));
    EXPECT_EQ(kFixedExtent.cx, extent.cx);
    EXPECT_EQ(S_OK, next.get()->Close(OLECLOSE_NOSAVE));
    EXPECT_EQ(S_OK, next.get()->SetClientSite(nullptr));
  }

  form_.calls.clear();
  EXPECT_EQ(S_OK, control_.get()->Close(OLECLOSE_NOSAVE));
  EXPECT_EQ((Calls{"OnClose"}), form_.calls);
  Release();
}

TEST_F(DesignToolTest, KeepsItsSizeWhateverTheContainerAsks) {
  Site();
  for (SIZEL asked : {kAskedExtent, SIZEL{1, 1}, SIZEL{846, 848}, SIZEL{0, 0}}) {
    EXPECT_EQ(E_FAIL, control_.get()->SetExtent(DVASPECT_CONTENT, &asked)) << asked.cx << "x" << asked.cy;
    ExpectFixedExtent();
  }
  SIZEL own = kFixedExtent;
  EXPECT_EQ(S_OK, control_.get()->SetExtent(DVASPECT_CONTENT, &own));
  EXPECT_EQ(E_INVALIDARG, control_.get()->SetExtent(DVASPECT_ICON, &own));
  EXPECT_EQ(E_INVALIDARG, control_.get()->GetExtent(DVASPECT_ICON, &own));

  // Resized while active, it tells the container its own rectangle, and the container's answer with
  // that rectangle is the end of it.
  ASSERT_EQ(S_OK, DoVerb(OLEIVERB_INPLACEACTIVATE));
  const RECT wide{0, 0, 400, 300};
  EXPECT_EQ(S_OK, InPlace().get()->SetObjectRects(&wide, &wide));
  ASSERT_EQ(2u, form_.told.size());
  EXPECT_TRUE((RECT{0, 0, box_.cx, box_.cy}) == form_.told[1]);
  EXPECT_TRUE((RECT{0, 0, box_.cx, box_.cy}) == Placement(ControlWindow()));
  const RECT moved{5, 6, 5 + box_.cx, 6 + box_.cy};
  EXPECT_EQ(S_OK, InPlace().get()->SetObjectRects(&moved, &moved));
  EXPECT_EQ(2u, form_.told.size());
  EXPECT_TRUE(moved == Placement(ControlWindow()));
  ExpectFixedExtent();
  Release();
}

TEST_F(DesignToolTest, IsInvisibleWhileTheApplicationRunsAndShowsItsBoxAtDesignTime) {
  form_.userMode = true;
  Site();
  ASSERT_EQ(
      S_OK,
      Ask<IViewObject2>(control_.get(), IID_IViewObject2).get()->SetAdvise(DVASPECT_CONTENT, 0, &form_));
  ASSERT_EQ(S_OK, DoVerb(OLEIVERB_INPLACEACTIVATE));
  ASSERT_EQ(S_OK, DoVerb(OLEIVERB_SHOW));
  const HWND window = ControlWindow();
  EXPECT_FALSE(Visible(window));
  const RECT bounds{0, 0, box_.cx, box_.cy};
  {
    const Canvas canvas(box_.cx, box_.cy);
    EXPECT_EQ(S_OK, Draw(control_.get(), canvas, bounds));
    EXPECT_TRUE(UntouchedOutside(canvas, RECT{}));
  }

  // The container goes back to design: the box appears, and the container is asked to redraw it.
  form_.userMode = false;
  form_.calls.clear();
  EXPECT_EQ(S_OK, Ask<IOleControl>(control_.get(), IID_IOleControl)
                      .get()
                      ->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE));
  EXPECT_TRUE(Visible(window));
  EXPECT_EQ((Calls{"OnViewChange"}), form_.calls);
  {
    const Canvas canvas(box_.cx, box_.cy);
    EXPECT_EQ(S_OK, Draw(control_.get(), canvas, bounds));
    EXPECT_TRUE(Shows(canvas, ToolboxBitmap(), bounds));
  }

  // DISPID_UNKNOWN: several ambient properties changed at once.
  form_.userMode = true;
  EXPECT_EQ(S_OK,
            Ask<IOleControl>(control_.get(), IID_IOleControl).get()->OnAmbientPropertyChange(DISPID_UNKNOWN));
  EXPECT_FALSE(Visible(window));
  Release();
}

TEST_F(DesignToolTest, DrawsInsideItsBoundsOnly) {
  Site();
  const Canvas canvas(64, 64);
  const RECT bounds{16, 8, 16 + box_.cx, 8 + box_.cy};
  ASSERT_EQ(S_OK, Draw(control_.get(), canvas, bounds));
  EXPECT_TRUE(Shows(canvas, ToolboxBitmap(), bounds));
  EXPECT_TRUE(UntouchedOutside(canvas, bounds));

  // A box smaller than the bitmap.
  const Canvas small(32, 32);
  const RECT tiny{4, 4, 12, 12};
  ASSERT_EQ(S_OK, Draw(control_.get(), small, tiny));
  EXPECT_TRUE(UntouchedOutside(small, tiny));
  EXPECT_NE(Canvas::kUntouched, small.Pixel(8, 8));

  EXPECT_EQ(DV_E_DVASPECT, Draw(control_.get(), small, tiny, DVASPECT_ICON));
  Release();
}

TEST_F(DesignToolTest, OffersEveryInterfaceOfASitedControlWithOneIdentity) {
  ComPtr<IUnknown> identity = Identity(control_.get());
  for (const IID& iid : {IID_IOleObject, IID_IOleWindow, IID_IOleInPlaceObject, IID_IOleInPlaceActiveObject,
                         IID_IOleControl, IID_IViewObject, IID_IViewObject2, IID_IPersist,
                         IID_IPersistStreamInit, IID_IPersistPropertyBag, IID_IPersistStorage}) {
    const ComPtr<IUnknown> part = Ask<IUnknown>(control_.get(), iid);
    ASSERT_TRUE(part);
    EXPECT_EQ(identity.get(), Identity(part.get()).get());
    // And back from it to the checksum methods.
    const ComPtr<IQTVChecksum> methods = Ask<IQTVChecksum>(part.get(), kInterfaceId);
    Bstr abc(SysAllocString(L"abc"));
    Bstr result;
    ASSERT_EQ(S_OK, methods.get()->MD5String(abc.get(), 3, Out(result)));
    EXPECT_EQ(L"900150983cd24fb0d6963f7d28e17f72", Wide(result.get()));
  }
  identity.reset();
  Release();
}

TEST_F(DesignToolTest, AnswersTheOtherQuestionsOfContainers) {
  Site();
  CLSID classId{};
  EXPECT_EQ(S_OK, control_.get()->GetUserClassID(&classId));
  EXPECT_EQ(kClassId, classId);
  LPOLESTR type = nullptr;
  ASSERT_EQ(S_OK, control_.get()->GetUserType(USERCLASSTYPE_FULL, &type));
  EXPECT_EQ(std::wstring(L"QTV Software Checksum OCX"), type);
  CoTaskMemFree(type);
  EXPECT_EQ(S_OK, control_.get()->IsUpToDate());

  // No mnemonics, no keys, no property pages, no window of its own to open in.
  CONTROLINFO info{};
  info.cb = sizeof info;
  info.cAccel = 7;
  EXPECT_EQ(E_NOTIMPL, Ask<IOleControl>(control_.get(), IID_IOleControl).get()->GetControlInfo(&info));
  EXPECT_EQ(0, info.cAccel);
  MSG message{};
  EXPECT_EQ(S_FALSE, Ask<IOleInPlaceActiveObject>(control_.get(), IID_IOleInPlaceActiveObject)
                         .get()
                         ->TranslateAccelerator(&message));
  EXPECT_EQ(E_NOTIMPL, DoVerb(OLEIVERB_PROPERTIES));
  EXPECT_EQ(E_NOTIMPL, DoVerb(OLEIVERB_OPEN));
  HWND window = nullptr;
  EXPECT_EQ(E_FAIL, InPlace().get()->GetWindow(&window));
  // A verb it does not list: the primary one is done instead.
  EXPECT_EQ(OLEOBJ_S_INVALIDVERB, DoVerb(7));
  EXPECT_EQ(S_OK, InPlace().get()->GetWindow(&window));

  DWORD connection = 0;
  ASSERT_EQ(S_OK, control_.get()->Advise(&form_, &connection));
  ComPtr<IEnumSTATDATA> connections;
  ASSERT_EQ(S_OK, control_.get()->EnumAdvise(Out(connections)));
  STATDATA listed[2] = {};
  ULONG fetched = 0;
  connections.get()->Next(2, listed, &fetched);
  ASSERT_EQ(1u, fetched);
  EXPECT_EQ(connection, listed[0].dwConnection);
  listed[0].pAdvSink->Release();
  connections.reset();
  EXPECT_EQ(S_OK, control_.get()->Unadvise(connection));
  EXPECT_EQ(OLE_E_NOCONNECTION, control_.get()->Unadvise(connection));
  Release();
}

// A site that answers S_OK and gives no pointer is never called through one: without its ambient
// properties the control runs as at run time, and it refuses to activate in place.
TEST_F(DesignToolTest, NeverCallsThroughAPointerTheSiteDidNotGive) {
  form_.givesNoPointers = true;
  Site();
  EXPECT_EQ(E_NOINTERFACE, DoVerb(OLEIVERB_INPLACEACTIVATE));
  EXPECT_EQ(E_NOINTERFACE, DoVerb(OLEIVERB_UIACTIVATE));
  EXPECT_TRUE(form_.calls.empty());
  Release();
}

TEST_F(DesignToolTest, LetsGoOfEveryPartOfItsSiteWhenClosedWhileActive) {
  Site();
  DWORD connection = 0;
  ASSERT_EQ(S_OK, control_.get()->Advise(&form_, &connection));
  ASSERT_EQ(
      S_OK,
      Ask<IViewObject2>(control_.get(), IID_IViewObject2).get()->SetAdvise(DVASPECT_CONTENT, 0, &form_));
  ASSERT_EQ(S_OK, DoVerb(OLEIVERB_UIACTIVATE));
  form_.calls.clear();
  EXPECT_EQ(S_OK, control_.get()->Close(OLECLOSE_SAVEIFDIRTY));
  EXPECT_EQ((Calls{"SetActiveObject(null)", "OnUIDeactivate", "OnInPlaceDeactivate", "OnClose"}),
            form_.calls);
  EXPECT_FALSE(form_.activeObject);
  Release();
}

TEST_F(DesignToolTest, OutlivesTheFormWindowDestroyedBeforeItIsDeactivated) {
  Site();
  ASSERT_EQ(S_OK, DoVerb(OLEIVERB_INPLACEACTIVATE));
  const HWND window = ControlWindow();
  form_.DestroyForm();
  EXPECT_FALSE(IsWindow(window));
  HWND gone = nullptr;
  EXPECT_EQ(E_FAIL, InPlace().get()->GetWindow(&gone));
  Release();
}

} // namespace
} // namespace qtv::testing
