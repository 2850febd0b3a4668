#pragma once
// The control tree as JSON, for black-box checks and tools. Laid out first when it is in a window.
// Every control is one object with these fields (names stable):
//   id, class, name, text, tooltip, userdata   identity and texts (UTF-8)
//   visible     the control's own flag;  shown  visible with every ancestor visible
//   enabled, mouse                              the control's own flags
//   pos {x, y}, size {width, height}            laid-out rectangle, pixels, window coordinates
//   fixed {width, height}, padding [l, t, r, b] what the layout asks for, pixels
//   float                                       placed by its pos, out of the flow
//   font, textcolor, bkcolor, bkcolor2          colours as "#AARRGGBB"
//   images {bk, normal, selected, frame}        image descriptions, only those set
//   selected, group                             options only
//   animation {playing, frame, first, last, loop, elapse, image}   animation panels only
//   scroll {pos, range}                         scrolling containers only
//   cursel                                      tab layouts only
//   links                                       texts with links only
//   children [...]                              containers only, in order
#include <nlohmann/json.hpp>

#include "DuiLib/UIControl.h"

namespace DuiLib {

nlohmann::json ControlTreeToJson(CControlUI* root);

}  // namespace DuiLib
