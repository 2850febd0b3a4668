#pragma once
// CLabelUI: one line of text (by default vertically centred, left aligned; "align", "valign",
// "endellipsis", "textpadding", "font", "textcolor", "autocalcwidth" in layout files).
#include "DuiLib/UIControl.h"

namespace DuiLib {

class CLabelUI : public CControlUI {
 public:
  std::u16string_view GetClass() const override;
};

}  // namespace DuiLib
