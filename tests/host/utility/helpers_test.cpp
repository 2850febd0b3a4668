// Small helpers of the utility library: text trimming, Windows-style paths, JSON of pairs.
#include "utility/DE.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/test_env.h"
#include "utility/JsonSdk.h"

namespace {

namespace fs = std::filesystem;

TEST(DE, TrimSPRemovesBlanksAtBothEndsOnly) {
  EXPECT_EQ(DE::TrimSP(u"  Intel(R) Core(TM) i7 \t\r\n"), u"Intel(R) Core(TM) i7");
  EXPECT_EQ(DE::TrimSP(u" \t\r\n "), u"");
}

TEST(DE, FileExistsTakesAWindowsStylePathAndIgnoresDirectories) {
  testenv::ScopedDataDir dir;
  fs::create_directories(dir.path() / "config");
  const std::string windowsPath = dir.path().string() + "\\config\\SysdiagnoseList.xml";
  EXPECT_FALSE(DE::FileExists(windowsPath));
  EXPECT_FALSE(DE::FileExists(dir.path().string() + "\\config"));

  std::ofstream(dir.path() / "config" / "SysdiagnoseList.xml") << "<root/>";
  EXPECT_TRUE(DE::FileExists(windowsPath));
}

TEST(JsonSdk, VectorToJsonKeepsThePairsInTheirOrderAndEscapes) {
  std::string out;
  ASSERT_TRUE(JsonSdk::VectorToJson(out, {{"zeta", "1"}, {"alpha", "say \"hi\""}, {"mid", "3"}}));
  EXPECT_EQ(out, R"({"zeta":"1","alpha":"say \"hi\"","mid":"3"})");
}

}  // namespace
