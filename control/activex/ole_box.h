#pragma once
// The control's box: what a form designer shows where the control sits. The control is invisible while
// the application runs, so only design tools ever see it.
#include <windows.h>

namespace qtv::com {

// Paints the box, the toolbox bitmap in a raised frame, into `bounds` of `dc` and nowhere else.
void DrawBox(HDC dc, const RECT& bounds) noexcept;

// The child window the control has while a container keeps it active in place. It paints the box while
// shown; the control keeps it hidden while the application runs.
class BoxWindow {
public:
  BoxWindow() noexcept = default;
  BoxWindow(const BoxWindow&) = delete;
  BoxWindow& operator=(const BoxWindow&) = delete;
  ~BoxWindow() { Destroy(); }

  // False when the system refuses the window.
  bool Create(HWND parent, const RECT& position, bool visible) noexcept;
  void Destroy() noexcept;
  void Place(const RECT& position) noexcept;
  void Show(bool visible) noexcept;
  // Null while there is no window, also after the container destroyed it with its own.
  HWND Handle() const noexcept { return window_; }

private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  bool usesClass_ = false;
};

} // namespace qtv::com
