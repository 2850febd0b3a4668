// Text conversions: UTF-8 and UTF-16, numbers read the C way, and how deep an XML text nests.
#include <gtest/gtest.h>

#include <string>

#include "platform/encoding.h"
#include "platform/numparse.h"
#include "platform/xml_depth.h"

namespace {

using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

TEST(Encoding, RoundTripsNonAsciiTextWithSurrogatePairs) {
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

// The C reading rules, including glibc's truncation of the 64-bit value to its low 32 bits.
TEST(NumParse, AtoiAndWtoiFollowTheCReadingRules) {
  struct Case {
    const char* text;
    int32_t value;
  };
  constexpr Case kCases[] = {
      {"4abc", 4},
      {"", 0},
      {" \t\n-12", -12},
      {"+7", 7},
      {"+-3", 0},
      {"2147483648", -2147483647 - 1},
      {"4294967295", -1},
      {"99999999999999999999", -1},  // saturates at INT64_MAX, whose low 32 bits read -1
  };
  for (const auto& c : kCases) {
    const std::string narrow = c.text;
    EXPECT_EQ(platform::Atoi(narrow), c.value) << '"' << c.text << '"';
    EXPECT_EQ(platform::Wtoi(std::u16string(narrow.begin(), narrow.end())), c.value) << '"' << c.text << '"';
  }
}

std::string Repeat(std::string_view text, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// Only elements count: what looks like one inside a comment, CDATA, a declaration or a quoted
// value does not, and a count that has passed its limit stops there.
TEST(XmlDepth, CountsTheElementsAsAParserNestsThem) {
  const struct {
    std::string xml;
    size_t depth;
  } cases[] = {
      {"<a><b/><b><c></c></b></a>", 3},
      {"<?xml version='1.0'?><!-- <x><x><x> --><a t='>' u=\"/>\"><b/></a>", 2},
      {"<!DOCTYPE a [<!ELEMENT a ANY><!ENTITY e '<x>'>]><a><![CDATA[<x><x>]]></a>", 1},
      {"<a><a><a", 3},
      {std::string(1000, '<'), 1},
      {Repeat("<a>", 1000), platform::kMaxXmlDepth + 1},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::XmlNestingDepth(c.xml), c.depth) << c.xml.substr(0, 80);
}

}  // namespace
