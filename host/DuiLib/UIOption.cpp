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
  if (name == u"group") {
    SetGroup(value);
  } else if (name == u"selected") {
    Selected(attr::ToBool(value), false);
  } else if (name == u"selectedimage") {
    SetSelectedImage(value);
  } else if (name == u"selectedbkcolor") {
    SetSelectedBkColor(attr::ToColor(value));
  } else if (name == u"selectedbkcolor2") {
    SetSelectedBkColor2(attr::ToColor(value));
  } else if (name == u"selectedtextcolor") {
    SetSelectedTextColor(attr::ToColor(value));
  } else {
    CButtonUI::SetAttribute(name, value);
  }
}

}  // namespace DuiLib
