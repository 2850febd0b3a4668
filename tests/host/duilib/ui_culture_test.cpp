#include "DuiLib/UICulture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "host/scoped_env.h"
#include "support/log_capture.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;

std::string Profile(const std::string& language, bool rightToLeft = false) {
  return R"({"host": {"userLanguage": ")" + language + R"(", "rightToLeft": )" + (rightToLeft ? "true" : "false") +
         "}}";
}

// An application directory of the test's own, holding the string tables the test writes.
class UICultureTest : public ::testing::Test {
 protected:
  UICultureTest() : appDir_("SYSDIAGNOSE_APP_DIR", scratch_.path().string()) {
    fs::create_directories(scratch_.path() / "lang");
  }
  ~UICultureTest() override { testenv::UseEmptyMachine(); }

  void WriteTable(const std::string& language, const std::string& json) {
    std::ofstream(scratch_.path() / "lang" / (language + ".json"), std::ios::binary) << json;
  }
  void WriteStandardTables() {
    WriteTable("en-US", R"({"GREETING": "Hello", "ONLY_EN": "English only",
                            "FILES": "{0, plural, one {# file} other {# files}}", "BROKEN": "{0"})");
    WriteTable("zh-CN", R"({"GREETING": "你好", "FILES": "{0} 个文件"})");
  }
  const fs::path& AppDir() const { return scratch_.path(); }

  UICulture& culture = UICulture::GetInstance();

 private:
  testenv::ScopedDataDir scratch_;
  testenv::ScopedEnv appDir_;
};

TEST_F(UICultureTest, TextFollowsTheUsersLanguage) {
  WriteStandardTables();
  testenv::UseMachine(Profile("zh-CN"));
  EXPECT_EQ(culture.GetString(u"GREETING"), u"你好");

  testenv::UseMachine(Profile("en-US"));
  EXPECT_EQ(culture.GetString(u"GREETING"), u"Hello");
}

TEST_F(UICultureTest, LanguageWithoutATableFallsBackToEnglish) {
  WriteStandardTables();
  testenv::UseMachine(Profile("fr-FR"));
  EXPECT_EQ(culture.GetString(u"GREETING"), u"Hello");
}

TEST_F(UICultureTest, NoProfileMeansEnglish) {
  WriteStandardTables();
  testenv::UseEmptyMachine();
  EXPECT_EQ(culture.GetString(u"GREETING"), u"Hello");
}

TEST_F(UICultureTest, MissingTextFallsBackKeyByKey) {
  WriteStandardTables();
  testenv::UseMachine(Profile("zh-CN"));
  EXPECT_EQ(culture.GetString(u"ONLY_EN"), u"English only");
}

TEST_F(UICultureTest, KeyNoTableHoldsGivesTheKeyItself) {
  WriteStandardTables();
  testenv::UseMachine(Profile("zh-CN"));
  EXPECT_EQ(culture.GetString(u"IDS_NOWHERE"), u"IDS_NOWHERE");
  EXPECT_EQ(culture.GetString(u""), u"");
}

TEST_F(UICultureTest, LanguageTagsAreMatchedWhateverTheirCase) {
  WriteStandardTables();
  for (const char* spelling : {"zh-cn", "ZH-CN", "zh_CN"}) {
    testenv::UseMachine(Profile(spelling));
    EXPECT_EQ(culture.GetString(u"GREETING"), u"你好") << spelling;
  }
}

TEST_F(UICultureTest, LanguageCannotNameAFileOutsideTheTables) {
  WriteStandardTables();
  std::ofstream(AppDir() / "secret.json") << R"({"GREETING": "leaked"})";
  testenv::UseMachine(Profile("../secret"));
  EXPECT_EQ(culture.GetString(u"GREETING"), u"Hello");
}

TEST_F(UICultureTest, MultiVarStrFormatsAnIntegerWithTheLanguagesRules) {
  WriteStandardTables();
  testenv::UseMachine(Profile("en-US"));
  EXPECT_EQ(culture.GetMultiVarStr(u"FILES", {1}), u"1 file");
  EXPECT_EQ(culture.GetMultiVarStr(u"FILES", {3}), u"3 files");

  testenv::UseMachine(Profile("zh-CN"));
  EXPECT_EQ(culture.GetMultiVarStr(u"FILES", {3}), u"3 个文件");
}

TEST_F(UICultureTest, MultiVarStrOfAMissingKeyGivesTheKey) {
  WriteStandardTables();
  EXPECT_EQ(culture.GetMultiVarStr(u"IDS_NOWHERE", {2}), u"IDS_NOWHERE");
}

TEST_F(UICultureTest, BrokenPatternIsShownAsItStandsAndLogged) {
  WriteStandardTables();
  testenv::LogCapture log;
  EXPECT_EQ(culture.GetMultiVarStr(u"BROKEN", {2}), u"{0");

  const auto errors = log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].message.find("BROKEN"), std::string::npos) << errors[0].message;
}

TEST_F(UICultureTest, ParseBindResolvesOnlyTheBindForm) {
  WriteStandardTables();
  EXPECT_EQ(culture.ParseBind(u"bind='GREETING'"), u"Hello");
  EXPECT_EQ(culture.ParseBind(u"bind='IDS_NOWHERE'"), u"IDS_NOWHERE");
  for (const char16_t* plain : {u"GREETING", u"bind='GREETING", u"bind=''", u"bind='A'B'", u" bind='GREETING'", u""}) {
    EXPECT_EQ(culture.ParseBind(plain), plain);
  }
}

TEST_F(UICultureTest, MalformedTableIsLoggedAndReadsAsEmpty) {
  WriteTable("en-US", R"({"GREETING": "Hello"})");
  WriteTable("zh-CN", R"({"GREETING": "你好",)");
  testenv::UseMachine(Profile("zh-CN"));
  testenv::LogCapture log;

  EXPECT_EQ(culture.GetString(u"GREETING"), u"Hello");

  const auto errors = log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].message.find("zh-CN.json"), std::string::npos) << errors[0].message;
  // Read once: a second lookup does not log again.
  culture.GetString(u"GREETING");
  EXPECT_EQ(log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL).size(), 1u);
}

TEST_F(UICultureTest, TableWithTheWrongShapeOrBadUtf8IsRefused) {
  WriteTable("en-US", R"({"GREETING": "Hello"})");
  testenv::LogCapture log;
  WriteTable("zh-CN", R"(["GREETING", "你好"])");
  testenv::UseMachine(Profile("zh-CN"));
  EXPECT_EQ(culture.GetString(u"GREETING"), u"Hello");

  WriteTable("ja-JP", "{\"GREETING\": \"\xFF\xFE\"}");
  testenv::UseMachine(Profile("ja-JP"));
  EXPECT_EQ(culture.GetString(u"GREETING"), u"Hello");
  EXPECT_EQ(log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL).size(), 2u);
}

TEST_F(UICultureTest, EntryThatIsNotATextIsSkippedAndTheRestKept) {
  WriteTable("en-US", R"({"GREETING": "Hello", "COUNT": 3})");
  testenv::LogCapture log;
  EXPECT_EQ(culture.GetString(u"GREETING"), u"Hello");
  EXPECT_EQ(culture.GetString(u"COUNT"), u"COUNT");
  EXPECT_EQ(log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL).size(), 1u);
}

TEST_F(UICultureTest, DirectionFollowsTheProfile) {
  testenv::UseMachine(Profile("ar-EG", true));
  EXPECT_EQ(culture.getDirection(), UIDirection::RightToLeft);
  testenv::UseMachine(Profile("en-US", false));
  EXPECT_EQ(culture.getDirection(), UIDirection::LeftToRight);
  testenv::UseEmptyMachine();
  EXPECT_EQ(culture.getDirection(), UIDirection::LeftToRight);
}

TEST_F(UICultureTest, WorkersReadWhileTheLanguageChanges) {
  WriteStandardTables();
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 4; ++t) {
    readers.emplace_back([&] {
      while (!stop) {
        const auto text = culture.GetString(u"GREETING");
        if (text != u"Hello" && text != u"你好") ++wrong;
        const auto files = culture.GetMultiVarStr(u"FILES", {2});
        if (files != u"2 files" && files != u"2 个文件") ++wrong;
      }
    });
  }
  for (int i = 0; i < 50; ++i) testenv::UseMachine(Profile(i % 2 ? "zh-CN" : "en-US"));
  stop = true;
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(wrong, 0);
}

// The tables that ship, read the way the plug-in reads them.
class ShippedTables : public ::testing::Test {
 protected:
  ~ShippedTables() override { testenv::UseEmptyMachine(); }
  testenv::ScopedEnv appDir_{"SYSDIAGNOSE_APP_DIR", testenv::ResourcePath("")};
  UICulture& culture = UICulture::GetInstance();
};

TEST_F(ShippedTables, CategoryNamesReadInBothLanguages) {
  testenv::UseMachine(Profile("en-US"));
  EXPECT_EQ(culture.GetString(u"IDS_HARDWARE_DETECT_CPU"), u"Processor");
  EXPECT_EQ(culture.ParseBind(u"bind='IDS_HARDWARE_DETECT'"), u"Hardware Diagnosis");
  testenv::UseMachine(Profile("zh-CN"));
  EXPECT_EQ(culture.GetString(u"IDS_HARDWARE_DETECT_CPU"), u"处理器");
}

TEST_F(ShippedTables, CountsReadNaturally) {
  testenv::UseMachine(Profile("en-US"));
  EXPECT_EQ(culture.GetMultiVarStr(u"IDS_HARDWARE_DETECT_SELECTED", {1}), u"1 category selected");
  EXPECT_EQ(culture.GetMultiVarStr(u"IDS_HARDWARE_DETECT_SELECTED", {12}), u"12 categories selected");
  EXPECT_EQ(culture.GetMultiVarStr(u"IDS_HARDWARE_DETECT_MAIN_BEFORE_DAY", {3}), u"3 days ago");
  testenv::UseMachine(Profile("zh-CN"));
  EXPECT_EQ(culture.GetMultiVarStr(u"IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM_DETAIL", {2}), u"发现 2 项硬件异常");
}

}  // namespace
