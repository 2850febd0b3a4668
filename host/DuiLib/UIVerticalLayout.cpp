#include "DuiLib/UIVerticalLayout.h"

namespace DuiLib {

std::u16string_view CVerticalLayoutUI::GetClass() const { return u"VerticalLayout"; }

void CVerticalLayoutUI::SetPos(RECT rc) {
  if (KeepsLayout(rc)) return;
  CControlUI::SetPos(rc);
  StackChildren(true);
}

}  // namespace DuiLib
