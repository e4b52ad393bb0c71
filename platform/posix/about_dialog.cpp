#include "platform/about_dialog.h"

#ifdef QTV_WITH_GTK
#include <gtk/gtk.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/posix/about_icon.h"
#include "platform/posix/desktop.h"
#include "platform/text.h"
#include "platform/unique_handle.h"
#endif

namespace qtv::platform {

#ifdef QTV_WITH_GTK

namespace {

// GTK lays windows out in logical pixels of 96 to the inch, scaled for the screen by the toolkit itself.
constexpr int kLogicalDotsPerInch = 96;

inline constexpr auto kUnrefObject = [](gpointer object) noexcept { g_object_unref(object); };
inline constexpr auto kUnrefLoop = [](GMainLoop* loop) noexcept { g_main_loop_unref(loop); };
inline constexpr auto kFreeAttributes = [](PangoAttrList* list) noexcept { pango_attr_list_unref(list); };
inline constexpr auto kReleaseWindow = [](GtkWidget* window) noexcept {
  gtk_widget_destroy(window); // does nothing more once the form is unloaded
  g_object_unref(window);
};
using UniqueObject = UniqueHandle<gpointer, nullptr, kUnrefObject>;
using UniqueLoop = UniqueHandle<GMainLoop*, nullptr, kUnrefLoop>;
using UniqueAttributes = UniqueHandle<PangoAttrList*, nullptr, kFreeAttributes>;
using OwnedWindow = UniqueHandle<GtkWidget*, nullptr, kReleaseWindow>;

int Pixels(int twips) { return TwipsToPixels(twips, kLogicalDotsPerInch); }

// The font as a style sheet. Controls are sized by the design alone, so the theme's minimum sizes and
// padding, which would make a button taller than designed, are taken away.
std::string StyleSheet(const FontDesign& font) {
  char size[32];
  std::snprintf(size, sizeof size, "%d.%02dpt", font.centipoints / 100, font.centipoints % 100);
  return "* { font-family: \"" + std::string(font.face) + "\", sans-serif; font-size: " + size +
         "; min-height: 0; min-width: 0; padding-top: 0; padding-bottom: 0; }";
}

void AddStyle(GtkWidget* widget, GtkStyleProvider* style) {
  gtk_style_context_add_provider(gtk_widget_get_style_context(widget), style,
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  if (GTK_IS_CONTAINER(widget)) {
    gtk_container_forall(
        GTK_CONTAINER(widget),
        [](GtkWidget* child, gpointer data) { AddStyle(child, static_cast<GtkStyleProvider*>(data)); },
        style);
  }
}

void ApplyFont(GtkWidget* widget, const FontDesign& font) {
  UniqueObject style(gtk_css_provider_new());
  gtk_css_provider_load_from_data(GTK_CSS_PROVIDER(style.get()), StyleSheet(font).c_str(), -1, nullptr);
  AddStyle(widget, GTK_STYLE_PROVIDER(style.get()));
}

GtkWidget* MakeLabel(const std::string& text, const FontDesign& font) {
  GtkWidget* label = gtk_label_new(text.c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  gtk_label_set_yalign(GTK_LABEL(label), 0);
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  if (font.underline) {
    UniqueAttributes attributes(pango_attr_list_new());
    pango_attr_list_insert(attributes.get(), pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    gtk_label_set_attributes(GTK_LABEL(label), attributes.get());
  }
  return label;
}

// What a click on one control reports, and to whom.
struct ClickRoute {
  FormEvents* events;
  GtkWidget* window;
  std::size_t control;
};

void OnButtonClicked(GtkButton*, gpointer data) {
  const auto* route = static_cast<const ClickRoute*>(data);
  route->events->Click(reinterpret_cast<FormWindow>(route->window), route->control);
}

gboolean OnLinkReleased(GtkWidget*, GdkEventButton* event, gpointer data) {
  if (event->button != GDK_BUTTON_PRIMARY) return FALSE;
  const auto* route = static_cast<const ClickRoute*>(data);
  route->events->Click(reinterpret_cast<FormWindow>(route->window), route->control);
  return TRUE;
}

// The widget placed on the form for `control`, named after it; `focus` receives the widget that takes
// the keyboard focus, or nothing.
GtkWidget* MakeControl(const ControlDesign& control, const FontDesign& font, ClickRoute& route,
                       GtkWidget*& focus) {
  const std::string text = ToAnsi(control.text);
  GtkWidget* placed = nullptr;
  focus = nullptr;
  switch (control.kind) {
  case ControlKind::kLabel:
    placed = MakeLabel(text, font);
    break;
  case ControlKind::kLinkLabel:
    placed = gtk_event_box_new();
    gtk_event_box_set_visible_window(GTK_EVENT_BOX(placed), FALSE);
    gtk_container_add(GTK_CONTAINER(placed), MakeLabel(text, font));
    g_signal_connect(placed, "button-release-event", G_CALLBACK(OnLinkReleased), &route);
    break;
  case ControlKind::kTextBox: {
    placed = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(placed), GTK_SHADOW_IN);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(placed), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    focus = gtk_text_view_new();
    gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(focus), GTK_WRAP_WORD);
    gtk_text_view_set_accepts_tab(GTK_TEXT_VIEW(focus), FALSE); // Tab moves on, as in a form's text box
    gtk_text_view_set_left_margin(GTK_TEXT_VIEW(focus), 2);
    gtk_text_view_set_right_margin(GTK_TEXT_VIEW(focus), 2);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(focus)), text.c_str(),
                             static_cast<gint>(text.size()));
    gtk_container_add(GTK_CONTAINER(placed), focus);
    break;
  }
  case ControlKind::kButton:
    placed = gtk_button_new_with_label(text.c_str());
    g_signal_connect(placed, "clicked", G_CALLBACK(OnButtonClicked), &route);
    focus = placed;
    break;
  }
  gtk_widget_set_name(placed, std::string(control.name).c_str());
  gtk_widget_set_size_request(placed, Pixels(control.width), Pixels(control.height));
  ApplyFont(placed, font);
  return placed;
}

// The modal loop of one shown form.
struct ModalLoop {
  UniqueLoop loop{g_main_loop_new(nullptr, FALSE)};
  bool unloaded = false;
};

void OnUnloaded(GtkWidget*, gpointer data) {
  auto* modal = static_cast<ModalLoop*>(data);
  modal->unloaded = true;
  g_main_loop_quit(modal->loop.get());
}

void SetIcon(GtkWindow* window) {
  const std::span<const unsigned char> file = posix::AboutIconFile();
  UniqueObject loader(gdk_pixbuf_loader_new_with_type("ico", nullptr));
  if (!loader) return;
  auto* icon_loader = GDK_PIXBUF_LOADER(loader.get());
  const bool loaded = gdk_pixbuf_loader_write(icon_loader, file.data(), file.size(), nullptr) != FALSE;
  if (gdk_pixbuf_loader_close(icon_loader, nullptr) != FALSE && loaded) {
    gtk_window_set_icon(window, gdk_pixbuf_loader_get_pixbuf(icon_loader));
  }
}

} // namespace

bool DesktopAvailable() { return posix::ToolkitReady(); }

void ShowAboutDialog(const FormDesign& design, FormEvents& events) {
  OwnedWindow window(GTK_WIDGET(g_object_ref(gtk_window_new(GTK_WINDOW_TOPLEVEL))));
  GtkWindow* frame = GTK_WINDOW(window.get());
  gtk_widget_set_name(window.get(), std::string(design.name).c_str());
  gtk_window_set_modal(frame, TRUE);
  gtk_window_set_resizable(frame, FALSE);
  gtk_window_set_type_hint(frame, GDK_WINDOW_TYPE_HINT_DIALOG);
  gtk_window_set_position(frame, GTK_WIN_POS_CENTER);
  SetIcon(frame);

  GtkWidget* area = gtk_fixed_new();
  gtk_widget_set_size_request(area, Pixels(design.width), Pixels(design.height));
  gtk_container_add(GTK_CONTAINER(window.get()), area);

  std::vector<ClickRoute> routes;
  routes.reserve(design.controls.size()); // the signal handlers keep pointers into it
  GList* tab_order = nullptr;
  GtkWidget* first_focus = nullptr;
  for (std::size_t index = 0; index < design.controls.size(); ++index) {
    const ControlDesign& control = design.controls[index];
    routes.push_back({&events, window.get(), index});
    GtkWidget* focus = nullptr;
    GtkWidget* placed = MakeControl(control, control.font.value_or(design.font), routes.back(), focus);
    gtk_fixed_put(GTK_FIXED(area), placed, Pixels(control.left), Pixels(control.top));
    tab_order = g_list_append(tab_order, placed);
    if (first_focus == nullptr) first_focus = focus;
  }
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  // GTK 3 offers no other way to give a container the design's tab order.
  gtk_container_set_focus_chain(GTK_CONTAINER(area), tab_order);
  G_GNUC_END_IGNORE_DEPRECATIONS
  g_list_free(tab_order);

  ModalLoop modal;
  // Unloading by the form's own button and by the title bar's close button both end here.
  g_signal_connect(window.get(), "destroy", G_CALLBACK(OnUnloaded), &modal);

  events.Load(reinterpret_cast<FormWindow>(window.get()));
  if (modal.unloaded) return;
  gtk_widget_show_all(window.get());
  // In front, with the keyboard. The focused control is set once shown: only then does the toolkit set
  // up the way along which Tab moves on from it.
  gtk_window_present(frame);
  if (first_focus != nullptr) gtk_widget_grab_focus(first_focus);
  g_main_loop_run(modal.loop.get());
}

void SetFormCaption(FormWindow form, std::u16string_view caption) {
  gtk_window_set_title(reinterpret_cast<GtkWindow*>(form), ToAnsi(caption).c_str());
}

void UnloadForm(FormWindow form) { gtk_widget_destroy(reinterpret_cast<GtkWidget*>(form)); }

void OpenAddress(FormWindow form, std::u16string_view address) {
  // The desktop's default program for the address; without one the click has no visible effect.
  gtk_show_uri_on_window(reinterpret_cast<GtkWindow*>(form), ToAnsi(address).c_str(), GDK_CURRENT_TIME,
                         nullptr);
}

#else // without the toolkit every form is reported on standard error instead

bool DesktopAvailable() { return false; }
void ShowAboutDialog(const FormDesign&, FormEvents&) {}
void SetFormCaption(FormWindow, std::u16string_view) {}
void UnloadForm(FormWindow) {}
void OpenAddress(FormWindow, std::u16string_view) {}

#endif

} // namespace qtv::platform
