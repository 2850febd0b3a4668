#pragma once
// CTextUI: a text that wraps to its width, top aligned. With showhtml="true" it understands the
// rich-text markup of UITextMarkup.h; following its N-th {a}..{/a} link sends "link" with
// wParam N.
#include "DuiLib/UILabel.h"

namespace DuiLib {

class CTextUI : public CLabelUI {
 public:
  CTextUI();
  std::u16string_view GetClass() const override;
  int GetLinkCount() const;
  void DoEvent(TEventUI& event) override;
};

}  // namespace DuiLib
