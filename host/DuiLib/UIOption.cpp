#include "DuiLib/UIOption.h"

#include <vector>

#include "DuiLib/UIAttribute.h"
#include "DuiLib/UITree.h"

namespace DuiLib {
namespace {

CControlUI* TopOf(CControlUI* control) {
  while (control->GetParent()) control = control->GetParent();
  return control;
}

}  // namespace

std::u16string_view COptionUI::GetClass() const { return u"Option"; }

void COptionUI::Selected(bool selected, bool triggerEvent) {
  CheckUIThread();
  if (m_bSelected == selected) return;
  if (selected && !m_sGroup.empty()) {
    std::vector<COptionUI*> others;
    FindInTree(TopOf(this), [&](CControlUI* c) {
      auto* option = dynamic_cast<COptionUI*>(c);
      if (option && option != this && option->m_bSelected && option->m_sGroup == m_sGroup) others.push_back(option);
      return false;
    });
    for (COptionUI* other : others) other->Selected(false, triggerEvent);
  }
  m_bSelected = selected;
  if (triggerEvent) Notify(DUI_MSGTYPE_SELECTCHANGED);
}

bool COptionUI::Activate() {
  if (!CButtonUI::Activate()) return false;
  Selected(m_sGroup.empty() ? !m_bSelected : true);
  return true;
}

void COptionUI::SetAttribute(std::u16string_view name, std::u16string_view value) {
  using Value = std::u16string_view;
  static constexpr attr::Setter<COptionUI> kAttributes[] = {
      {u"group", [](COptionUI& c, Value v) { c.SetGroup(v); }},
      {u"selected", [](COptionUI& c, Value v) { c.Selected(attr::ToBool(v), false); }},
      {u"selectedimage", [](COptionUI& c, Value v) { c.SetSelectedImage(v); }},
      {u"selectedbkcolor", [](COptionUI& c, Value v) { c.SetSelectedBkColor(attr::ToColor(v)); }},
      {u"selectedbkcolor2", [](COptionUI& c, Value v) { c.SetSelectedBkColor2(attr::ToColor(v)); }},
      {u"selectedtextcolor", [](COptionUI& c, Value v) { c.SetSelectedTextColor(attr::ToColor(v)); }},
  };
  if (!attr::Apply(kAttributes, *this, name, value)) CButtonUI::SetAttribute(name, value);
}

}  // namespace DuiLib
