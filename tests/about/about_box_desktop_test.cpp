// The about box and the message box on a Linux desktop (GTK under a virtual X server), driven from inside
// their modal loops by a timeout of the toolkit's main loop.
#include <gtest/gtest.h>

#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "about/about_box.h"
#include "form1_expected.h"
#include "platform/about_dialog.h"
#include "platform/message_box.h"

namespace {

using namespace qtv::testing;
namespace fs = std::filesystem;

fs::path g_link_log; // where the stand-in for the browser and the mail program records each address

int Pixels(int twips) { return twips / 15; } // 96 logical pixels to the inch

// Lets the main loop run until `done` answers true or `seconds` have passed; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    if (!g_main_context_iteration(nullptr, FALSE)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return done();
}

GtkWindow* Shown(const std::function<bool(GtkWindow*)>& wanted) {
  GtkWindow* found = nullptr;
  GList* all = gtk_window_list_toplevels();
  for (GList* item = all; item != nullptr && found == nullptr; item = item->next) {
    auto* window = GTK_WINDOW(item->data);
    if (gtk_widget_get_mapped(GTK_WIDGET(window)) && wanted(window)) found = window;
  }
  g_list_free(all);
  return found;
}

struct Drive {
  std::function<bool(GtkWindow*)> wanted;
  std::function<void(GtkWindow*)> script;
  bool ran = false;
  bool left_open = false; // the script did not close the window; it was closed for it
};

gboolean CloseLeftOpen(gpointer data) {
  auto& drive = *static_cast<Drive*>(data);
  if (GtkWindow* window = Shown(drive.wanted)) {
    drive.left_open = true;
    gtk_window_close(window);
  }
  return G_SOURCE_REMOVE;
}

gboolean RunScript(gpointer data) {
  auto& drive = *static_cast<Drive*>(data);
  GtkWindow* window = Shown(drive.wanted);
  if (window == nullptr) return G_SOURCE_CONTINUE; // not shown yet
  drive.ran = true;
  drive.script(window);
  // A modal loop ends only after this returns: give the window time to go.
  g_timeout_add(2000, CloseLeftOpen, data);
  return G_SOURCE_REMOVE;
}

// Calls `show` and runs `script` on the first shown window that `wanted` accepts.
Drive DriveWindow(const std::function<void()>& show, std::function<bool(GtkWindow*)> wanted,
                  std::function<void(GtkWindow*)> script) {
  Drive drive{std::move(wanted), std::move(script)};
  g_timeout_add(10, RunScript, &drive);
  show();
  while (g_source_remove_by_user_data(&drive)) {
  }
  return drive;
}

Drive DriveAboutBox(std::function<void(GtkWindow*)> script) {
  return DriveWindow(
      qtv::about::ShowAboutBox,
      [](GtkWindow* window) { return std::string(gtk_widget_get_name(GTK_WIDGET(window))) == "Form1"; },
      std::move(script));
}

std::vector<GtkWidget*> Descendants(GtkWidget* widget) {
  std::vector<GtkWidget*> all{widget};
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (!GTK_IS_CONTAINER(all[i])) continue;
    gtk_container_forall(
        GTK_CONTAINER(all[i]),
        [](GtkWidget* child, gpointer list) {
          static_cast<std::vector<GtkWidget*>*>(list)->push_back(child);
        },
        &all);
  }
  return all;
}

GtkWidget* Find(GtkWidget* root, const std::function<bool(GtkWidget*)>& is) {
  for (GtkWidget* widget : Descendants(root)) {
    if (is(widget)) return widget;
  }
  return nullptr;
}

GtkWidget* Named(GtkWindow* window, const char* name) {
  return Find(GTK_WIDGET(window),
              [name](GtkWidget* w) { return std::string(gtk_widget_get_name(w)) == name; });
}

GtkWidget* TextView(GtkWindow* window) {
  return Find(Named(window, "Text1"), [](GtkWidget* w) { return GTK_IS_TEXT_VIEW(w); });
}

std::string Text(GtkWidget* widget) {
  if (GTK_IS_BUTTON(widget)) return gtk_button_get_label(GTK_BUTTON(widget));
  if (GTK_IS_LABEL(widget)) return gtk_label_get_text(GTK_LABEL(widget));
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget));
  GtkTextIter start, end;
  gtk_text_buffer_get_bounds(buffer, &start, &end);
  char* text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
  std::string result(text);
  g_free(text);
  return result;
}

// A real click of the left button in the middle of `widget`: the X server moves the pointer there and
// presses the button, and the toolkit finds the control under it as for a user's click.
void Click(GtkWidget* widget) {
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  int x = 0, y = 0, left = 0, upper = 0;
  gtk_widget_translate_coordinates(widget, top, gtk_widget_get_allocated_width(widget) / 2,
                                   gtk_widget_get_allocated_height(widget) / 2, &x, &y);
  gdk_window_get_origin(gtk_widget_get_window(top), &left, &upper);
  Display* display = GDK_DISPLAY_XDISPLAY(gtk_widget_get_display(widget));
  XTestFakeMotionEvent(display, -1, left + x, upper + y, CurrentTime);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XFlush(display);
}

void PressExit(GtkWindow* window) { gtk_button_clicked(GTK_BUTTON(Named(window, "Command1"))); }

void InspectForm1(GtkWindow* window) {
  EXPECT_STREQ(gtk_window_get_title(window), kTitle);
  EXPECT_EQ(gtk_window_get_transient_for(window), nullptr) << "the about box has no owner window";
  EXPECT_TRUE(gtk_window_get_modal(window));
  GtkWidget* area = gtk_bin_get_child(GTK_BIN(window));
  EXPECT_EQ(gtk_widget_get_allocated_width(area), Pixels(kClientWidth));
  EXPECT_EQ(gtk_widget_get_allocated_height(area), Pixels(kClientHeight));

  for (const ExpectedControl& want : kForm1) {
    SCOPED_TRACE(want.name);
    GtkWidget* control = Named(window, want.name);
    ASSERT_NE(control, nullptr);
    int left = -1, top = -1;
    gtk_widget_translate_coordinates(control, area, 0, 0, &left, &top);
    EXPECT_EQ(left, Pixels(want.left));
    EXPECT_EQ(top, Pixels(want.top));
    EXPECT_EQ(gtk_widget_get_allocated_width(control), Pixels(want.width));
    EXPECT_EQ(gtk_widget_get_allocated_height(control), Pixels(want.height));
    // The widget that shows the text, and its font as the style requests it: MS Sans Serif first (the
    // desktop falls back to a sans face), the size in points.
    GtkWidget* shown = Find(control, [](GtkWidget* w) { return GTK_IS_LABEL(w) || GTK_IS_TEXT_VIEW(w); });
    EXPECT_EQ(Text(GTK_IS_BUTTON(control) ? control : shown), want.text);
    GtkStyleContext* style = gtk_widget_get_style_context(shown);
    PangoFontDescription* font = nullptr;
    gtk_style_context_get(style, gtk_style_context_get_state(style), "font", &font, nullptr);
    EXPECT_EQ(std::string(pango_font_description_get_family(font)).rfind("MS Sans Serif", 0), 0u);
    const double size = pango_font_description_get_size(font) / double{PANGO_SCALE};
    EXPECT_NEAR(pango_font_description_get_size_is_absolute(font) ? size * 72 / 96 : size,
                want.centipoints / 100.0, 0.01);
    pango_font_description_free(font);
    if (GTK_IS_LABEL(shown)) {
      PangoAttrList* attributes = gtk_label_get_attributes(GTK_LABEL(shown));
      PangoAttrIterator* at = attributes ? pango_attr_list_get_iterator(attributes) : nullptr;
      const auto* underline =
          at ? reinterpret_cast<PangoAttrInt*>(pango_attr_iterator_get(at, PANGO_ATTR_UNDERLINE)) : nullptr;
      EXPECT_EQ(underline != nullptr && underline->value == PANGO_UNDERLINE_SINGLE, want.underline);
      if (at) pango_attr_iterator_destroy(at);
    }
  }
  // The form takes the keyboard (the X server answers a moment later), with the focus in Text1; Tab goes
  // to the button and back, past the labels.
  EXPECT_TRUE(PumpUntil([window] { return gtk_window_is_active(window) != FALSE; }, 2));
  EXPECT_EQ(gtk_window_get_focus(window), TextView(window));
  g_signal_emit_by_name(window, "move-focus", GTK_DIR_TAB_FORWARD);
  EXPECT_EQ(gtk_window_get_focus(window), Named(window, "Command1"));
  g_signal_emit_by_name(window, "move-focus", GTK_DIR_TAB_FORWARD);
  EXPECT_EQ(gtk_window_get_focus(window), TextView(window));

  GdkPixbuf* icon = gtk_window_get_icon(window);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(icon), 32);
  EXPECT_EQ(gdk_pixbuf_get_height(icon), 32);
}

class Desktop : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(qtv::platform::DesktopAvailable()) << "needs a display"; }
};

TEST_F(Desktop, AboutShowsForm1AsDesignedAndReturnsOnlyAfterExit) {
  bool exit_pressed = false;
  const Drive run = DriveAboutBox([&](GtkWindow* window) {
    InspectForm1(window);
    PumpUntil([] { return false; }, 0.3);
    EXPECT_TRUE(gtk_widget_get_mapped(GTK_WIDGET(window))) << "the form went away by itself";
    exit_pressed = true;
    PressExit(window);
  });
  EXPECT_TRUE(run.ran);
  EXPECT_TRUE(exit_pressed) << "About returned before Exit was pressed";
  EXPECT_FALSE(run.left_open) << "Exit did not close the form";
}

TEST_F(Desktop, EveryCallLoadsAFreshFormWithItsCaption) {
  // Each form is checked, spoiled and closed: by Exit, as by the title bar's close button, and by Exit
  // after a call of About from inside the form's modal loop, which must return at once.
  const auto check_and_spoil = [](GtkWindow* window) {
    EXPECT_STREQ(gtk_window_get_title(window), kTitle);
    EXPECT_EQ(Text(TextView(window)), kDescription);
    EXPECT_EQ(gtk_window_get_focus(window), TextView(window));
    gtk_window_set_title(window, "changed");
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(TextView(window))), "edited", -1);
  };
  Drive run = DriveAboutBox([&](GtkWindow* window) {
    check_and_spoil(window);
    PressExit(window);
  });
  EXPECT_FALSE(run.left_open);
  run = DriveAboutBox([&](GtkWindow* window) {
    check_and_spoil(window);
    gtk_window_close(window);
  });
  EXPECT_FALSE(run.left_open) << "closing the window did not unload the form";
  run = DriveAboutBox([&](GtkWindow* window) {
    check_and_spoil(window);
    qtv::about::ShowAboutBox();
    PressExit(window);
  });
  EXPECT_TRUE(run.ran);
  EXPECT_FALSE(run.left_open);
}

TEST_F(Desktop, EachLinkOpensItsAddressWithTheDefaultProgramAndTheFormStaysOpen) {
  const auto logged = [] {
    std::vector<std::string> lines;
    std::ifstream file(g_link_log);
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  };
  fs::remove(g_link_log);
  const Drive run = DriveAboutBox([&](GtkWindow* window) {
    for (const char* label : {"Label2", "Label4"}) {
      const std::size_t before = logged().size();
      Click(Named(window, label));
      EXPECT_TRUE(PumpUntil([&] { return logged().size() > before; }, 5)) << label;
      PumpUntil([] { return false; }, 0.2);
      EXPECT_TRUE(gtk_widget_get_mapped(GTK_WIDGET(window)));
      EXPECT_STREQ(gtk_window_get_title(window), kTitle);
    }
    PressExit(window);
  });
  EXPECT_FALSE(run.left_open);
  EXPECT_EQ(logged(), std::vector<std::string>(std::begin(kOpened), std::end(kOpened)));
}

TEST_F(Desktop, AMessageBoxShowsItsTextWithTheControlsTitleAndAnOkButtonOnly) {
  std::string title, text;
  std::vector<std::string> buttons;
  const Drive run = DriveWindow([] { qtv::platform::ShowMessage(u"error loading the dll"); },
                                [](GtkWindow* window) { return GTK_IS_MESSAGE_DIALOG(window) != FALSE; },
                                [&](GtkWindow* box) {
                                  title = gtk_window_get_title(box);
                                  gchar* shown = nullptr;
                                  g_object_get(box, "text", &shown, nullptr);
                                  text = shown;
                                  g_free(shown);
                                  for (GtkWidget* widget : Descendants(GTK_WIDGET(box))) {
                                    if (GTK_IS_BUTTON(widget) && gtk_widget_get_visible(widget))
                                      buttons.push_back(Text(widget));
                                  }
                                  gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
                                });
  EXPECT_FALSE(run.left_open);
  EXPECT_EQ(title, kTitle);
  EXPECT_EQ(text, "error loading the dll");
  EXPECT_EQ(buttons, std::vector<std::string>{"_OK"});
}

TEST_F(Desktop, AnotherThreadLeavesTheToolkitAloneAndWritesToStandardError) {
  // The toolkit belongs to this thread: the other one must neither use it nor wait.
  std::string written;
  std::thread other([&written] {
    ::testing::internal::CaptureStderr();
    qtv::about::ShowAboutBox();
    qtv::platform::ShowMessage(u"x");
    written = ::testing::internal::GetCapturedStderr();
  });
  other.join();
  EXPECT_EQ(written.rfind(std::string(kTitle) + "\nActiveX OCX", 0), 0u) << written;
  EXPECT_NE(written.find(std::string(kTitle) + ": x\n"), std::string::npos) << written;
}

} // namespace

int main(int argc, char** argv) {
  // Before anything reads the desktop's settings: the only program for web and mail addresses is a
  // script that records them, so that no real browser or mail program can open.
  char pattern[] = "/tmp/qtv-about-desktop-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 2;
  const fs::path folder(pattern);
  g_link_log = folder / "links.log";
  fs::create_directories(folder / "applications");
  std::ofstream(folder / "record-link.sh")
      << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << g_link_log.string() << "'\n";
  fs::permissions(folder / "record-link.sh", fs::perms::owner_all);
  std::ofstream(folder / "applications/qtv-record-link.desktop")
      << "[Desktop Entry]\nType=Application\nName=Record link\nNoDisplay=true\nExec="
      << (folder / "record-link.sh").string()
      << " %u\nMimeType=x-scheme-handler/https;x-scheme-handler/mailto;\n";
  std::ofstream(folder / "mimeapps.list")
      << "[Default Applications]\nx-scheme-handler/https=qtv-record-link.desktop\n"
         "x-scheme-handler/mailto=qtv-record-link.desktop\n";
  for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"}) {
    setenv(name, pattern, 1);
  }
  unsetenv("BROWSER");

  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  fs::remove_all(folder);
  return result;
}
