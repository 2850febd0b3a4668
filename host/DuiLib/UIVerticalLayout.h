#pragma once
// CVerticalLayoutUI: stacks its children top to bottom, each at its fixed height plus
// padding, with childpadding between them; children without a fixed height share what is left
// (within their min and max). Across, a child takes its fixed size or the whole room.
#include "DuiLib/UIContainer.h"

namespace DuiLib {

class CVerticalLayoutUI : public CContainerUI {
 public:
  std::u16string_view GetClass() const override;
  void SetPos(RECT rc) override;
};

}  // namespace DuiLib
