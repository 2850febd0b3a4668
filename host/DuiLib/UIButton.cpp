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
  using Value = std::u16string_view;
  static constexpr attr::Setter<CButtonUI> kAttributes[] = {
      {u"normalimage", [](CButtonUI& c, Value v) { c.SetNormalImage(v); }},
      {u"hotimage", [](CButtonUI& c, Value v) { c.SetHotImage(v); }},
      {u"pushedimage", [](CButtonUI& c, Value v) { c.SetPushedImage(v); }},
      {u"disabledimage", [](CButtonUI& c, Value v) { c.SetDisabledImage(v); }},
      {u"hotbkcolor", [](CButtonUI& c, Value v) { c.SetHotBkColor(attr::ToColor(v)); }},
      {u"pushedbkcolor", [](CButtonUI& c, Value v) { c.SetPushedBkColor(attr::ToColor(v)); }},
      {u"disabledbkcolor", [](CButtonUI& c, Value v) { c.SetDisabledBkColor(attr::ToColor(v)); }},
      {u"hottextcolor", [](CButtonUI& c, Value v) { c.SetHotTextColor(attr::ToColor(v)); }},
  };
  if (!attr::Apply(kAttributes, *this, name, value)) CLabelUI::SetAttribute(name, value);
}

}  // namespace DuiLib
