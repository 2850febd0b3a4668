#include "DuiLib/UIContainer.h"

#include <algorithm>

#include "DuiLib/UIAttribute.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIResourceManager.h"
#include "DuiLib/UITree.h"

namespace DuiLib {

CContainerUI::~CContainerUI() {
  const std::vector<CControlUI*> items = std::move(m_items);
  m_items.clear();
  if (!m_bAutoDestroy) {
    for (CControlUI* item : items) item->SetManager(nullptr, nullptr);
    return;
  }
  for (CControlUI* item : items) delete item;
}

std::u16string_view CContainerUI::GetClass() const { return u"Container"; }

CControlUI* CContainerUI::GetItemAt(int index) const {
  return index >= 0 && index < GetCount() ? m_items[static_cast<size_t>(index)] : nullptr;
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
  const auto it = std::find(m_items.begin(), m_items.end(), control);
  return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

bool CContainerUI::SetItemIndex(CControlUI* control, int index) {
  const int from = GetItemIndex(control);
  if (from < 0 || index < 0 || index >= GetCount()) return false;
  m_items.erase(m_items.begin() + from);
  m_items.insert(m_items.begin() + index, control);
  if (m_pManager) m_pManager->TreeChanged();
  NeedUpdate();
  return true;
}

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
  if (!control || control == this || control->GetParent() || index < 0 || index > GetCount()) return false;
  m_items.insert(m_items.begin() + index, control);
  control->SetManager(m_pManager, this);
  NeedUpdate();
  return true;
}

bool CContainerUI::Remove(CControlUI* control, bool doNotDestroy) {
  const int index = GetItemIndex(control);
  return index >= 0 && RemoveAt(index, doNotDestroy);
}

bool CContainerUI::RemoveAt(int index, bool doNotDestroy) {
  CControlUI* control = GetItemAt(index);
  if (!control) return false;
  m_items.erase(m_items.begin() + index);
  NeedUpdate();
  if (doNotDestroy || !m_bAutoDestroy) {
    control->SetManager(nullptr, nullptr);
  } else {
    Destroy(control);
  }
  return true;
}

void CContainerUI::RemoveAll() {
  std::vector<CControlUI*> items = std::move(m_items);
  m_items.clear();
  NeedUpdate();
  for (CControlUI* item : items) {
    if (m_bAutoDestroy) {
      Destroy(item);
    } else {
      item->SetManager(nullptr, nullptr);
    }
  }
  m_cyScroll = 0;
}

void CContainerUI::Destroy(CControlUI* control) {
  if (m_pManager && m_pManager->IsDispatching()) {
    m_pManager->AddDelayedCleanup(control);
  } else {
    delete control;
  }
}

CControlUI* CContainerUI::FindSubControl(std::u16string_view name) {
  return FindInTree(this, [name](CControlUI* c) { return c->GetName() == name; });
}

RECT CContainerUI::GetInset() const {
  return RECT{CResourceManager::Scale(m_rcInset.left), CResourceManager::Scale(m_rcInset.top),
              CResourceManager::Scale(m_rcInset.right), CResourceManager::Scale(m_rcInset.bottom)};
}

void CContainerUI::SetInset(RECT inset) {
  m_rcInset = inset;
  NeedUpdate();
}

int CContainerUI::GetChildPadding() const { return CResourceManager::Scale(m_iChildPadding); }

void CContainerUI::SetChildPadding(int padding) {
  m_iChildPadding = padding;
  NeedUpdate();
}

void CContainerUI::SetChildAlign(UINT align) {
  m_uChildAlign = align;
  NeedUpdate();
}

void CContainerUI::SetChildVAlign(UINT align) {
  m_uChildVAlign = align;
  NeedUpdate();
}

void CContainerUI::EnableScrollBar(bool vertical) {
  m_bScrollEnabled = vertical;
  NeedUpdate();
}

SIZE CContainerUI::GetScrollPos() const {
  if (m_pManager) m_pManager->UpdateLayout();
  return SIZE{0, ScrollOffset()};
}

SIZE CContainerUI::GetScrollRange() const {
  if (m_pManager) m_pManager->UpdateLayout();
  return SIZE{0, m_bScrollEnabled ? m_cyScrollRange : 0};
}

void CContainerUI::SetScrollPos(SIZE pos) {
  if (!m_bScrollEnabled) return;
  if (m_pManager) m_pManager->UpdateLayout();
  const int y = Clamp(pos.cy, 0, m_cyScrollRange);
  if (y == m_cyScroll) return;
  m_cyScroll = y;
  NeedUpdate();
}

void CContainerUI::ScrollBy(int dy) { SetScrollPos(SIZE{0, GetScrollPos().cy + dy}); }

int CContainerUI::LineSize() { return CPaintManagerUI::GetFontHeight(-1) + 8; }

int CContainerUI::PageSize() const {
  const RECT inner = InnerRect();
  return inner.bottom - inner.top;
}

void CContainerUI::LineUp() { ScrollBy(-LineSize()); }
void CContainerUI::LineDown() { ScrollBy(LineSize()); }
void CContainerUI::PageUp() { ScrollBy(-PageSize()); }
void CContainerUI::PageDown() { ScrollBy(PageSize()); }
void CContainerUI::HomeUp() { SetScrollPos(SIZE{0, 0}); }
void CContainerUI::EndDown() { SetScrollPos(SIZE{0, GetScrollRange().cy}); }

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
  CControlUI::SetManager(manager, parent);
  for (CControlUI* item : m_items) item->SetManager(manager, this);
}

RECT CContainerUI::InnerRect() const {
  const RECT inset = GetInset();
  return RECT{m_rcItem.left + inset.left, m_rcItem.top + inset.top, m_rcItem.right - inset.right,
              m_rcItem.bottom - inset.bottom};
}

int CContainerUI::Clamp(int value, int low, int high) { return std::max(low, std::min(value, std::max(low, high))); }

void CContainerUI::SetContentHeight(int height, int visibleHeight) {
  m_cyScrollRange = std::max(0, height - visibleHeight);
  const int scroll = Clamp(m_cyScroll, 0, m_cyScrollRange);
  // Its children stand where the old position put them: the next pass places them again.
  if (scroll != m_cyScroll) m_bLayoutStale = true;
  m_cyScroll = scroll;
}

void CContainerUI::MoveBy(int dx, int dy) {
  CControlUI::MoveBy(dx, dy);
  for (CControlUI* child : m_items) {
    if (child->IsVisible()) child->MoveBy(dx, dy);  // those the layout placed, in the flow or floating
  }
}

void CContainerUI::SetPos(RECT rc) {
  if (KeepsLayout(rc)) return;
  CControlUI::SetPos(rc);
  const RECT inner = InnerRect();
  int contentHeight = 0;
  for (CControlUI* child : m_items) {
    if (!TakesPart(child)) continue;
    const RECT p = child->GetPadding();
    RECT box{inner.left + p.left, inner.top + p.top, inner.right - p.right, inner.bottom - p.bottom};
    const SIZE size = child->EstimateSize(SIZE{box.right - box.left, box.bottom - box.top});
    if (size.cx > 0) box.right = box.left + Clamp(size.cx, child->GetMinWidth(), child->GetMaxWidth());
    if (size.cy > 0) box.bottom = box.top + Clamp(size.cy, child->GetMinHeight(), child->GetMaxHeight());
    contentHeight = std::max(contentHeight, box.bottom - inner.top + p.bottom);
    box.top -= ScrollOffset();
    box.bottom -= ScrollOffset();
    child->SetPos(box);
  }
  SetContentHeight(contentHeight, inner.bottom - inner.top);
  PlaceFloatChildren();
}

namespace {

// One axis of a rectangle: start and size along it.
struct Span {
  int start;
  int size;
};

Span Along(const RECT& rc, bool vertical) {
  return vertical ? Span{rc.top, rc.bottom - rc.top} : Span{rc.left, rc.right - rc.left};
}

// Offset of a child of size `size` in `room` for an alignment (start, centre, end).
int AlignOffset(int room, int size, bool centre, bool end) {
  if (centre) return (room - size) / 2;
  if (end) return room - size;
  return 0;
}

}  // namespace

void CContainerUI::StackChildren(bool vertical) {
  struct Slot {
    CControlUI* child;
    int main;  // 0: takes a share of what is left
    int cross;
    RECT padding;
  };
  const RECT inner = InnerRect();
  const Span mainRoom = Along(inner, vertical);
  const Span crossRoom = Along(inner, !vertical);
  const bool scrolling = vertical && m_bScrollEnabled;
  const auto minMain = [vertical](CControlUI* c) { return vertical ? c->GetMinHeight() : c->GetMinWidth(); };
  const auto maxMain = [vertical](CControlUI* c) { return vertical ? c->GetMaxHeight() : c->GetMaxWidth(); };

  std::vector<Slot> slots;
  int used = 0;
  int sharing = 0;
  for (CControlUI* child : m_items) {
    if (!TakesPart(child)) continue;
    const RECT p = child->GetPadding();
    const SIZE size = child->EstimateSize(SIZE{inner.right - inner.left, inner.bottom - inner.top});
    Slot slot{child, vertical ? size.cy : size.cx, vertical ? size.cx : size.cy, p};
    if (slot.main > 0) {
      slot.main = Clamp(slot.main, minMain(child), maxMain(child));
      used += slot.main;
    } else {
      ++sharing;
      used += minMain(child);
    }
    used += vertical ? p.top + p.bottom : p.left + p.right;
    slots.push_back(slot);
  }
  if (!slots.empty()) used += GetChildPadding() * static_cast<int>(slots.size() - 1);
  const int left = scrolling ? 0 : std::max(0, mainRoom.size - used);
  const int share = sharing ? left / sharing : 0;
  int remainder = sharing ? left % sharing : 0;

  int pos = mainRoom.start - (scrolling ? m_cyScroll : 0);
  const int first = pos;
  for (const Slot& slot : slots) {
    CControlUI* child = slot.child;
    int main = slot.main;
    if (main == 0) {
      main = minMain(child) + share;
      if (--sharing == 0) main += remainder;
      main = Clamp(main, minMain(child), maxMain(child));
    }
    const int padStart = vertical ? slot.padding.top : slot.padding.left;
    const int padEnd = vertical ? slot.padding.bottom : slot.padding.right;
    const int crossPadStart = vertical ? slot.padding.left : slot.padding.top;
    const int crossPadEnd = vertical ? slot.padding.right : slot.padding.bottom;
    const int room = crossRoom.size - crossPadStart - crossPadEnd;
    const int crossMin = vertical ? child->GetMinWidth() : child->GetMinHeight();
    const int crossMax = vertical ? child->GetMaxWidth() : child->GetMaxHeight();
    const int cross = Clamp(slot.cross > 0 ? slot.cross : room, crossMin, crossMax);
    const UINT align = vertical ? m_uChildAlign : m_uChildVAlign;
    const int crossStart = crossRoom.start + crossPadStart +
                           AlignOffset(room, cross, (align & (DT_CENTER | DT_VCENTER)) != 0,
                                       (align & (DT_RIGHT | DT_BOTTOM)) != 0);
    pos += padStart;
    child->SetPos(vertical ? RECT{crossStart, pos, crossStart + cross, pos + main}
                           : RECT{pos, crossStart, pos + main, crossStart + cross});
    pos += main + padEnd + GetChildPadding();
  }
  const int content = slots.empty() ? 0 : pos - GetChildPadding() - first;
  SetContentHeight(scrolling ? content : 0, mainRoom.size);
  PlaceFloatChildren();
}

void CContainerUI::PlaceFloatChildren() {
  for (CControlUI* child : m_items) {
    if (!child->IsVisible() || !child->IsFloat()) continue;
    const RECT pos = child->GetFloatPos();
    child->SetPos(RECT{m_rcItem.left + pos.left, m_rcItem.top + pos.top, m_rcItem.left + pos.right,
                       m_rcItem.top + pos.bottom});
  }
}

SIZE CContainerUI::EstimateSize(SIZE) { return SIZE{GetFixedWidth(), GetFixedHeight()}; }

void CContainerUI::SetAttribute(std::u16string_view name, std::u16string_view value) {
  using Value = std::u16string_view;
  static constexpr attr::Setter<CContainerUI> kAttributes[] = {
      {u"inset", [](CContainerUI& c, Value v) { c.SetInset(attr::ToRect(v)); }},
      {u"childpadding", [](CContainerUI& c, Value v) { c.SetChildPadding(attr::ToInt(v)); }},
      {u"childalign", [](CContainerUI& c, Value v) { c.SetChildAlign(v == u"center" ? DT_CENTER : v == u"right" ? DT_RIGHT : DT_LEFT); }},
      {u"childvalign", [](CContainerUI& c, Value v) { c.SetChildVAlign(v == u"vcenter" || v == u"center" ? DT_VCENTER : v == u"bottom" ? DT_BOTTOM : DT_TOP); }},
      {u"vscrollbar", [](CContainerUI& c, Value v) { c.EnableScrollBar(attr::ToBool(v)); }},
  };
  if (!attr::Apply(kAttributes, *this, name, value)) CControlUI::SetAttribute(name, value);
}

}  // namespace DuiLib
