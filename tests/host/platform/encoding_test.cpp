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
  EXPECT_EQ(Utf16ToUtf8(utf16), utf8);
}

TEST(Encoding, InvalidTextGivesTheEmptyText) {
  const char* const invalid[] = {
      "\xC3\x28",      // second byte is not a continuation
      "\xC0\xAF",      // overlong encoding of '/'
      "\xE4\xB8",      // sequence cut short
      "\xED\xA0\x80",  // a surrogate written as UTF-8
  };
  for (const char* text : invalid) EXPECT_EQ(Utf8ToUtf16(text), u"") << "input bytes: " << text;
  EXPECT_EQ(Utf16ToUtf8(u"x" + std::u16string(1, char16_t(0xDC00))), "");
}

}  // namespace
