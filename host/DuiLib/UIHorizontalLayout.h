#pragma once
// CHorizontalLayoutUI: stacks its children left to right, each at its fixed width plus
// padding, with childpadding between them; children without a fixed width share what is left
// (within their min and max). Across, a child takes its fixed size or the whole room.
#include "DuiLib/UIContainer.h"

namespace DuiLib {

class CHorizontalLayoutUI : public CContainerUI {
 public:
  std::u16string_view GetClass() const override;
  void SetPos(RECT rc) override;
  // With autocalcwidth="true" the layout is as wide as its visible children need.
  SIZE EstimateSize(SIZE available) override;
};

}  // namespace DuiLib
