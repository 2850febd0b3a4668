#pragma once
// CControlUI: the base of every control. A control has a name, a text with its colour and font
// index, a tooltip, user data, the visible/enabled/mouse flags, fixed sizes, padding, a float
// position, background colours and image, a virtual-window name, and its place in the tree
// (parent, paint manager). Layout files set all of it through SetAttribute.
//
// Sizes are in 96-DPI units: SetFixedWidth(140) is 140 pixels at 96 DPI and 210 at 144; the
// getters (GetFixedWidth, GetPadding, GetPos, ...) answer in pixels. SetFixedWidthEx and
// SetFixedHeightEx take pixels as they are. GetPos is the rectangle of the last layout pass; a
// control in a window gets a fresh pass before it answers (see CPaintManagerUI::UpdateLayout).
//
// Every control has an id, unique in the process and never reused, that the JSON and HTML of the
// tree carry and the driver accepts. Controls live on the UI thread: one in a window changed from
// another thread is reported (see CPaintManagerUI::CheckUIThread).
#include <cstdint>
#include <string>
#include <string_view>

#include "DuiLib/UIDefine.h"
#include "DuiLib/UIDelegate.h"

namespace DuiLib {

class CPaintManagerUI;
class CContainerUI;

class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  uint64_t GetId() const { return m_id; }
  // The element name of the class in layout files ("Control", "Button", ...).
  virtual std::u16string_view GetClass() const;

  const std::u16string& GetName() const { return m_sName; }
  void SetName(std::u16string_view name);

  // Tree.
  CPaintManagerUI* GetManager() const { return m_pManager; }
  CControlUI* GetParent() const { return m_pParent; }
  // Attaches the control (and, for containers, its subtree) to a manager under a parent; a null
  // manager detaches it, which also ends its timers.
  virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent);

  // Text and its look. A text attribute of the form bind='KEY' is the localized text of KEY.
  virtual std::u16string GetText() const { return m_sText; }
  virtual void SetText(std::u16string_view text);
  DWORD GetTextColor() const { return m_dwTextColor; }
  void SetTextColor(DWORD color);
  DWORD GetDisabledTextColor() const { return m_dwDisabledTextColor; }
  void SetDisabledTextColor(DWORD color);
  int GetFont() const { return m_iFont; }  // -1: the default font
  void SetFont(int index);
  UINT GetTextStyle() const { return m_uTextStyle; }
  void SetTextStyle(UINT style);
  RECT GetTextPadding() const;
  void SetTextPadding(RECT padding);
  bool IsShowHtml() const { return m_bShowHtml; }
  void SetShowHtml(bool show);
  bool GetAutoCalcWidth() const { return m_bAutoCalcWidth; }
  void SetAutoCalcWidth(bool on);

  const std::u16string& GetToolTip() const { return m_sToolTip; }
  void SetToolTip(std::u16string_view text) {
    CheckUIThread();
    m_sToolTip = text;
  }
  const std::u16string& GetUserData() const { return m_sUserData; }
  void SetUserData(std::u16string_view text) {
    CheckUIThread();
    m_sUserData = text;
  }

  // Flags. IsVisible and IsEnabled are the control's own flags; whether the user can reach the
  // control also depends on its ancestors (see UIDriver).
  bool IsVisible() const { return m_bVisible; }
  virtual void SetVisible(bool visible = true);
  bool IsEnabled() const { return m_bEnabled; }
  virtual void SetEnabled(bool enabled = true);
  bool IsMouseEnabled() const { return m_bMouseEnabled; }
  void SetMouseEnabled(bool enabled = true);

  // Geometry.
  RECT GetPos() const;
  int GetX() const { return GetPos().left; }
  int GetY() const { return GetPos().top; }
  int GetWidth() const;
  int GetHeight() const;
  virtual void SetPos(RECT rc);  // called by the layout pass
  // The layout pass's shortcut for a control placed elsewhere whose layout is otherwise as it was:
  // it and what it lays out move by (dx, dy).
  virtual void MoveBy(int dx, int dy);
  RECT GetPadding() const;
  void SetPadding(RECT padding);
  int GetFixedWidth() const;
  int GetFixedHeight() const;
  void SetFixedWidth(int cx);
  void SetFixedHeight(int cy);
  void SetFixedWidthEx(int pixels);
  void SetFixedHeightEx(int pixels);
  int GetMinWidth() const;
  int GetMaxWidth() const;
  int GetMinHeight() const;
  int GetMaxHeight() const;
  void SetMinWidth(int cx);
  void SetMaxWidth(int cx);
  void SetMinHeight(int cy);
  void SetMaxHeight(int cy);
  // A float control stays out of its parent's flow; its "pos" attribute places it relative to the
  // parent's top-left corner. Without float, "pos" sets the fixed width and height.
  bool IsFloat() const { return m_bFloat; }
  void SetFloat(bool on = true);
  RECT GetFloatPos() const;  // pixels, relative to the parent

  // Size the control asks of its parent's layout; 0 for a side means "take what is left".
  virtual SIZE EstimateSize(SIZE available);

  // Background and border.
  DWORD GetBkColor() const { return m_dwBackColor; }
  void SetBkColor(DWORD color);
  DWORD GetBkColor2() const { return m_dwBackColor2; }  // vertical gradient to this colour
  void SetBkColor2(DWORD color);
  const std::u16string& GetBkImage() const { return m_sBkImage; }
  void SetBkImage(std::u16string_view image);
  DWORD GetBorderColor() const { return m_dwBorderColor; }
  void SetBorderColor(DWORD color);
  int GetBorderSize() const;
  void SetBorderSize(int size);
  int GetBorderRound() const;  // corner radius
  void SetBorderRound(int radius);

  // Virtual window: notifications from this control and its subtree carry the name of the
  // nearest one, so the window's pump hands them to the page registered under it.
  void SetVirtualWnd(std::u16string_view name) { m_sVirtualWnd = name; }
  std::u16string GetVirtualWnd() const;

  // Layout files: every attribute of an element goes through here.
  virtual void SetAttribute(std::u16string_view name, std::u16string_view value);

  // Input and timers, as the window delivers them (see UIDriver).
  virtual void DoEvent(TEventUI& event);
  // What a click does; false when the control does not react to clicks.
  virtual bool Activate();

  // Marks the window's layout as out of date: this control's, and its ancestors', which lay it out.
  void NeedUpdate();

  // Subscribers to this control's notifications (see UIDelegate.h).
  CEventSource OnNotify;

 protected:
  // Reports a change made off the UI thread of the control's window (none outside a window).
  void CheckUIThread() const;
  // Sends a notification from this control through its manager (nothing without one).
  void Notify(std::u16string_view type, WPARAM wParam = 0, LPARAM lParam = 0);
  // For a container's SetPos: true, the control moved to `rc` (MoveBy), when nothing in it changed
  // since its last layout and `rc` has the same size, so that a pass lays out only what changed.
  bool KeepsLayout(RECT rc);

  CPaintManagerUI* m_pManager = nullptr;
  CControlUI* m_pParent = nullptr;
  RECT m_rcItem;
  bool m_bLayoutStale = true;  // it, or a control inside it, changed since its last layout

 private:
  // What the layout attributes pos, align, valign and the text-style switches set.
  void SetFloatPos(RECT rc);
  void SetTextAlign(std::u16string_view align);
  void SetTextVAlign(std::u16string_view align);
  void SetTextStyleBits(UINT on, UINT off, bool set);

  uint64_t m_id;
  std::u16string m_sName;
  std::u16string m_sText;
  std::u16string m_sToolTip;
  std::u16string m_sUserData;
  std::u16string m_sVirtualWnd;
  std::u16string m_sBkImage;
  DWORD m_dwTextColor = 0;
  DWORD m_dwDisabledTextColor = 0;
  DWORD m_dwBackColor = 0;
  DWORD m_dwBackColor2 = 0;
  DWORD m_dwBorderColor = 0;
  int m_nBorderSize = 0;
  int m_nBorderRound = 0;
  int m_iFont = -1;
  UINT m_uTextStyle = DT_VCENTER | DT_SINGLELINE;
  RECT m_rcTextPadding;
  bool m_bShowHtml = false;
  bool m_bAutoCalcWidth = false;
  bool m_bVisible = true;
  bool m_bEnabled = true;
  bool m_bMouseEnabled = true;
  bool m_bFloat = false;
  RECT m_rcPadding;
  RECT m_rcFloatPos;
  int m_cxFixed = 0;
  int m_cyFixed = 0;
  bool m_bFixedWidthInPixels = false;
  bool m_bFixedHeightInPixels = false;
  int m_cxMin = 0;
  int m_cxMax = 9999;
  int m_cyMin = 0;
  int m_cyMax = 9999;
};

}  // namespace DuiLib
