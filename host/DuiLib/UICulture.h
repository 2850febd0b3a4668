#pragma once
// The host's string tables: resources/lang/<language>.json, the language following the user's
// (SystemInfo), falling back to en-US. A key that no table holds gives the key itself.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

enum class UIDirection : int32_t { LeftToRight = 0, RightToLeft = 1 };

class UICulture {
 public:
  static UICulture& GetInstance();

  std::u16string GetString(std::u16string_view key);
  // The key's pattern formatted with ICU MessageFormat ({0}, {1}, ...) and the arguments.
  std::u16string GetMultiVarStr(std::u16string_view key, std::initializer_list<int64_t> args);
  // "bind='KEY'" gives the text of KEY; any other text is returned unchanged.
  std::u16string ParseBind(std::u16string_view text);
  UIDirection getDirection();
};
