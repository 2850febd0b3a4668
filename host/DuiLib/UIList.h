#pragma once
// CListUI: a vertical list of items (any controls, usually the roots of item layouts) that
// scrolls. The scroll position is the vertical offset of the content (GetScrollPos().cy), kept
// between 0 and GetScrollRange().cy; LineUp/LineDown move it by one line, HomeUp and EndDown to
// either end. A double click on an item sends "itemactivate" from that item.
#include "DuiLib/UIVerticalLayout.h"

namespace DuiLib {

class CListUI : public CVerticalLayoutUI {
 public:
  CListUI();
  std::u16string_view GetClass() const override;
};

}  // namespace DuiLib
