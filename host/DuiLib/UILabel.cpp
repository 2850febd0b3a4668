#include "DuiLib/UILabel.h"

namespace DuiLib {

std::u16string_view CLabelUI::GetClass() const { return u"Label"; }

}  // namespace DuiLib
