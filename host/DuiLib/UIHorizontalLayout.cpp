#include "DuiLib/UIHorizontalLayout.h"

namespace DuiLib {

std::u16string_view CHorizontalLayoutUI::GetClass() const { return u"HorizontalLayout"; }

void CHorizontalLayoutUI::SetPos(RECT rc) {
  if (KeepsLayout(rc)) return;
  CControlUI::SetPos(rc);
  StackChildren(false);
}

SIZE CHorizontalLayoutUI::EstimateSize(SIZE available) {
  SIZE size = CContainerUI::EstimateSize(available);
  if (!GetAutoCalcWidth()) return size;
  const RECT inset = GetInset();
  int width = inset.left + inset.right;
  int shown = 0;
  for (CControlUI* child : m_items) {
    if (!TakesPart(child)) continue;
    const RECT p = child->GetPadding();
    width += child->EstimateSize(available).cx + p.left + p.right;
    ++shown;
  }
  if (shown > 1) width += GetChildPadding() * (shown - 1);
  size.cx = width;
  return size;
}

}  // namespace DuiLib
