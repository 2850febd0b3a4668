#include "utility/DE.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;

TEST(TrimSP, RemovesBlanksAtBothEndsOnly) {
  EXPECT_EQ(DE::TrimSP(u"  Intel(R) Core(TM) i7 \t\r\n"), u"Intel(R) Core(TM) i7");
  EXPECT_EQ(DE::TrimSP(u"\tSamsung  SSD\n"), u"Samsung  SSD");
  EXPECT_EQ(DE::TrimSP(u"\u5904\u7406\u5668 "), u"\u5904\u7406\u5668");
}

TEST(TrimSP, BlankOrEmptyTextBecomesEmpty) {
  EXPECT_EQ(DE::TrimSP(u" \t\r\n "), u"");
  EXPECT_EQ(DE::TrimSP(u""), u"");
}

TEST(TrimSP, TextWithoutBlanksIsUnchanged) { EXPECT_EQ(DE::TrimSP(u"DIMM A"), u"DIMM A"); }

class FileExistsTest : public ::testing::Test {
 protected:
  testenv::ScopedDataDir dir;
};

TEST_F(FileExistsTest, FindsAFileNamedWindowsStyle) {
  fs::create_directories(dir.path() / "config");
  std::ofstream(dir.path() / "config" / "SysdiagnoseList.xml") << "<root/>";

  EXPECT_TRUE(DE::FileExists(dir.path().string() + "\\config\\SysdiagnoseList.xml"));
  EXPECT_TRUE(DE::FileExists((dir.path() / "config" / "SysdiagnoseList.xml").string()));
}

TEST_F(FileExistsTest, MissingFilesAndDirectoriesDoNotCount) {
  fs::create_directories(dir.path() / "config");
  EXPECT_FALSE(DE::FileExists(dir.path().string() + "\\config\\SysdiagnoseList.xml"));
  EXPECT_FALSE(DE::FileExists(dir.path().string() + "\\config"));
  EXPECT_FALSE(DE::FileExists(""));
}

}  // namespace
