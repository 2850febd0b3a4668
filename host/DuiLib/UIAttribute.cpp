#include "DuiLib/UIAttribute.h"

#include <cstdio>
#include <vector>

#include "platform/numparse.h"

namespace DuiLib::attr {
namespace {

std::vector<int> Numbers(std::u16string_view value) {
  std::vector<int> numbers;
  size_t start = 0;
  while (start <= value.size()) {
    size_t comma = value.find(u',', start);
    if (comma == std::u16string_view::npos) comma = value.size();
    numbers.push_back(platform::Wtoi(value.substr(start, comma - start)));
    start = comma + 1;
  }
  return numbers;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace

int ToInt(std::u16string_view value) { return platform::Wtoi(value); }

bool ToBool(std::u16string_view value) {
  if (value == u"1") return true;
  if (value.size() != 4) return false;
  const char16_t* word = u"true";
  for (size_t i = 0; i < 4; ++i) {
    if ((value[i] | 0x20) != word[i]) return false;
  }
  return true;
}

DWORD ToColor(std::u16string_view value) {
  if (value.starts_with(u"#")) {
    value.remove_prefix(1);
  } else if (value.starts_with(u"0x") || value.starts_with(u"0X")) {
    value.remove_prefix(2);
  } else {
    return 0;
  }
  if (value.size() != 6 && value.size() != 8) return 0;
  DWORD color = 0;
  for (char16_t c : value) {
    const int digit = HexDigit(c);
    if (digit < 0) return 0;
    color = (color << 4) | static_cast<DWORD>(digit);
  }
  return value.size() == 6 ? (0xFF000000u | color) : color;
}

RECT ToRect(std::u16string_view value) {
  std::vector<int> n = Numbers(value);
  n.resize(4, 0);
  return RECT{n[0], n[1], n[2], n[3]};
}

SIZE ToSize(std::u16string_view value) {
  std::vector<int> n = Numbers(value);
  n.resize(2, 0);
  return SIZE{n[0], n[1]};
}

std::string ColorToCss(DWORD argb) {
  char text[48];
  std::snprintf(text, sizeof(text), "rgba(%u,%u,%u,%.3f)", (argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF,
                ((argb >> 24) & 0xFF) / 255.0);
  return text;
}

}  // namespace DuiLib::attr
