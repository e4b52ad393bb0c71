#include "platform/message_box.h"

#include <windows.h>

#include "platform/text.h"

namespace qtv::platform {

void ShowMessage(const std::u16string& text) {
  MessageBoxA(nullptr, ToAnsi(text).c_str(), ToAnsi(kControlTitle).c_str(), MB_OK);
}

} // namespace qtv::platform
