#include "utility/JsonSdk.h"

#include <gtest/gtest.h>

namespace {

TEST(JsonSdk, VectorToJsonKeepsThePairsInTheirOrderAndEscapes) {
  std::string out;
  ASSERT_TRUE(JsonSdk::VectorToJson(out, {{"zeta", "1"}, {"alpha", "say \"hi\""}, {"mid", "3"}}));
  EXPECT_EQ(out, R"({"zeta":"1","alpha":"say \"hi\"","mid":"3"})");
}

}  // namespace
