#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace qtv::platform {

// Conversions between UTF-16 and the system's ANSI code page: Windows' CP_ACP with default flags (a
// character the code page lacks becomes its best fit or "?"); on Linux UTF-8, the system's multibyte
// encoding, where an unpaired surrogate becomes "?". Every unit is converted, NULs included.
//
// ToAnsi leaves room for one more byte, so a NUL appended to its result needs no new allocation.
// FromAnsi's second form replaces `text` in place and reuses its storage.
std::string ToAnsi(std::u16string_view text);

// The ANSI form of `text` when every unit has one of its own, with no best fit and no default
// character ("?" for a character the code page lacks, or for an unpaired surrogate); else nothing. For
// names, where a near form would name another file.
std::optional<std::string> ToAnsiExactly(std::u16string_view text);

// The two conversions above in the code page `codePage`; those forms take the system's ANSI code page.
// Windows may have a double-byte ANSI code page (932, 936) or UTF-8 (65001, "Use Unicode UTF-8 for
// worldwide language support"); in UTF-8 every character has a form of its own, and an unpaired
// surrogate becomes U+FFFD in texts and gives names no exact form. Linux has one encoding, UTF-8, and
// converts to it whatever code page is named.
std::string ToAnsi(std::u16string_view text, unsigned codePage);
std::optional<std::string> ToAnsiExactly(std::u16string_view text, unsigned codePage);

void FromAnsi(std::string_view bytes, std::u16string& text);

inline std::u16string FromAnsi(std::string_view bytes) {
  std::u16string text;
  FromAnsi(bytes, text);
  return text;
}

} // namespace qtv::platform
