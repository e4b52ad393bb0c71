#pragma once
#include <string>
#include <string_view>

namespace qtv::platform {

// Conversions between UTF-16 and the system's ANSI code page: Windows' CP_ACP with default flags (a
// character the code page lacks becomes its best fit or "?"); on Linux UTF-8, the system's multibyte
// encoding, where an unpaired surrogate becomes "?". Every unit is converted, NULs included.
std::string ToAnsi(std::u16string_view text);
std::u16string FromAnsi(std::string_view bytes);

} // namespace qtv::platform
