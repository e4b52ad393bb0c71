#include "platform/text.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace qtv::platform {
namespace {

// Texts are mostly ASCII (file names, hex digits, the blanks of the output area), which both ways is
// one unit for one byte. This converts that leading run 16 units at a time: one test of the block's
// words for any unit at or above 0x80, then a fixed-length copy between buffers that cannot overlap,
// which the compiler turns into vector code. It returns where the run ends.
template <typename From, typename To>
std::size_t CopyAsciiPrefix(const From* __restrict from, std::size_t size, To* __restrict to) {
  using Unit = std::make_unsigned_t<From>;
  constexpr std::size_t kBlock = 16;
  constexpr std::size_t kWords = kBlock * sizeof(From) / sizeof(std::uint64_t);
  constexpr std::uint64_t kNotAscii = sizeof(From) == 1 ? 0x8080808080808080u : 0xFF80FF80FF80FF80u;
  std::size_t n = 0;
  for (; n + kBlock <= size; n += kBlock) {
    const auto* block = reinterpret_cast<const unsigned char*>(from + n);
    std::uint64_t any = 0;
    for (std::size_t w = 0; w < kWords; ++w) {
      std::uint64_t word;
      std::memcpy(&word, block + w * sizeof word, sizeof word);
      any |= word;
    }
    if ((any & kNotAscii) != 0) break;
    for (std::size_t k = 0; k < kBlock; ++k) to[n + k] = static_cast<To>(from[n + k]);
  }
  for (; n < size && static_cast<Unit>(from[n]) < 0x80; ++n) to[n] = static_cast<To>(from[n]);
  return n;
}

} // namespace

std::string ToAnsi(std::u16string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + 1);
  bytes.resize(text.size());
  const std::size_t ascii = CopyAsciiPrefix(text.data(), text.size(), bytes.data());
  bytes.resize(ascii);
  if (ascii == text.size()) return bytes;
  // Up to three bytes for each unit left, and the room for a NUL.
  bytes.reserve(text.size() + (text.size() - ascii) * 2 + 1);
  for (std::size_t i = ascii; i < text.size(); ++i) {
    std::uint32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<std::uint32_t>(text[++i]) - 0xDC00);
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = '?'; // an unpaired surrogate has no encoding
    }
    if (code < 0x80) {
      bytes += static_cast<char>(code);
    } else if (code < 0x800) {
      bytes += static_cast<char>(0xC0 | (code >> 6));
      bytes += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      bytes += static_cast<char>(0xE0 | (code >> 12));
      bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      bytes += static_cast<char>(0xF0 | (code >> 18));
      bytes += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return bytes;
}

std::optional<std::string> ToAnsiExactly(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i; // a pair: one character outside the basic plane
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      return std::nullopt;
    }
  }
  return ToAnsi(text);
}

std::string ToAnsi(std::u16string_view text, unsigned /*codePage*/) { return ToAnsi(text); }

std::optional<std::string> ToAnsiExactly(std::u16string_view text, unsigned /*codePage*/) {
  return ToAnsiExactly(text);
}

void FromAnsi(std::string_view bytes, std::u16string& text) {
  // Every byte gives at most one unit (a four-byte character gives two), so the text is sized once
  // and cut to what was written.
  text.resize(bytes.size());
  std::size_t i = CopyAsciiPrefix(bytes.data(), bytes.size(), text.data());
  std::size_t out = i;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    // Continuation bytes that follow the lead byte, or -1 for a byte that cannot start a character.
    const int extra = lead < 0x80   ? 0
                      : lead < 0xC2 ? -1
                      : lead < 0xE0 ? 1
                      : lead < 0xF0 ? 2
                      : lead < 0xF5 ? 3
                                    : -1;
    std::uint32_t code = extra <= 0 ? lead : lead & (0x3Fu >> extra);
    bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < bytes.size();
    for (int k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3Fu);
    }
    constexpr std::uint32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
    if (valid) valid = code >= kShortest[extra] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
    if (!valid) {
      text[out++] = u'\xFFFD'; // one replacement per byte that does not start a valid character
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      text[out++] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      text[out++] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      text[out++] = static_cast<char16_t>(code);
    }
    i += static_cast<std::size_t>(extra) + 1;
  }
  text.resize(out);
}

} // namespace qtv::platform
