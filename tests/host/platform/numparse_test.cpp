#include "platform/numparse.h"

#include <gtest/gtest.h>

#include <string>

namespace {

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

}  // namespace
