// The conversions between UTF-16 and the ANSI code page, where a text changes from ASCII to other
// characters at any place: the ASCII run is converted in blocks, the rest one character at a time.
#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"

namespace qtv::platform {
namespace {

// "é" is in every Western ANSI code page and is two bytes in UTF-8.
constexpr char16_t kAccent = u'\u00e9';

TEST(TextConversionTest, ACharacterBeyondAsciiAnywhereConvertsLikeItsPieces) {
  const std::string accent = ToAnsi(std::u16string(1, kAccent));
  ASSERT_FALSE(accent.empty());
  for (std::size_t length : {1u, 15u, 16u, 17u, 31u, 32u, 33u, 40u}) {
    for (std::size_t at = 0; at < length; ++at) {
      std::u16string text(length, u'a');
      text[at] = kAccent;
      const std::string expected = std::string(at, 'a') + accent + std::string(length - at - 1, 'a');
      const std::string bytes = ToAnsi(text);
      EXPECT_EQ(bytes, expected) << "length " << length << ", at " << at;
      EXPECT_EQ(FromAnsi(bytes), text) << "length " << length << ", at " << at;
    }
  }
}

TEST(TextConversionTest, NulsAndTheTopOfAsciiStayInTheAsciiRun) {
  std::u16string text;
  for (char16_t unit = 0; unit < 0x80; ++unit) text += unit;
  std::string bytes;
  for (char16_t unit : text) bytes += static_cast<char>(unit);
  EXPECT_EQ(ToAnsi(text), bytes);
  EXPECT_EQ(FromAnsi(bytes), text);
}

TEST(TextConversionTest, ConvertingInPlaceReplacesTheWholeText) {
  std::u16string text(500, u'x');
  FromAnsi("abc", text);
  EXPECT_EQ(text, u"abc");
  FromAnsi(std::string(40, 'b'), text);
  EXPECT_EQ(text, std::u16string(40, u'b'));
  FromAnsi("", text);
  EXPECT_TRUE(text.empty());
}

TEST(TextConversionTest, ANulAppendedToTheBytesNeedsNoNewStorage) {
  for (const std::u16string& text :
       {std::u16string(300, u' '), std::u16string(u"caf\u00e9"), std::u16string(u"a")}) {
    std::string bytes = ToAnsi(text);
    const char* storage = bytes.data();
    bytes += '\0';
    EXPECT_EQ(bytes.data(), storage);
  }
}

// Names convert exactly or not at all; texts keep their stand-ins.
TEST(TextConversionTest, ExactConversionRefusesEveryStandIn) {
  const std::u16string exact[] = {u"", u"plain name.txt", std::u16string(40, u'a') + kAccent};
  for (const std::u16string& text : exact) EXPECT_EQ(ToAnsiExactly(text), ToAnsi(text));
  const std::u16string loneSurrogates[] = {u"a\xD800"
                                           u"b",
                                           u"\xDC00", std::u16string(20, u'x') + u'\xDBFF'};
  for (const std::u16string& text : loneSurrogates) {
    EXPECT_EQ(ToAnsiExactly(text), std::nullopt);
    EXPECT_FALSE(ToAnsi(text).empty());
  }
#ifdef _WIN32
  // Outside the code page: a best fit ("l" for "\u0142") or the default character ("?").
  for (const std::u16string& text : {std::u16string(u"a\u0142.txt"), std::u16string(u"\u4e2d.txt")}) {
    EXPECT_EQ(ToAnsiExactly(text), std::nullopt);
  }
#else
  EXPECT_EQ(ToAnsiExactly(u"\U0001F600\u4e2d"), ToAnsi(u"\U0001F600\u4e2d"));
#endif
}

#ifndef _WIN32
TEST(TextConversionTest, DamagedUtf8AfterAnAsciiRunBecomesOneReplacementPerByte) {
  for (std::size_t at : {0u, 15u, 16u, 17u, 32u}) {
    const std::string bytes = std::string(at, 'a') + "\xff\xc3" + "z";
    EXPECT_EQ(FromAnsi(bytes), std::u16string(at, u'a') + u"\uFFFD\uFFFDz") << "at " << at;
  }
  // A character outside the basic plane is a surrogate pair, from any place.
  for (std::size_t at : {0u, 16u, 31u}) {
    const std::u16string text = std::u16string(at, u'a') + u"\U0001F600" + u"b";
    const std::string bytes = ToAnsi(text);
    EXPECT_EQ(bytes, std::string(at, 'a') + "\xf0\x9f\x98\x80" + "b");
    EXPECT_EQ(FromAnsi(bytes), text);
  }
}
#endif

} // namespace
} // namespace qtv::platform
