// The shipped string tables: well-formed, the same keys in every language, every key the code
// names, and every pattern with an argument formattable by ICU.
#include <gtest/gtest.h>
#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/msgfmt.h>
#include <unicode/unistr.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using Table = std::map<std::string, std::string>;

const char* const kLanguages[] = {"en-US", "zh-CN"};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Fails the test (and gives an empty table) when the file is not a flat object of texts.
Table LoadShippedTable(const std::string& language) {
  Table table;
  const std::string path = testenv::ResourcePath("lang/" + language + ".json");
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(ReadFile(path));
  } catch (const nlohmann::json::exception& e) {
    ADD_FAILURE() << path << ": " << e.what();
    return table;
  }
  if (!document.is_object()) {
    ADD_FAILURE() << path << " is not a JSON object";
    return table;
  }
  for (const auto& [key, value] : document.items()) {
    if (!value.is_string()) {
      ADD_FAILURE() << path << ": " << key << " is not a text";
      continue;
    }
    table[key] = value.get<std::string>();
  }
  return table;
}

std::set<std::string> KeysOf(const Table& table) {
  std::set<std::string> keys;
  for (const auto& [key, text] : table) keys.insert(key);
  return keys;
}

bool HasIdeograph(const std::string& utf8) {
  const icu::UnicodeString text = icu::UnicodeString::fromUTF8(utf8);
  for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
    const UChar32 c = text.char32At(i);
    if (c >= 0x4E00 && c <= 0x9FFF) return true;
  }
  return false;
}

// Texts formatted with a number argument, and those formatted with a preformatted text argument.
const std::set<std::string> kNumberPatterns = {
    "IDS_HARDWARE_DETECT_SELECTED",
    "IDS_HARDWARE_DETECT_MAIN_BEFORE_DAY",
    "IDS_HARDWARE_DETECT_MAIN_LAST_ABNORM",
    "IDS_HARDWARE_DIAGNOSE_ABNORM_RESULT_NUM",
    "IDS_HARDWARE_DIAGNOSE_REPAIR_FAIL_DESCRIPTION",
    "IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM",
    "IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM_DETAIL",
    "IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM_REPAIR_DETAIL",
};
const std::set<std::string> kTextPatterns = {
    "IDS_HARDWARE_DIAGNOSE_NUM",
    "IDS_HARDWARE_DIAGNOSE_NUM_NORMAL",
};

// Keys the code builds from parts (a shared prefix and a table entry), which a search of the
// sources for whole keys cannot find.
std::vector<std::string> ComposedKeys() {
  std::vector<std::string> keys;
  const char* const itemNames[] = {
      "CPU_SSE", "CPU_SSE2", "CPU_SSE3", "CPU_SSSE3", "CPU_SSE41", "CPU_SSE42", "MOT_FAST",
      "MEM_FAST", "MEM_CONTINUE_INC_RW", "MEM_BLOCK_INC_WRITE", "MEM_BIT_RW", "MEM_FAKE_RANDOM",
      "MEM_BOARD", "MEM_ARITH", "MEM_LOGIC", "MEM_BIT_FLIP", "GPU_DEVICE", "GPU_STATE",
      "DISPLAY_FAST", "AUDIO_DEVICE", "AUDIO_LOOPBACK", "NETCARD_DEVICE", "NETCARD_ADAPTER",
      "WIFI_SWITCH", "NETCARD_SIGNAL", "BAT_VOLTAGE", "KEYBOARD_FILTER", "KEYBOARD_HOTKEY",
      "BLUETOOTH_DEVICE", "BLUETOOTH_STATUS",
  };
  for (const char* name : itemNames) keys.push_back(std::string("IDS_HARDWARE_DIAGNOSE_") + name);
  const char* const smartAttributes[] = {
      "01", "03", "04", "05", "07", "09", "0A", "0C", "B7", "B8", "BB", "BC", "BD", "BE", "BF", "C0", "C1",
      "C2", "C5", "C6", "C7", "F0", "F1", "F2", "AA", "AB", "AC", "AD", "AE", "AF", "B0", "B2", "B3", "B4",
      "B5", "B6", "C3", "E8", "E9",
  };
  for (const char* attribute : smartAttributes) keys.push_back(std::string("IDS_HARDWARE_DIAGNOSE_DISK_") + attribute);
  return keys;
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

TEST_F(StringTables, EveryLanguageHoldsTheSameKeys) {
  const auto english = KeysOf(Get("en-US"));
  ASSERT_GT(english.size(), 150u);
  for (const char* language : kLanguages) EXPECT_EQ(KeysOf(Get(language)), english) << language;
}

TEST_F(StringTables, NoTextIsEmptyOrPaddedByMistake) {
  // The texts appended to another sentence are the only ones that may begin with a space.
  const std::set<std::string> appended = {"IDS_HARDWARE_DIAGNOSE_RESULT_SEND_LOG",
                                          "IDS_HARDWARE_DIAGNOSE_RESULT_UPLOAD_LOG",
                                          "IDS_HARDWARE_DIAGNOSE_RESULT_CANCEL_UPLOAD"};
  for (const char* language : kLanguages) {
    for (const auto& [key, text] : Get(language)) {
      EXPECT_FALSE(text.empty()) << language << " " << key;
      if (text.empty()) continue;
      EXPECT_NE(text.back(), ' ') << language << " " << key;
      if (!appended.count(key)) {
        EXPECT_NE(text.front(), ' ') << language << " " << key;
      }
    }
  }
}

TEST_F(StringTables, ChineseTableIsChineseAndEnglishTableIsNot) {
  for (const auto& [key, text] : Get("zh-CN")) EXPECT_TRUE(HasIdeograph(text)) << key << ": " << text;
  for (const auto& [key, text] : Get("en-US")) EXPECT_FALSE(HasIdeograph(text)) << key << ": " << text;
}

TEST_F(StringTables, ExactlyTheFormattedTextsHavePlaceholders) {
  for (const char* language : kLanguages) {
    for (const auto& [key, text] : Get(language)) {
      const bool formatted = kNumberPatterns.count(key) || kTextPatterns.count(key);
      EXPECT_EQ(text.find("{0") != std::string::npos, formatted) << language << " " << key << ": " << text;
    }
  }
}

TEST_F(StringTables, EveryPatternFormatsThroughIcu) {
  for (const char* language : kLanguages) {
    for (const auto& [key, text] : Get(language)) {
      const bool number = kNumberPatterns.count(key) > 0;
      if (!number && !kTextPatterns.count(key)) continue;
      UErrorCode status = U_ZERO_ERROR;
      icu::MessageFormat format(icu::UnicodeString::fromUTF8(text), icu::Locale(language), status);
      ASSERT_TRUE(U_SUCCESS(status)) << language << " " << key << ": " << u_errorName(status);
      for (int64_t n : {int64_t{0}, int64_t{1}, int64_t{7}}) {
        const icu::Formattable argument = number ? icu::Formattable(n)
                                                 : icu::Formattable(icu::UnicodeString::fromUTF8(std::to_string(n)));
        icu::UnicodeString out;
        icu::FieldPosition ignore(icu::FieldPosition::DONT_CARE);
        status = U_ZERO_ERROR;
        format.format(&argument, 1, out, ignore, status);
        std::string result;
        out.toUTF8String(result);
        EXPECT_TRUE(U_SUCCESS(status)) << language << " " << key << ": " << u_errorName(status);
        EXPECT_EQ(result.find('{'), std::string::npos) << language << " " << key << ": " << result;
        // Zero may be worded ("No category selected"); other counts are shown as digits.
        if (n != 0) {
          EXPECT_NE(result.find(std::to_string(n)), std::string::npos) << language << " " << key << ": " << result;
        }
      }
    }
  }
}

TEST_F(StringTables, ComposedKeysAreInEveryTable) {
  for (const auto& key : ComposedKeys()) {
    for (const char* language : kLanguages) EXPECT_TRUE(Get(language).count(key)) << language << " lacks " << key;
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

}  // namespace
