#include "about/about_box.h"

#include <memory>

#include "about/form1.h"

namespace qtv::about {

namespace {

// This thread's about box while it is shown; released when it is unloaded, so the next call loads anew.
thread_local std::unique_ptr<Form1> t_form;

} // namespace

void ShowAboutBox() {
  // A call from inside the form's own modal loop (say, from a message the loop dispatches) finds the
  // form there already; it cannot be shown modally a second time.
  if (t_form) return;
  t_form = std::make_unique<Form1>();
  struct Release {
    ~Release() { t_form.reset(); }
  } release;
  t_form->Show();
}

} // namespace qtv::about
