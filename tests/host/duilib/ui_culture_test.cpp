#include "DuiLib/UICulture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/scoped_env.h"
#include "support/log_capture.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;

std::string Profile(const std::string& language) { return R"({"host": {"userLanguage": ")" + language + R"("}})"; }

// An application directory of the test's own, holding the string tables the test writes.
class UICultureTest : public ::testing::Test {
 protected:
  UICultureTest() : appDir_("SYSDIAGNOSE_APP_DIR", scratch_.path().string()) {
    fs::create_directories(scratch_.path() / "lang");
    WriteTable("en-US", R"({"GREETING": "Hello", "ONLY_EN": "English only",
                            "FILES": "{0, plural, one {# file} other {# files}}"})");
    WriteTable("zh-CN", R"({"GREETING": "你好", "FILES": "{0} 个文件"})");
  }
  ~UICultureTest() override { testenv::UseEmptyMachine(); }

  void WriteTable(const std::string& language, const std::string& json) {
    std::ofstream(scratch_.path() / "lang" / (language + ".json"), std::ios::binary) << json;
  }

  UICulture& culture = UICulture::GetInstance();

 private:
  testenv::ScopedDataDir scratch_;
  testenv::ScopedEnv appDir_;
};

TEST_F(UICultureTest, TextFollowsTheLanguageFallingBackToEnglishThenToTheKey) {
  testenv::UseMachine(Profile("zh-CN"));
  EXPECT_EQ(culture.GetString(u"GREETING"), u"你好");
  EXPECT_EQ(culture.GetString(u"ONLY_EN"), u"English only");
  EXPECT_EQ(culture.GetString(u"IDS_NOWHERE"), u"IDS_NOWHERE");

  testenv::UseMachine(Profile("fr-FR"));
  EXPECT_EQ(culture.GetString(u"GREETING"), u"Hello");
  testenv::UseEmptyMachine();
  EXPECT_EQ(culture.GetString(u"GREETING"), u"Hello");
}

TEST_F(UICultureTest, MultiVarStrFormatsAnIntegerWithTheLanguagesRules) {
  testenv::UseMachine(Profile("en-US"));
  EXPECT_EQ(culture.GetMultiVarStr(u"FILES", {1}), u"1 file");
  EXPECT_EQ(culture.GetMultiVarStr(u"FILES", {3}), u"3 files");
  EXPECT_EQ(culture.GetMultiVarStr(u"IDS_NOWHERE", {2}), u"IDS_NOWHERE");

  testenv::UseMachine(Profile("zh-CN"));
  EXPECT_EQ(culture.GetMultiVarStr(u"FILES", {3}), u"3 个文件");
}

TEST_F(UICultureTest, ParseBindResolvesOnlyTheBindForm) {
  EXPECT_EQ(culture.ParseBind(u"bind='GREETING'"), u"Hello");
  EXPECT_EQ(culture.ParseBind(u"bind='IDS_NOWHERE'"), u"IDS_NOWHERE");
  for (const char16_t* plain : {u"GREETING", u"bind='GREETING", u"bind=''", u" bind='GREETING'"}) {
    EXPECT_EQ(culture.ParseBind(plain), plain);
  }
}

TEST_F(UICultureTest, MalformedTableIsLoggedOnceAndReadsAsEmpty) {
  WriteTable("zh-CN", R"({"GREETING": "你好",)");
  testenv::UseMachine(Profile("zh-CN"));
  testenv::LogCapture log;

  EXPECT_EQ(culture.GetString(u"GREETING"), u"Hello");
  culture.GetString(u"GREETING");

  const auto errors = log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].message.find("zh-CN.json"), std::string::npos) << errors[0].message;
}

}  // namespace
