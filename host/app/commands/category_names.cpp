#include "app/commands/category_names.h"

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "DuiLib/UICulture.h"
#include "DuiLib/UIStringTable.h"
#include "IPCMessage/HardwareCategories.h"
#include "app/views/text_width.h"
#include "platform/encoding.h"
#include "platform/paths.h"

namespace app {
namespace {

constexpr size_t kHelpWidth = 100;

using doctor::HardwareCategory;
using doctor::kHardwareCategories;

// The categories in the order of their numbers, as the help lists them.
std::vector<const HardwareCategory*> ByNumber() {
  std::vector<const HardwareCategory*> sorted;
  for (const HardwareCategory& category : kHardwareCategories) sorted.push_back(&category);
  std::sort(sorted.begin(), sorted.end(), [](const auto* a, const auto* b) { return a->id < b->id; });
  return sorted;
}

// The command-line words of a category, the one listed first first.
std::vector<std::string> WordsOf(const HardwareCategory& category) {
  std::vector<std::string> words;
  for (std::string_view word : category.words) {
    if (!word.empty()) words.emplace_back(word);
  }
  return words;
}

// Every string table the program ships, the default language's first.
const std::vector<UIStringTable>& Tables() {
  static const std::vector<UIStringTable> tables = [] {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(platform::AppDirectory() + "/lang", error)) {
      if (entry.path().extension() == ".json") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
      return std::make_pair(a.stem() != "en-US", a) < std::make_pair(b.stem() != "en-US", b);
    });
    std::vector<UIStringTable> loaded;
    for (const auto& file : files) {
      std::ifstream in(file, std::ios::binary);
      std::ostringstream text;
      text << in.rdbuf();
      loaded.push_back(ParseStringTable(text.str(), file.string()));
    }
    return loaded;
  }();
  return tables;
}

// The category's names in every table, each once, in table order.
std::vector<std::string> PageNames(const HardwareCategory& category) {
  std::vector<std::string> names;
  for (const UIStringTable& table : Tables()) {
    const auto found = table.find(category.nameKey);
    if (found == table.end() || found->second.empty()) continue;
    const std::string name = platform::Utf16ToUtf8(found->second);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  const auto unicode = [](std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  };
  return unicode(a).caseCompare(unicode(b), U_FOLD_CASE_DEFAULT) == 0;
}

std::string Joined(const std::vector<std::string>& parts, std::string_view between) {
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : std::string(between)) + part;
  return joined;
}

}  // namespace

std::optional<int> CategoryNamed(std::string_view text) {
  const bool number = !text.empty() && text.size() <= 2 && text.find_first_not_of("0123456789") == std::string::npos;
  for (const HardwareCategory* category : ByNumber()) {
    if (number && std::stoi(std::string(text)) == category->id) return category->id;
    for (const std::string& word : WordsOf(*category)) {
      if (SameIgnoringCase(text, word)) return category->id;
    }
    for (const std::string& name : PageNames(*category)) {
      if (SameIgnoringCase(text, name)) return category->id;
    }
  }
  return std::nullopt;
}

std::string ShownCategoryName(int id) {
  const HardwareCategory* category = doctor::HardwareCategoryOf(id);
  if (category == nullptr) return {};
  return platform::Utf16ToUtf8(UICulture::GetInstance().GetString(platform::Utf8ToUtf16(category->nameKey)));
}

std::string CategoryNamesHelp() {
  std::string shortNames;
  for (const HardwareCategory* category : ByNumber()) {
    const std::vector<std::string> words = WordsOf(*category);
    shortNames += (shortNames.empty() ? "" : " ") + words.front();
    if (words.size() > 1) shortNames += " (" + Joined({words.begin() + 1, words.end()}, ", ") + ")";
  }
  constexpr std::string_view kIndent = "            ";
  std::string help = "  CATEGORY:";
  const std::string body = "a number 0-11 or one of " + shortNames +
                           " (default: every category of the catalogue), or its name as the pages show it, in any "
                           "case and in any of their languages:";
  for (const std::string& line : WrapToWidth(body, kHelpWidth - kIndent.size())) {
    help += (help.size() <= kIndent.size() ? " " : "\n" + std::string(kIndent)) + line;
  }
  help += "\n";
  for (const HardwareCategory* category : ByNumber()) {
    help += std::string(kIndent) + std::string(category->id < 10 ? " " : "") + std::to_string(category->id) + "  " +
            Joined(PageNames(*category), ", ") + "\n";
  }
  help.pop_back();
  return help;
}

}  // namespace app
