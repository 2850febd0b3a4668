#include "DuiLib/UIStringTable.h"

#include <unicode/fmtable.h>
#include <unicode/locid.h>
#include <unicode/msgfmt.h>
#include <unicode/unistr.h>

#include <nlohmann/json.hpp>
#include <vector>

#include "platform/encoding.h"
#include "utility/Logger.h"

namespace {

constexpr const char* kSourceTag = "UICulture";

void LogError(const std::string& message, const char* qualifiedName, int line, const char* signature) {
  hostlog::Error(message, qualifiedName, kSourceTag, line, signature);
}

}  // namespace

UIStringTable ParseStringTable(std::string_view text, const std::string& source) {
  UIStringTable table;
  nlohmann::json document;
  try {
    document = nlohmann::json::parse(text.begin(), text.end());
  } catch (const nlohmann::json::exception& e) {
    LogError("malformed string table " + source + ": " + e.what(), "UICulture::LoadTable", __LINE__,
             __PRETTY_FUNCTION__);
    return table;
  }
  if (!document.is_object()) {
    LogError("string table " + source + " is not a JSON object", "UICulture::LoadTable", __LINE__, __PRETTY_FUNCTION__);
    return table;
  }
  for (const auto& [key, value] : document.items()) {
    if (!value.is_string()) {
      LogError("string table " + source + ": the text of " + key + " is not a string", "UICulture::LoadTable",
               __LINE__, __PRETTY_FUNCTION__);
      continue;
    }
    table.emplace(key, platform::Utf8ToUtf16(value.get<std::string>()));
  }
  return table;
}

std::u16string FormatStringTableText(std::u16string_view key, const std::u16string& pattern, const std::string& language,
                                     std::initializer_list<int64_t> args) {
  const icu::UnicodeString icuPattern(false, pattern.data(), static_cast<int32_t>(pattern.size()));
  const icu::Locale locale(language.c_str());

  UErrorCode status = U_ZERO_ERROR;
  icu::MessageFormat format(icuPattern, locale, status);
  std::vector<icu::Formattable> values;
  for (int64_t value : args) values.emplace_back(value);
  icu::UnicodeString result;
  if (U_SUCCESS(status)) {
    icu::FieldPosition ignore(icu::FieldPosition::DONT_CARE);
    format.format(values.data(), static_cast<int32_t>(values.size()), result, ignore, status);
  }
  if (U_FAILURE(status)) {
    LogError("cannot format " + platform::Utf16ToUtf8(key) + ": " + u_errorName(status), "UICulture::GetMultiVarStr",
             __LINE__, __PRETTY_FUNCTION__);
    return pattern;
  }
  return std::u16string(result.getBuffer(), static_cast<size_t>(result.length()));
}
