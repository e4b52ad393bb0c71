#include "platform/message_box.h"

#include <cstdio>

#include "platform/text.h"

#ifdef QTV_WITH_GTK
#include <gtk/gtk.h>

#include "platform/posix/desktop.h"
#include "platform/unique_handle.h"
#endif

namespace qtv::platform {

#ifdef QTV_WITH_GTK
namespace {
inline constexpr auto kDestroyWidget = [](GtkWidget* widget) noexcept { gtk_widget_destroy(widget); };
using UniqueWidget = UniqueHandle<GtkWidget*, nullptr, kDestroyWidget>;
} // namespace
#endif

void ShowMessage(const std::u16string& text) {
#ifdef QTV_WITH_GTK
  if (posix::ToolkitReady()) {
    UniqueWidget box(gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK,
                                            "%s", ToAnsi(text).c_str()));
    gtk_window_set_title(GTK_WINDOW(box.get()), ToAnsi(kControlTitle).c_str());
    gtk_window_set_position(GTK_WINDOW(box.get()), GTK_WIN_POS_CENTER);
    gtk_dialog_run(GTK_DIALOG(box.get()));
    return;
  }
#endif
  std::fprintf(stderr, "%s: %s\n", ToAnsi(kControlTitle).c_str(), ToAnsi(text).c_str());
}

} // namespace qtv::platform
