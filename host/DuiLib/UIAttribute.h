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

}  // namespace DuiLib::attr
