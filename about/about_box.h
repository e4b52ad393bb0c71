#pragma once

namespace qtv::about {

// What the control's About method calls: shows the about box modally on the calling thread, with no
// owner window, and returns when the user has closed it. Each call loads a fresh form; a call made
// while this thread's form is already shown returns at once. Without a desktop the caption and the
// description go to standard error and the call returns at once.
void ShowAboutBox();

} // namespace qtv::about
