// The about box as a real modal dialog, and the message box, driven from inside their modal loops.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "about/about_box.h"
#include "dialog_driver_windows.h"
#include "form1_expected.h"
#include "platform/message_box.h"
#include "resources/about_box_ids.h"

namespace {

using namespace qtv::testing;

constexpr const char* kWindowClass[] = {"Edit", "Static", "Static", "Static", "Button"};

int Pixels(int twips) { return MulDiv(twips, 96, 1440); }

HWND Control(HWND dialog, int which) { return Children(dialog).at(static_cast<std::size_t>(which)); }

void PressExit(HWND dialog) { SendMessageA(Control(dialog, kCommand1), BM_CLICK, 0, 0); }

// The keyboard focus belongs to the foreground window, which a window of another test program may have
// taken meanwhile: bring the dialog back first, which gives the focus back to the control that had it.
HWND FocusOf(HWND dialog) {
  PumpUntil(
      [dialog] {
        SetForegroundWindow(dialog);
        return GetActiveWindow() == dialog && GetFocus() != nullptr;
      },
      2);
  return GetFocus();
}

void InspectForm1(HWND dialog) {
  EXPECT_EQ(WindowText(dialog), kTitle);
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), nullptr) << "the about box has no owner window";
  const HDC screen = GetDC(nullptr);
  ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96) << "the expected pixels assume 15 twips to a pixel";
  ReleaseDC(nullptr, screen);
  RECT client{};
  GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, Pixels(kClientWidth));
  EXPECT_EQ(client.bottom, Pixels(kClientHeight));

  const std::vector<HWND> children = Children(dialog);
  ASSERT_EQ(children.size(), std::size(kForm1));
  for (std::size_t i = 0; i < children.size(); ++i) {
    const ExpectedControl& want = kForm1[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(ClassName(children[i]), kWindowClass[i]);
    EXPECT_EQ(WindowText(children[i]), want.text);
    RECT rect{};
    GetWindowRect(children[i], &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, Pixels(want.left));
    EXPECT_EQ(rect.top, Pixels(want.top));
    EXPECT_EQ(rect.right - rect.left, Pixels(want.width));
    EXPECT_EQ(rect.bottom - rect.top, Pixels(want.height));
    // The font as requested; the system may draw it with another face.
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(children[i], WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(font.lfHeight, -MulDiv(want.centipoints, 96, 7200));
    EXPECT_EQ(font.lfUnderline != 0, want.underline);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
  }
  // Text1 has the focus; Tab goes to the button and back, past the labels.
  EXPECT_EQ(FocusOf(dialog), children[kText1]);
  SendMessageA(dialog, WM_NEXTDLGCTL, 0, FALSE);
  EXPECT_EQ(FocusOf(dialog), children[kCommand1]);
  SendMessageA(dialog, WM_NEXTDLGCTL, 0, FALSE);
  EXPECT_EQ(FocusOf(dialog), children[kText1]);

  // The window icon, and the resource it comes from: one 32 by 32 image of 16 colours (4 bits).
  EXPECT_NE(SendMessageA(dialog, WM_GETICON, ICON_BIG, 0), 0);
  const HMODULE module = GetModuleHandleA(nullptr);
  const HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(QTV_IDI_ABOUT_BOX), RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const auto* entry = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
  EXPECT_EQ(std::vector<int>({entry[4], entry[6], entry[7], entry[8], entry[12]}),
            std::vector<int>({1, 32, 32, 16, 4}));
}

TEST(AboutBox, ShowsForm1AsDesignedAndReturnsOnlyAfterExit) {
  bool exit_pressed = false;
  const DialogRun run = DriveDialog(qtv::about::ShowAboutBox, [&](HWND dialog) {
    InspectForm1(dialog);
    PumpUntil([] { return false; }, 0.3);
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the form went away by itself";
    exit_pressed = true;
    PressExit(dialog);
  });
  EXPECT_TRUE(run.ran);
  EXPECT_TRUE(exit_pressed) << "About returned before Exit was pressed";
  EXPECT_FALSE(run.left_open) << "Exit did not close the form";
  EXPECT_EQ(run.dialogs, 1);
}

TEST(AboutBox, EveryCallLoadsAFreshFormWithItsCaption) {
  // Each form is checked, spoiled and closed: by Exit, by the title bar's close button, and by Exit after
  // a call of About from inside the form's modal loop, which must return at once.
  const auto check_and_spoil = [](HWND dialog) {
    EXPECT_EQ(WindowText(dialog), kTitle);
    EXPECT_EQ(WindowText(Control(dialog, kText1)), kDescription);
    EXPECT_EQ(FocusOf(dialog), Control(dialog, kText1));
    SetWindowTextA(dialog, "changed");
    SetWindowTextA(Control(dialog, kText1), "edited");
  };
  DialogRun run = DriveDialog(qtv::about::ShowAboutBox, [&](HWND dialog) {
    check_and_spoil(dialog);
    PressExit(dialog);
  });
  EXPECT_FALSE(run.left_open);
  run = DriveDialog(qtv::about::ShowAboutBox, [&](HWND dialog) {
    check_and_spoil(dialog);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  });
  EXPECT_FALSE(run.left_open) << "the close button did not unload the form";
  run = DriveDialog(qtv::about::ShowAboutBox, [&](HWND dialog) {
    check_and_spoil(dialog);
    qtv::about::ShowAboutBox();
    PressExit(dialog);
  });
  EXPECT_TRUE(run.ran);
  EXPECT_FALSE(run.left_open);
  EXPECT_EQ(run.dialogs, 1) << "a second form was shown";
}

// The shell's handlers for web and mail addresses are pointed at a program that records how it was
// started, so that no browser or mail program opens; they are put back afterwards.
class AboutBoxLinks : public ::testing::Test {
protected:
  void SetUp() override {
    std::array<char, MAX_PATH> self{};
    GetModuleFileNameA(nullptr, self.data(), static_cast<DWORD>(self.size()));
    std::string folder(self.data());
    folder.erase(folder.find_last_of('\\') + 1);
    log_ = folder + "about-shell-" + std::to_string(GetCurrentProcessId()) + ".log";
    SetEnvironmentVariableA("QTV_SHELL_LOG", log_.c_str());
    for (Handler& handler : handlers_) {
      std::array<char, 2048> value{};
      DWORD size = static_cast<DWORD>(value.size());
      RegGetValueA(HKEY_CLASSES_ROOT, handler.key, nullptr, RRF_RT_REG_SZ, nullptr, value.data(), &size);
      handler.saved = value.data();
      ASSERT_EQ(SetCommand(handler.key, "\"" + folder + QTV_SHELL_LOGGER + "\" \"%1\" \"%*\""),
                ERROR_SUCCESS);
    }
  }
  void TearDown() override {
    for (const Handler& handler : handlers_) SetCommand(handler.key, handler.saved);
    DeleteFileA(log_.c_str());
  }

  static LSTATUS SetCommand(const char* key, const std::string& command) {
    return RegSetKeyValueA(HKEY_CLASSES_ROOT, key, nullptr, REG_SZ, command.c_str(),
                           static_cast<DWORD>(command.size() + 1));
  }
  std::vector<std::string> Log() const {
    std::vector<std::string> lines;
    std::ifstream file(log_);
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

  struct Handler {
    const char* key;
    std::string saved;
  };
  std::array<Handler, 2> handlers_{
      {{"https\\shell\\open\\command", {}}, {"mailto\\shell\\open\\command", {}}}};
  std::string log_;
};

TEST_F(AboutBoxLinks, EachLabelOpensItsAddressThroughTheShellAndTheFormStaysOpen) {
  const DialogRun run = DriveDialog(qtv::about::ShowAboutBox, [&](HWND dialog) {
    for (const int label : {kLabel2, kLabel4}) {
      const std::size_t before = Log().size();
      SendMessageA(Control(dialog, label), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
      SendMessageA(Control(dialog, label), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
      EXPECT_TRUE(PumpUntil([&] { return Log().size() > before; }, 5)) << kForm1[label].name;
      PumpUntil([] { return false; }, 0.2);
      EXPECT_TRUE(IsWindowVisible(dialog));
      EXPECT_EQ(WindowText(dialog), kTitle);
    }
    PressExit(dialog);
  });
  EXPECT_FALSE(run.left_open);
  // Address, parameters (empty), working folder, show command (SW_SHOWNORMAL): one start per click.
  EXPECT_EQ(Log(), std::vector<std::string>(
                       {std::string(kOpened[0]) + "||C:\\|1", std::string(kOpened[1]) + "||C:\\|1"}));
}

TEST(ModalMessage, ShowsItsTextWithTheControlsTitleAndAnOkButtonOnly) {
  std::string caption, text;
  std::vector<std::string> buttons;
  const DialogRun run =
      DriveDialog([] { qtv::platform::ShowMessage(u"error loading the dll"); },
                  [&](HWND box) {
                    caption = WindowText(box);
                    for (HWND child : Children(box)) {
                      if (!IsWindowVisible(child)) continue;
                      if (ClassName(child) == "Button")
                        buttons.push_back(std::to_string(GetDlgCtrlID(child)) + ":" + WindowText(child));
                      if (ClassName(child) == "Static" && !WindowText(child).empty())
                        text = WindowText(child);
                    }
                    SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
                  });
  EXPECT_FALSE(run.left_open);
  EXPECT_EQ(caption, kTitle);
  EXPECT_EQ(text, "error loading the dll");
  EXPECT_EQ(buttons, std::vector<std::string>{std::to_string(IDOK) + ":OK"});
}

} // namespace
