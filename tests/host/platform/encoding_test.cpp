#include "platform/encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

TEST(Encoding, RoundTripsNonAsciiTextAndSurrogatePairs) {
  const std::string utf8 = "Gr\u00fc\u00dfe \u5904\u7406\u5668 \U0001F600";
  const std::u16string utf16 = Utf8ToUtf16(utf8);

  EXPECT_EQ(utf16, u"Gr\u00fc\u00dfe \u5904\u7406\u5668 \U0001F600");
  // The emoji lies outside the basic plane: it takes a surrogate pair.
  ASSERT_EQ(utf16.size(), 12u);
  EXPECT_EQ(utf16[10], 0xD83D);
  EXPECT_EQ(utf16[11], 0xDE00);
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
}

TEST(Encoding, KeepsEmbeddedNulCharacters) {
  const std::string utf8("a\0b", 3);
  EXPECT_EQ(Utf8ToUtf16(utf8), std::u16string(u"a\0b", 3));
  EXPECT_EQ(Utf16ToUtf8(std::u16string(u"a\0b", 3)), utf8);
}

TEST(Encoding, InvalidUtf8GivesTheEmptyText) {
  const char* const invalid[] = {
      "\xC3\x28",          // second byte is not a continuation
      "abc\xFF",           // never valid in UTF-8
      "\xC0\xAF",          // overlong encoding of '/'
      "\xE4\xB8",          // sequence cut short
      "\xED\xA0\x80",      // a surrogate written as UTF-8
      "\xF4\x90\x80\x80",  // beyond U+10FFFF
  };
  for (const char* text : invalid) {
    EXPECT_EQ(Utf8ToUtf16(text), u"") << "input bytes: " << text;
  }
}

TEST(Encoding, LoneSurrogatesGiveTheEmptyText) {
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "");
  EXPECT_EQ(Utf16ToUtf8(u"x" + std::u16string(1, char16_t(0xDC00)) + u"y"), "");
}

TEST(Encoding, EmptyTextStaysEmpty) {
  EXPECT_EQ(Utf8ToUtf16(""), u"");
  EXPECT_EQ(Utf16ToUtf8(u""), "");
}

}  // namespace
