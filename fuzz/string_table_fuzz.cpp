// Feeds arbitrary bytes to the host's string-table reader as a table file, then formats every
// text of the table with ICU as a text with arguments is, in two languages.
#include <cstdint>
#include <string>
#include <string_view>

#include "DuiLib/UIStringTable.h"
#include "utility/Logger.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (GetLogger().setLogLevel(log4cplus::OFF_LOG_LEVEL), true);
  (void)quiet;
  const UIStringTable table = ParseStringTable(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.json");
  for (const auto& [key, text] : table) {
    FormatStringTableText(u"IDS_FUZZ", text, "en-US", {3, -1, 1773050000});
    FormatStringTableText(u"IDS_FUZZ", text, "zh-CN", {0});
  }
  return 0;
}
