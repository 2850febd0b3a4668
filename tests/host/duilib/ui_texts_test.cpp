// UICulture's texts by language, and the shipped string tables: the same keys in every language,
// every key the code names, and every pattern formattable by ICU.
#include "DuiLib/UICulture.h"

#include <gtest/gtest.h>
#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/msgfmt.h>
#include <unicode/unistr.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <string>

#include "host/scoped_env.h"
#include "support/log_capture.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using Table = std::map<std::string, std::string>;

const char* const kLanguages[] = {"en-US", "zh-CN"};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Every entry must be a text; a table that is not JSON fails the whole suite.
Table LoadShippedTable(const std::string& language) {
  const std::string path = testenv::ResourcePath("lang/" + language + ".json");
  const nlohmann::json document = nlohmann::json::parse(ReadFile(path));
  Table table;
  for (const auto& [key, value] : document.items()) {
    EXPECT_TRUE(value.is_string()) << path << ": " << key << " is not a text";
    if (value.is_string()) table[key] = value.get<std::string>();
  }
  return table;
}

class StringTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const char* language : kLanguages) tables_[language] = LoadShippedTable(language);
  }
  static const Table& Get(const std::string& language) { return tables_[language]; }
  static std::map<std::string, Table> tables_;
};
std::map<std::string, Table> StringTables::tables_;

// Every pattern takes the count (or preformatted number) the code passes as its one argument.
TEST_F(StringTables, EveryLanguageHoldsTheSameKeysAndPlaceholdersAndEveryPatternFormatsThroughIcu) {
  const Table& english = Get("en-US");
  ASSERT_GT(english.size(), 150u);
  for (const char* language : kLanguages) {
    EXPECT_EQ(Get(language).size(), english.size()) << language;
    for (const auto& [key, englishText] : english) {
      const auto it = Get(language).find(key);
      ASSERT_NE(it, Get(language).end()) << language << " lacks " << key;
      const std::string& text = it->second;
      const bool pattern = text.find("{0") != std::string::npos;
      EXPECT_EQ(pattern, englishText.find("{0") != std::string::npos) << language << " " << key << ": " << text;
      if (!pattern) continue;
      UErrorCode status = U_ZERO_ERROR;
      icu::MessageFormat format(icu::UnicodeString::fromUTF8(text), icu::Locale(language), status);
      ASSERT_TRUE(U_SUCCESS(status)) << language << " " << key << ": " << u_errorName(status);
      const icu::Formattable argument(int64_t{7});
      icu::UnicodeString out;
      icu::FieldPosition ignore(icu::FieldPosition::DONT_CARE);
      format.format(&argument, 1, out, ignore, status);
      std::string result;
      out.toUTF8String(result);
      EXPECT_TRUE(U_SUCCESS(status)) << language << " " << key << ": " << u_errorName(status);
      EXPECT_EQ(result.find('{'), std::string::npos) << language << " " << key << ": " << result;
      EXPECT_NE(result.find('7'), std::string::npos) << language << " " << key << ": " << result;
    }
  }
}

// Guards later code too: every whole IDS_ key written in the sources or the sample machines has
// a text. Tokens ending in "_" are prefixes that the code completes.
TEST_F(StringTables, EveryKeyNamedInTheSourcesHasAText) {
  const fs::path root = fs::weakly_canonical(testenv::ResourcePath(".."));
  const std::regex token("IDS_[A-Z0-9_]+");
  const std::set<std::string> extensions = {".cpp", ".h", ".json", ".xml"};
  size_t filesWithKeys = 0;

  for (const char* folder : {"plugin", "host", "resources"}) {
    if (!fs::exists(root / folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      if (!entry.is_regular_file() || !extensions.count(entry.path().extension().string())) continue;
      if (entry.path().parent_path().filename() == "lang") continue;
      const std::string text = ReadFile(entry.path());
      bool found = false;
      for (std::sregex_iterator it(text.begin(), text.end(), token), end; it != end; ++it) {
        const std::string key = it->str();
        if (key.back() == '_') continue;
        found = true;
        for (const char* language : kLanguages) {
          EXPECT_TRUE(Get(language).count(key))
              << fs::relative(entry.path(), root).string() << " names " << key << ", which " << language << " lacks";
        }
      }
      filesWithKeys += found ? 1 : 0;
    }
  }
  EXPECT_GT(filesWithKeys, 0u) << "no source under " << root << " names a key: wrong root?";
}

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
