#include "DuiLib/UICulture.h"

#include <cctype>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <vector>

#include "DuiLib/UIStringTable.h"
#include "platform/encoding.h"
#include "platform/paths.h"
#include "utility/Logger.h"
#include "utility/SystemInfo.h"

namespace {

constexpr const char* kSourceTag = "UICulture";
constexpr const char* kDefaultLanguage = "en-US";

using Table = UIStringTable;

struct Pattern {
  std::u16string text;
  std::string language;  // of the table that held it; empty when no table did
};

void LogError(const std::string& message, int line, const char* signature) {
  hostlog::Error(message, "UICulture::LoadTable", kSourceTag, line, signature);
}

// "zh_cn" and "ZH-CN" name the table "zh-CN": language lower case, region upper case, script
// title case. Anything that is not a plain tag is refused, so a language can never name a path.
std::optional<std::string> CanonicalLanguage(std::u16string_view language) {
  const std::string text = platform::Utf16ToUtf8(language);
  if (text.empty() || text.size() > 35) return std::nullopt;
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == '-' || c == '_') {
      parts.emplace_back();
    } else if (std::isalnum(static_cast<unsigned char>(c))) {
      parts.back() += c;
    } else {
      return std::nullopt;
    }
  }
  std::string canonical;
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string part = parts[i];
    if (part.empty()) return std::nullopt;
    for (char& c : part) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (i > 0 && part.size() == 2) {
      for (char& c : part) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    } else if (i > 0 && part.size() == 4) {
      part[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(part[0])));
    }
    if (i > 0) canonical += '-';
    canonical += part;
  }
  return canonical;
}

// nullptr when there is no such file.
std::shared_ptr<const Table> LoadTable(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  std::ostringstream content;
  content << in.rdbuf();
  return std::make_shared<const Table>(ParseStringTable(content.str(), path));
}

class Tables {
 public:
  // The table of a language, read on first use. nullptr when the application has none.
  std::shared_ptr<const Table> Get(const std::string& language) {
    const std::string path = platform::AppDirectory() + "/lang/" + language + ".json";
    std::lock_guard lock(lock_);
    auto it = cache_.find(path);
    if (it == cache_.end()) {
      auto table = LoadTable(path);
      if (!table && language == kDefaultLanguage) {
        LogError("no default string table at " + path, __LINE__, __PRETTY_FUNCTION__);
      }
      it = cache_.emplace(path, std::move(table)).first;
    }
    return it->second;
  }

 private:
  std::mutex lock_;
  // Keyed by path, so a different application directory or language reads its own file.
  std::map<std::string, std::shared_ptr<const Table>> cache_;
};

// Never destroyed: detached workers (the catalogue's model-name fill, diagnosis threads) may still
// look texts up while the process exits.
Tables& SharedTables() {
  static Tables& tables = *new Tables;
  return tables;
}

// The user's table first, then the default one; the key itself when neither has it.
Pattern Lookup(std::u16string_view key) {
  const std::string utf8Key = platform::Utf16ToUtf8(key);
  std::vector<std::string> languages;
  if (auto user = CanonicalLanguage(SystemInfo::getCurrentUserLanguage())) languages.push_back(*user);
  if (languages.empty() || languages.front() != kDefaultLanguage) languages.push_back(kDefaultLanguage);

  for (const auto& language : languages) {
    auto table = SharedTables().Get(language);
    if (!table) continue;
    if (auto it = table->find(utf8Key); it != table->end()) return {it->second, language};
  }
  return {std::u16string(key), {}};
}

}  // namespace

UICulture& UICulture::GetInstance() {
  static UICulture instance;
  return instance;
}

std::u16string UICulture::GetString(std::u16string_view key) { return Lookup(key).text; }

std::u16string UICulture::GetMultiVarStr(std::u16string_view key, std::initializer_list<int64_t> args) {
  const Pattern pattern = Lookup(key);
  return FormatStringTableText(key, pattern.text, pattern.language.empty() ? kDefaultLanguage : pattern.language, args);
}

std::u16string UICulture::ParseBind(std::u16string_view text) {
  constexpr std::u16string_view kPrefix = u"bind='";
  if (text.size() > kPrefix.size() + 1 && text.substr(0, kPrefix.size()) == kPrefix && text.back() == u'\'') {
    const std::u16string_view key = text.substr(kPrefix.size(), text.size() - kPrefix.size() - 1);
    if (key.find(u'\'') == std::u16string_view::npos) return GetString(key);
  }
  return std::u16string(text);
}

UIDirection UICulture::getDirection() {
  return SystemInfo::IsRightToLeft() ? UIDirection::RightToLeft : UIDirection::LeftToRight;
}
