#pragma once
// CTabLayoutUI: shows one of its children at a time, in its whole inner rectangle. The first
// child added is selected; later ones are hidden. SelectItem shows the chosen child, hides the
// others, and sends "tabselectin" from the child that comes in (wParam its index, lParam the
// previous one); selecting the current child again does nothing.
#include "DuiLib/UIContainer.h"

namespace DuiLib {

class CTabLayoutUI : public CContainerUI {
 public:
  std::u16string_view GetClass() const override;

  int GetCurSel() const { return m_iCurSel; }
  bool SelectItem(int index, bool triggerEvent = true);
  bool SelectItem(CControlUI* control, bool triggerEvent = true);

  bool AddAt(CControlUI* control, int index) override;
  bool RemoveAt(int index, bool doNotDestroy = false) override;
  void RemoveAll() override;

 private:
  void ShowOnly(int index);

  int m_iCurSel = -1;
};

}  // namespace DuiLib
