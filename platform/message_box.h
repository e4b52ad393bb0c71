#pragma once
#include <string>

namespace qtv::platform {

// The title of the control library: caption of its message boxes and about box, and what ControlName
// returns.
inline constexpr char16_t kControlTitle[] = u"QTV Checksum OCX 1.0.0";

// Shows `text` in a modal box with an OK button only and the control's title as caption, and returns
// when the user has closed it. Where there is no desktop, the text goes to standard error instead and
// the call returns at once.
void ShowMessage(const std::u16string& text);

} // namespace qtv::platform
