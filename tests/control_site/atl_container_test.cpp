// The control in a container nobody here wrote: the ATL window class AtlAxWin creates it by its
// programmatic identifier, sites it and activates it in place, resizes it with its window and lets it
// go when the window is destroyed.
#include <gtest/gtest.h>

#include "tests/control_site/test_container.h"

namespace qtv::testing {
namespace {

TEST(AtlContainerTest, CreatesTheControlByItsNameAndLetsItGoWithItsWindow) {
  Apartment apartment;
  const Module atl(LoadLibraryW(L"atl.dll"));
  ASSERT_TRUE(atl);
  const auto initialise =
      reinterpret_cast<BOOL(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(atl.get(), "AtlAxWinInit")));
  const auto getControl = reinterpret_cast<HRESULT(WINAPI*)(HWND, IUnknown**)>(
      reinterpret_cast<void*>(GetProcAddress(atl.get(), "AtlAxGetControl")));
  ASSERT_NE(nullptr, initialise);
  ASSERT_NE(nullptr, getControl);
  ASSERT_TRUE(initialise());

  Window host(CreateWindowExW(0, L"AtlAxWin", L"QTVChecksum100.QTVChecksum", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(host);
  {
    ComPtr<IUnknown> control;
    ASSERT_EQ(S_OK, getControl(host.get(), Out(control)));
    const ComPtr<IQTVChecksum> methods = Ask<IQTVChecksum>(control.get(), kInterfaceId);
    Bstr abc(SysAllocString(L"abc"));
    Bstr result;
    ASSERT_EQ(S_OK, methods.get()->MD5String(abc.get(), 3, Out(result)));
    EXPECT_EQ(L"900150983cd24fb0d6963f7d28e17f72", Wide(result.get()));

    // This container offers no ambient properties: the application runs, and the control is invisible.
    HWND window = nullptr;
    ASSERT_EQ(S_OK, Ask<IOleInPlaceObject>(control.get(), IID_IOleInPlaceObject).get()->GetWindow(&window));
    EXPECT_EQ(host.get(), GetParent(window));
    EXPECT_EQ(0, GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE);

    // Resizing the window resizes the control through SetExtent and SetObjectRects.
    ASSERT_TRUE(SetWindowPos(host.get(), nullptr, 0, 0, 500, 400, SWP_NOZORDER | SWP_NOMOVE));
    SIZEL extent{};
    ASSERT_EQ(S_OK,
              Ask<IOleObject>(control.get(), IID_IOleObject).get()->GetExtent(DVASPECT_CONTENT, &extent));
    EXPECT_EQ(kFixedExtent.cx, extent.cx);
    EXPECT_EQ(kFixedExtent.cy, extent.cy);
    const SIZE box = BoxPixels();
    const SIZE size = ClientSize(window);
    EXPECT_EQ(box.cx, size.cx);
    EXPECT_EQ(box.cy, size.cy);
  }
  const HMODULE library = GetModuleHandleW(QTV_CONTROL_LIBRARY);
  ASSERT_NE(nullptr, library);
  EXPECT_EQ(S_FALSE, ControlLibraryCanUnloadNow());
  host.reset();
  EXPECT_EQ(S_OK, ControlLibraryCanUnloadNow());
}

} // namespace
} // namespace qtv::testing
