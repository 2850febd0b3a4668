#include "utility/JsonSdk.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace {

TEST(JsonSdk, VectorToJsonKeepsThePairsInTheirOrder) {
  std::string out;
  ASSERT_TRUE(JsonSdk::VectorToJson(out, {{"zeta", "1"}, {"alpha", "2"}, {"mid", "3"}}));
  EXPECT_EQ(out, R"({"zeta":"1","alpha":"2","mid":"3"})");
}

TEST(JsonSdk, VectorToJsonEscapesTextAndKeepsUnicode) {
  std::string out;
  ASSERT_TRUE(JsonSdk::VectorToJson(out, {{"name", "say \"hi\"\n"}, {"cpu", "\xE5\xA4\x84\xE7\x90\x86"}}));

  const auto parsed = nlohmann::json::parse(out);
  EXPECT_EQ(parsed["name"], "say \"hi\"\n");
  EXPECT_EQ(parsed["cpu"], "\xE5\xA4\x84\xE7\x90\x86");
  EXPECT_EQ(out.find('\n'), std::string::npos);
}

TEST(JsonSdk, EmptyListIsAnEmptyObject) {
  std::string out = "stale";
  ASSERT_TRUE(JsonSdk::VectorToJson(out, {}));
  EXPECT_EQ(out, "{}");
}

TEST(JsonSdk, InvalidUtf8IsReplacedNotThrown) {
  std::string out;
  ASSERT_TRUE(JsonSdk::VectorToJson(out, {{"bad", "a\xFF" "b"}}));
  const auto parsed = nlohmann::json::parse(out);
  EXPECT_EQ(parsed["bad"], "a\xEF\xBF\xBD" "b");  // U+FFFD
}

}  // namespace
