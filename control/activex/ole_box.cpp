#include "control/activex/ole_box.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "control/activex/module.h"
#include "control/control_registration.h"
#include "platform/unique_handle.h"

namespace qtv::com {
namespace {

inline constexpr auto kDeleteBitmap = [](HBITMAP bitmap) noexcept { DeleteObject(bitmap); };
using Bitmap = platform::UniqueHandle<HBITMAP, nullptr, kDeleteBitmap>;
inline constexpr auto kDeleteDc = [](HDC dc) noexcept { DeleteDC(dc); };
using MemoryDc = platform::UniqueHandle<HDC, nullptr, kDeleteDc>;

constexpr wchar_t kClassName[] = L"QTVChecksumBox";

// The system keeps a library's window class after the library is unloaded, and the library may be
// loaded again elsewhere: the class exists only while a window of it does. Controls on several
// apartment threads share it, hence the lock.
std::mutex gClassLock;
int gClassUsers = 0;

bool UseClass(WNDPROC procedure) noexcept {
  const std::lock_guard lock(gClassLock);
  if (gClassUsers == 0) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = module::Handle();
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExW(&windowClass) == 0) return false;
  }
  ++gClassUsers;
  return true;
}

void LeaveClass() noexcept {
  const std::lock_guard lock(gClassLock);
  if (--gClassUsers == 0) UnregisterClassW(kClassName, module::Handle());
}

} // namespace

void DrawBox(HDC dc, const RECT& bounds) noexcept {
  RECT box = bounds;
  FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &box, EDGE_RAISED, BF_RECT | BF_ADJUST);
  const Bitmap bitmap(
      static_cast<HBITMAP>(LoadImageW(module::Handle(), MAKEINTRESOURCEW(control::kToolboxBitmapResource),
                                      IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
  BITMAP size{};
  if (!bitmap || GetObjectW(bitmap.get(), sizeof size, &size) == 0) return;
  // The drawing surface may be a printer or a metafile: the bitmap goes through a screen memory DC.
  const MemoryDc source(CreateCompatibleDC(nullptr));
  if (!source) return;
  const HGDIOBJ previous = SelectObject(source.get(), bitmap.get());
  // At its own size in the middle; a box too small for it gets it shrunk to fit.
  const int width = std::min<int>(size.bmWidth, box.right - box.left);
  const int height = std::min<int>(size.bmHeight, box.bottom - box.top);
  if (width > 0 && height > 0) {
    StretchBlt(dc, box.left + (box.right - box.left - width) / 2,
               box.top + (box.bottom - box.top - height) / 2, width, height, source.get(), 0, 0, size.bmWidth,
               size.bmHeight, SRCCOPY);
  }
  SelectObject(source.get(), previous);
}

bool BoxWindow::Create(HWND parent, const RECT& position, bool visible) noexcept {
  Destroy();
  if (!UseClass(&Procedure)) return false;
  usesClass_ = true;
  const DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (visible ? WS_VISIBLE : 0u);
  window_ =
      CreateWindowExW(0, kClassName, L"", style, position.left, position.top, position.right - position.left,
                      position.bottom - position.top, parent, nullptr, module::Handle(), this);
  if (window_ == nullptr) Destroy();
  return window_ != nullptr;
}

void BoxWindow::Destroy() noexcept {
  if (HWND window = std::exchange(window_, nullptr)) DestroyWindow(window);
  if (std::exchange(usesClass_, false)) LeaveClass();
}

void BoxWindow::Place(const RECT& position) noexcept {
  if (window_ == nullptr) return;
  SetWindowPos(window_, nullptr, position.left, position.top, position.right - position.left,
               position.bottom - position.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void BoxWindow::Show(bool visible) noexcept {
  if (window_ != nullptr) ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
}

LRESULT CALLBACK BoxWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_NCCREATE:
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    break;
  case WM_NCDESTROY:
    // The container may destroy its window, and ours with it, before it deactivates the control.
    if (auto* owner = reinterpret_cast<BoxWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
      if (owner->window_ == window) owner->window_ = nullptr;
    }
    break;
  case WM_ERASEBKGND:
    return 1; // the box covers the whole window
  case WM_PAINT: {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    DrawBox(dc, client);
    EndPaint(window, &paint);
    return 0;
  }
  default:
    break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace qtv::com
