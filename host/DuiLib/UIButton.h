#pragma once
// CButtonUI: a label the user clicks: a click sends "click". Images and background colours for
// the normal, hot (mouse over), pushed and disabled looks ("normalimage", "hotimage",
// "pushedimage", "disabledimage", "hotbkcolor", "pushedbkcolor", "disabledbkcolor"). The text is
// centred by default.
#include "DuiLib/UILabel.h"

namespace DuiLib {

class CButtonUI : public CLabelUI {
 public:
  CButtonUI();
  std::u16string_view GetClass() const override;

  const std::u16string& GetNormalImage() const { return m_sNormalImage; }
  void SetNormalImage(std::u16string_view image) { m_sNormalImage = image; }
  const std::u16string& GetHotImage() const { return m_sHotImage; }
  void SetHotImage(std::u16string_view image) { m_sHotImage = image; }
  const std::u16string& GetPushedImage() const { return m_sPushedImage; }
  void SetPushedImage(std::u16string_view image) { m_sPushedImage = image; }
  const std::u16string& GetDisabledImage() const { return m_sDisabledImage; }
  void SetDisabledImage(std::u16string_view image) { m_sDisabledImage = image; }
  DWORD GetHotBkColor() const { return m_dwHotBkColor; }
  void SetHotBkColor(DWORD color) { m_dwHotBkColor = color; }
  DWORD GetPushedBkColor() const { return m_dwPushedBkColor; }
  void SetPushedBkColor(DWORD color) { m_dwPushedBkColor = color; }
  DWORD GetDisabledBkColor() const { return m_dwDisabledBkColor; }
  void SetDisabledBkColor(DWORD color) { m_dwDisabledBkColor = color; }
  DWORD GetHotTextColor() const { return m_dwHotTextColor; }
  void SetHotTextColor(DWORD color) { m_dwHotTextColor = color; }

  bool Activate() override;
  void SetAttribute(std::u16string_view name, std::u16string_view value) override;

 private:
  std::u16string m_sNormalImage;
  std::u16string m_sHotImage;
  std::u16string m_sPushedImage;
  std::u16string m_sDisabledImage;
  DWORD m_dwHotBkColor = 0;
  DWORD m_dwPushedBkColor = 0;
  DWORD m_dwDisabledBkColor = 0;
  DWORD m_dwHotTextColor = 0;
};

}  // namespace DuiLib
