#include "DuiLib/UIList.h"

namespace DuiLib {

CListUI::CListUI() { EnableScrollBar(true); }

std::u16string_view CListUI::GetClass() const { return u"List"; }

}  // namespace DuiLib
