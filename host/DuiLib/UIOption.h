#pragma once
// COptionUI: a button with a selected state (a check box, or a radio button when it has a
// group). A click sends "click", then selects it (in a group) or toggles it (alone). Selecting
// an option of a group deselects the others of the same group in the same tree first. Every
// change of the state sends "selectchanged" from the option whose state changed, unless the
// change is made with triggerEvent false.
#include "DuiLib/UIButton.h"

namespace DuiLib {

class COptionUI : public CButtonUI {
 public:
  std::u16string_view GetClass() const override;

  bool IsSelected() const { return m_bSelected; }
  virtual void Selected(bool selected, bool triggerEvent = true);
  const std::u16string& GetGroup() const { return m_sGroup; }
  void SetGroup(std::u16string_view group) { m_sGroup = group; }

  const std::u16string& GetSelectedImage() const { return m_sSelectedImage; }
  void SetSelectedImage(std::u16string_view image) { m_sSelectedImage = image; }
  DWORD GetSelectedBkColor() const { return m_dwSelectedBkColor; }
  void SetSelectedBkColor(DWORD color) { m_dwSelectedBkColor = color; }
  DWORD GetSelectedBkColor2() const { return m_dwSelectedBkColor2; }
  void SetSelectedBkColor2(DWORD color) { m_dwSelectedBkColor2 = color; }
  DWORD GetSelectedTextColor() const { return m_dwSelectedTextColor; }
  void SetSelectedTextColor(DWORD color) { m_dwSelectedTextColor = color; }

  bool Activate() override;
  void SetAttribute(std::u16string_view name, std::u16string_view value) override;

 private:
  bool m_bSelected = false;
  std::u16string m_sGroup;
  std::u16string m_sSelectedImage;
  DWORD m_dwSelectedBkColor = 0;
  DWORD m_dwSelectedBkColor2 = 0;
  DWORD m_dwSelectedTextColor = 0;
};

}  // namespace DuiLib
