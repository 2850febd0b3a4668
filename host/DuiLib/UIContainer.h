#pragma once
// CContainerUI: a control with children. It owns them: Remove and RemoveAll destroy what they
// take out (unless told not to, or SetAutoDestroy(false)), and so does its destructor. A child
// taken out while notifications are being delivered is destroyed when the delivery is over.
//
// Layout: the plain container gives every visible child its inner rectangle (its rectangle less
// the inset, less the child's padding), at the child's fixed size when it has one. The vertical
// and horizontal layouts stack their children instead. Float children are placed by their "pos".
//
// Scrolling (CListUI always, other containers with vscrollbar="true"): the children are laid out
// at their full heights and shifted up by the vertical scroll position, which stays between 0 and
// the scroll range (content height less the visible height). One line is the default font's line
// height plus 8 pixels.
#include <vector>

#include "DuiLib/UIControl.h"

namespace DuiLib {

class CContainerUI : public CControlUI {
 public:
  CContainerUI() = default;
  ~CContainerUI() override;

  std::u16string_view GetClass() const override;

  CControlUI* GetItemAt(int index) const;
  int GetItemIndex(CControlUI* control) const;  // -1 when not a child
  bool SetItemIndex(CControlUI* control, int index);
  int GetCount() const { return static_cast<int>(m_items.size()); }
  virtual bool Add(CControlUI* control);
  virtual bool AddAt(CControlUI* control, int index);
  virtual bool Remove(CControlUI* control, bool doNotDestroy = false);
  virtual bool RemoveAt(int index, bool doNotDestroy = false);
  virtual void RemoveAll();
  void SetAutoDestroy(bool on) { m_bAutoDestroy = on; }
  // First control with the name in this subtree.
  CControlUI* FindSubControl(std::u16string_view name);

  RECT GetInset() const;
  void SetInset(RECT inset);
  int GetChildPadding() const;
  void SetChildPadding(int padding);
  // Where children narrower (or lower) than the room they get sit: DT_LEFT/DT_CENTER/DT_RIGHT
  // across a vertical layout, DT_TOP/DT_VCENTER/DT_BOTTOM across a horizontal one.
  void SetChildAlign(UINT align);
  void SetChildVAlign(UINT align);

  // Vertical scrolling.
  void EnableScrollBar(bool vertical = true);
  bool IsScrollEnabled() const { return m_bScrollEnabled; }
  SIZE GetScrollPos() const;
  SIZE GetScrollRange() const;
  void SetScrollPos(SIZE pos);
  void LineUp();
  void LineDown();
  void PageUp();
  void PageDown();
  void HomeUp();
  void EndDown();

  void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
  void SetPos(RECT rc) override;
  void MoveBy(int dx, int dy) override;
  SIZE EstimateSize(SIZE available) override;
  void SetAttribute(std::u16string_view name, std::u16string_view value) override;

 protected:
  // The rectangle the children share: the control's rectangle less the inset.
  RECT InnerRect() const;
  // Stacks the children top to bottom (or left to right): fixed sizes first, the rest of the room
  // shared by the children without a size on that axis; then places the float children.
  void StackChildren(bool vertical);
  // Places the float children; every layout calls it after placing the others.
  void PlaceFloatChildren();
  // Stores the scroll range for a content height and shifts nothing; layouts call it.
  void SetContentHeight(int height, int visibleHeight);
  int ScrollOffset() const { return m_bScrollEnabled ? m_cyScroll : 0; }
  static bool TakesPart(const CControlUI* child) { return child->IsVisible() && !child->IsFloat(); }
  static int Clamp(int value, int low, int high);

  std::vector<CControlUI*> m_items;
  UINT m_uChildAlign = DT_LEFT;
  UINT m_uChildVAlign = DT_TOP;

 private:
  void Destroy(CControlUI* control);
  void ScrollBy(int dy);
  static int LineSize();
  int PageSize() const;

  RECT m_rcInset;
  int m_iChildPadding = 0;
  bool m_bAutoDestroy = true;
  bool m_bScrollEnabled = false;
  int m_cyScroll = 0;
  int m_cyScrollRange = 0;
};

}  // namespace DuiLib
