// The conversions between UTF-16 and the ANSI code page, where a text changes from ASCII to other
// characters at any place: the ASCII run is converted in blocks, the rest one character at a time.
#include <gtest/gtest.h>

#include <optional>
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

#ifdef _WIN32
// Systems whose ANSI code page is UTF-8 or double-byte, whatever the code page of this one: the bytes
// each gives a text, and whether a name has an exact form there.
TEST(TextConversionTest, EachCodePageGivesItsOwnBytesAndExactForms) {
  constexpr unsigned kUtf8 = 65001, kJapanese = 932, kChinese = 936;
  struct Case {
    unsigned codePage;
    std::u16string text;
    std::string bytes;
    bool exact;
  };
  const Case cases[] = {
      {kUtf8, u"\u65e5\u672c", "\xe6\x97\xa5\xe6\x9c\xac", true},
      {kUtf8, u"a\u0142\u00a5\U0001F600", "a\xc5\x82\xc2\xa5\xf0\x9f\x98\x80", true},
      // An unpaired surrogate is U+FFFD in a text, and leaves a name without an exact form.
      {kUtf8, u"a\xD800z", "a\xef\xbf\xbdz", false},
      {kJapanese, u"\u65e5\u672c", "\x93\xfa\x96\x7b", true},
      {kJapanese, u"\u8868\uff71", "\x95\x5c\xb1", true}, // a trail byte that is "\", a one-byte kana
      {kJapanese, u"\u00a5", "\\", false},                // the yen sign's best fit is "\"
      {kJapanese, u"\U0001F600\xD800", "???", false},     // one "?" for each unit without a form
      {kChinese, u"\u65e5\u672c\u20ac", "\xc8\xd5\xb1\xbe\x80", true},
      {kChinese, u"\u00e9\u00a5", "\xa8\xa6\xa3\xa4", false}, // "\u00e9" is there, "\u00a5" a best fit
  };
  for (const Case& c : cases) {
    const std::string bytes = ToAnsi(c.text, c.codePage);
    EXPECT_EQ(bytes, c.bytes) << "code page " << c.codePage << ", " << ::testing::PrintToString(c.bytes);
    EXPECT_EQ(ToAnsiExactly(c.text, c.codePage), c.exact ? std::optional(c.bytes) : std::nullopt)
        << "code page " << c.codePage << ", " << ::testing::PrintToString(c.bytes);
  }
}
#else
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
