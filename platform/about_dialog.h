#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace qtv::platform {

// A form's design-time data, as the about box declares it once for every target. Positions and sizes
// are in twips (1/1440 inch) within the form's client area.

enum class ControlKind {
  kLabel,     // static text
  kLinkLabel, // static text that reports clicks
  kTextBox,   // multi-line text box
  kButton,    // push button
};

struct FontDesign {
  std::string_view face;
  int centipoints; // 13.5 pt is 1350
  bool underline;
};

struct ControlDesign {
  std::string_view name;
  ControlKind kind;
  int left;
  int top;
  int width;
  int height;
  std::u16string_view text;
  std::optional<FontDesign> font; // none: the form's own font
};

struct FormDesign {
  std::string_view name;
  int width; // of the client area
  int height;
  FontDesign font;
  // In tab order. The first control that can take the focus has it when the form opens.
  std::span<const ControlDesign> controls;
};

// A shown form's window as a plain value: the HWND on Windows, the GtkWindow on Linux.
using FormWindow = std::uintptr_t;

// What the form's owner does when the form loads and when the user clicks one of its controls. The
// calls come on the form's thread, from inside ShowAboutDialog.
class FormEvents {
public:
  // Once per load, after the controls exist and before the form is first displayed.
  virtual void Load(FormWindow form) = 0;
  // A click on a link label or a button; `control` indexes FormDesign::controls.
  virtual void Click(FormWindow form, std::size_t control) = 0;

protected:
  ~FormEvents() = default;
};

// Whether this thread can show forms and message boxes. Always on Windows; on Linux only with a display,
// and only on the one thread that runs the toolkit.
bool DesktopAvailable();

// Builds the about box from `design` with the about box's own frame and icon, shows it modally with no
// owner window, and returns once it is unloaded: by Unload or by the title bar's close button.
void ShowAboutDialog(const FormDesign& design, FormEvents& events);

void SetFormCaption(FormWindow form, std::u16string_view caption);

// Closes and destroys the form; ShowAboutDialog then returns.
void UnloadForm(FormWindow form);

// Opens `address` (a web page or a "mailto:" address) with the program that the system associates with
// it. A failure has no visible effect.
void OpenAddress(FormWindow form, std::u16string_view address);

// Pixels for `twips` at `dots_per_inch`, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips, int dots_per_inch) {
  const long long scaled = static_cast<long long>(twips) * dots_per_inch;
  return static_cast<int>((scaled >= 0 ? scaled + 720 : scaled - 720) / 1440);
}

} // namespace qtv::platform
