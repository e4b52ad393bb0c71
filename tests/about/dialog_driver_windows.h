#pragma once
// Drives a modal dialog box from inside its own modal loop: a thread-local CBT hook notices each dialog
// box (class #32770) that becomes active on this thread, and once the first is shown a thread timer runs
// the test's script on it while the code under test still waits in its modal call.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qtv::testing {

struct DialogRun {
  bool ran = false;       // the script ran
  bool left_open = false; // the script did not close the dialog; it was closed for it
  int dialogs = 0;        // distinct dialog boxes that became active
};
DialogRun DriveDialog(const std::function<void()>& show, const std::function<void(HWND dialog)>& script);

// Lets the thread's messages run until `done` answers true or `seconds` have passed; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, double seconds);

std::string WindowText(HWND window);
std::string ClassName(HWND window);
// The dialog's child windows in their order, which is the order the dialog manager tabs through them.
std::vector<HWND> Children(HWND dialog);

} // namespace qtv::testing
