#include "platform/message_box.h"

#include <cstdio>

#include "platform/text.h"

namespace qtv::platform {

void ShowMessage(const std::u16string& text) {
  std::fprintf(stderr, "%s: %s\n", ToAnsi(kControlTitle).c_str(), ToAnsi(text).c_str());
}

} // namespace qtv::platform
