#include "platform/numparse.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  const char* text;
  int32_t value;
};

// The C reading rules, including glibc's truncation of the 64-bit value to its low 32 bits.
constexpr Case kCases[] = {
    {"4abc", 4},
    {"", 0},
    {"  -12", -12},
    {"+7", 7},
    {"abc", 0},
    {" \t\n\r\v\f9", 9},
    {"+-3", 0},
    {"- 3", 0},
    {"007", 7},
    {"2147483647", 2147483647},
    {"2147483648", -2147483647 - 1},
    {"4294967295", -1},
    {"4294967291", -5},
    {"4294967296", 0},
    {"-4294967295", 1},
    {"99999999999999999999", -1},   // saturates at INT64_MAX, whose low 32 bits read -1
    {"-99999999999999999999", 0},   // saturates at INT64_MIN, whose low 32 bits are 0
    {"9223372036854775807", -1},
    {"12 34", 12},
};

TEST(NumParse, AtoiFollowsTheCReadingRules) {
  for (const auto& c : kCases) EXPECT_EQ(platform::Atoi(c.text), c.value) << '"' << c.text << '"';
}

TEST(NumParse, WtoiReadsWideTextTheSameWay) {
  for (const auto& c : kCases) {
    const std::string narrow = c.text;
    const std::u16string wide(narrow.begin(), narrow.end());
    EXPECT_EQ(platform::Wtoi(wide), c.value) << '"' << c.text << '"';
  }
}

TEST(NumParse, OnlyAsciiDigitsCount) {
  EXPECT_EQ(platform::Wtoi(u"\uFF11\uFF12"), 0);  // full-width digits
  EXPECT_EQ(platform::Wtoi(u"3\u0664"), 3);        // an Arabic-Indic digit ends the number
}

TEST(NumParse, ReadsOnlyTheViewItIsGiven) {
  const std::string text = "123456";
  EXPECT_EQ(platform::Atoi(std::string_view(text).substr(0, 3)), 123);
}

}  // namespace
