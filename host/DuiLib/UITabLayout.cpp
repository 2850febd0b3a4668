#include "DuiLib/UITabLayout.h"

#include "DuiLib/UIManager.h"

namespace DuiLib {

std::u16string_view CTabLayoutUI::GetClass() const { return u"TabLayout"; }

bool CTabLayoutUI::SelectItem(int index, bool triggerEvent) {
  if (index < 0 || index >= GetCount()) return false;
  if (index == m_iCurSel) return true;
  const int previous = m_iCurSel;
  m_iCurSel = index;
  ShowOnly(index);
  if (triggerEvent && m_pManager) {
    m_pManager->SendNotify(GetItemAt(index), DUI_MSGTYPE_TABSELECTIN, static_cast<WPARAM>(index), previous);
  }
  return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* control, bool triggerEvent) {
  return SelectItem(GetItemIndex(control), triggerEvent);
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
  if (!CContainerUI::AddAt(control, index)) return false;
  if (m_iCurSel < 0) {
    m_iCurSel = index;
  } else if (index <= m_iCurSel) {
    ++m_iCurSel;
  }
  ShowOnly(m_iCurSel);
  return true;
}

bool CTabLayoutUI::RemoveAt(int index, bool doNotDestroy) {
  if (!CContainerUI::RemoveAt(index, doNotDestroy)) return false;
  if (index < m_iCurSel) {
    --m_iCurSel;
  } else if (index == m_iCurSel) {
    m_iCurSel = GetCount() > 0 ? 0 : -1;
  }
  ShowOnly(m_iCurSel);
  return true;
}

void CTabLayoutUI::RemoveAll() {
  CContainerUI::RemoveAll();
  m_iCurSel = -1;
}

void CTabLayoutUI::ShowOnly(int index) {
  for (int i = 0; i < GetCount(); ++i) GetItemAt(i)->SetVisible(i == index);
}

}  // namespace DuiLib
