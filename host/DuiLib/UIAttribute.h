#pragma once
// Readers of attribute values as layout files write them. Lenient, as the host's library is:
// a number that does not parse reads as 0.
#include <string>
#include <string_view>

#include "DuiLib/UIDefine.h"

namespace DuiLib::attr {

int ToInt(std::u16string_view value);
bool ToBool(std::u16string_view value);  // "true" (any case) or "1"
// "#AARRGGBB", "#RRGGBB" (opaque) or "0xAARRGGBB"; anything else, and the empty text, is 0.
DWORD ToColor(std::u16string_view value);
RECT ToRect(std::u16string_view value);  // "l,t,r,b"
SIZE ToSize(std::u16string_view value);  // "cx,cy"
std::string ColorToCss(DWORD argb);      // rgba(r,g,b,a)

// One attribute a control knows: its name in a layout file and what it sets.
template <class Control>
struct Setter {
  std::u16string_view name;
  void (*set)(Control& control, std::u16string_view value);
};

// Sets the attribute the table names; false when the table does not know it.
template <class Control, size_t N>
bool Apply(const Setter<Control> (&table)[N], Control& control, std::u16string_view name, std::u16string_view value) {
  for (const Setter<Control>& setter : table) {
    if (setter.name != name) continue;
    setter.set(control, value);
    return true;
  }
  return false;
}

}  // namespace DuiLib::attr
