#include "DuiLib/UIButton.h"

#include "DuiLib/UIAttribute.h"

namespace DuiLib {

CButtonUI::CButtonUI() { SetTextStyle(DT_SINGLELINE | DT_VCENTER | DT_CENTER); }

std::u16string_view CButtonUI::GetClass() const { return u"Button"; }

bool CButtonUI::Activate() {
  if (!IsEnabled()) return false;
  Notify(DUI_MSGTYPE_CLICK);
  return true;
}

void CButtonUI::SetAttribute(std::u16string_view name, std::u16string_view value) {
  if (name == u"normalimage") {
    SetNormalImage(value);
  } else if (name == u"hotimage") {
    SetHotImage(value);
  } else if (name == u"pushedimage") {
    SetPushedImage(value);
  } else if (name == u"disabledimage") {
    SetDisabledImage(value);
  } else if (name == u"hotbkcolor") {
    SetHotBkColor(attr::ToColor(value));
  } else if (name == u"pushedbkcolor") {
    SetPushedBkColor(attr::ToColor(value));
  } else if (name == u"disabledbkcolor") {
    SetDisabledBkColor(attr::ToColor(value));
  } else if (name == u"hottextcolor") {
    SetHotTextColor(attr::ToColor(value));
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

}  // namespace DuiLib
