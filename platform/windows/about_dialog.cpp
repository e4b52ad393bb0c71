#include "platform/about_dialog.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/unique_handle.h"
#include "resources/about_box_ids.h"

namespace qtv::platform {

namespace {

inline constexpr auto kDeleteFont = [](HFONT font) noexcept { DeleteObject(font); };
inline constexpr auto kDestroyIcon = [](HICON icon) noexcept { DestroyIcon(icon); };
inline constexpr auto kReleaseScreen = [](HDC screen) noexcept { ReleaseDC(nullptr, screen); };
using UniqueFont = UniqueHandle<HFONT, nullptr, kDeleteFont>;
using UniqueIcon = UniqueHandle<HICON, nullptr, kDestroyIcon>;
using ScreenContext = UniqueHandle<HDC, nullptr, kReleaseScreen>;

// Control identifiers: the design's index above this base.
constexpr int kFirstControlId = 1000;

// The module that holds this code, and with it the dialog frame and icon: the control library, or a test
// program that links the about box.
HMODULE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

int ScreenDotsPerInch() {
  ScreenContext screen(GetDC(nullptr));
  return screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
}

UniqueFont CreateDesignFont(const FontDesign& font, int dots_per_inch) {
  LOGFONTA description{};
  description.lfHeight = -MulDiv(font.centipoints, dots_per_inch, 7200);
  description.lfWeight = FW_NORMAL;
  description.lfUnderline = font.underline ? TRUE : FALSE;
  description.lfCharSet = DEFAULT_CHARSET;
  description.lfOutPrecision = OUT_DEFAULT_PRECIS;
  description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  description.lfQuality = DEFAULT_QUALITY;
  description.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
  lstrcpynA(description.lfFaceName, std::string(font.face).c_str(), LF_FACESIZE);
  return UniqueFont(CreateFontIndirectA(&description));
}

struct ControlClass {
  const char* name;
  DWORD style;
  DWORD extended_style;
};

ControlClass ClassOf(ControlKind kind) {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
  switch (kind) {
  case ControlKind::kLinkLabel:
    return {"STATIC", kChild | SS_LEFT | SS_NOPREFIX | SS_NOTIFY, 0};
  case ControlKind::kTextBox:
    return {"EDIT", kChild | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE};
  case ControlKind::kButton:
    return {"BUTTON", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0};
  case ControlKind::kLabel:
    break;
  }
  return {"STATIC", kChild | SS_LEFT | SS_NOPREFIX, 0};
}

// Everything one shown dialog owns. It lives in ShowAboutDialog's frame, so the fonts and icons outlast
// the window that uses them.
struct Dialog {
  const FormDesign& design;
  FormEvents& events;
  std::vector<UniqueFont> fonts;
  UniqueIcon big_icon;
  UniqueIcon small_icon;
};

void Initialise(HWND window, Dialog& dialog) {
  const int dpi = ScreenDotsPerInch();
  const auto pixels = [dpi](int twips) { return TwipsToPixels(twips, dpi); };

  // The client area has the design's size, whatever the frame's borders and caption take.
  RECT frame{0, 0, pixels(dialog.design.width), pixels(dialog.design.height)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)));
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Re-centre for the final size; without an owner DS_CENTER means the screen's work area.
  SendMessageA(window, DM_REPOSITION, 0, 0);

  const HMODULE module = ThisModule();
  dialog.big_icon.reset(
      static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(QTV_IDI_ABOUT_BOX), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
  dialog.small_icon.reset(
      static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(QTV_IDI_ABOUT_BOX), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(dialog.big_icon.get()));
  SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(dialog.small_icon.get()));

  dialog.fonts.push_back(CreateDesignFont(dialog.design.font, dpi));
  const HFONT form_font = dialog.fonts.front().get();

  // Created in tab order: the dialog manager tabs through child windows in the order they were made.
  HWND first_focus = nullptr;
  int id = kFirstControlId;
  for (const ControlDesign& control : dialog.design.controls) {
    const ControlClass kind = ClassOf(control.kind);
    const HWND child = CreateWindowExA(kind.extended_style, kind.name, ToAnsi(control.text).c_str(),
                                       kind.style, pixels(control.left), pixels(control.top),
                                       pixels(control.width), pixels(control.height), window,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), module, nullptr);
    HFONT font = form_font;
    if (control.font) {
      dialog.fonts.push_back(CreateDesignFont(*control.font, dpi));
      font = dialog.fonts.back().get();
    }
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (first_focus == nullptr && (kind.style & WS_TABSTOP) != 0) first_focus = child;
  }

  dialog.events.Load(reinterpret_cast<FormWindow>(window));
  if (first_focus != nullptr) SetFocus(first_focus);
}

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
  case WM_INITDIALOG:
    SetWindowLongPtrA(window, DWLP_USER, lparam);
    Initialise(window, *reinterpret_cast<Dialog*>(lparam));
    return FALSE; // the focus is set already
  case WM_COMMAND: {
    auto* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrA(window, DWLP_USER));
    const int id = LOWORD(wparam);
    const int code = HIWORD(wparam);
    if (dialog == nullptr || id < kFirstControlId) return FALSE; // Enter and Escape do nothing, as on a form
    const auto control = static_cast<std::size_t>(id - kFirstControlId);
    if (control >= dialog->design.controls.size()) return FALSE;
    const ControlKind kind = dialog->design.controls[control].kind;
    if ((kind == ControlKind::kLinkLabel && code == STN_CLICKED) ||
        (kind == ControlKind::kButton && code == BN_CLICKED)) {
      dialog->events.Click(reinterpret_cast<FormWindow>(window), control);
      return TRUE;
    }
    return FALSE;
  }
  case WM_CLOSE:
    // The title bar's close button unloads the form like its own button does.
    UnloadForm(reinterpret_cast<FormWindow>(window));
    return TRUE;
  default:
    return FALSE;
  }
}

} // namespace

bool DesktopAvailable() { return true; }

void ShowAboutDialog(const FormDesign& design, FormEvents& events) {
  Dialog dialog{design, events, {}, {}, {}};
  DialogBoxParamA(ThisModule(), MAKEINTRESOURCEA(QTV_IDD_ABOUT_BOX), nullptr, DialogProcedure,
                  reinterpret_cast<LPARAM>(&dialog));
}

void SetFormCaption(FormWindow form, std::u16string_view caption) {
  SetWindowTextA(reinterpret_cast<HWND>(form), ToAnsi(caption).c_str());
}

void UnloadForm(FormWindow form) { EndDialog(reinterpret_cast<HWND>(form), 0); }

void OpenAddress(FormWindow form, std::u16string_view address) {
  // The shell's result says whether a program was found; a click that opens nothing stays silent.
  ShellExecuteA(reinterpret_cast<HWND>(form), "open", ToAnsi(address).c_str(), "", "C:\\", SW_SHOWNORMAL);
}

} // namespace qtv::platform
