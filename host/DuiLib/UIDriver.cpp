#include "DuiLib/UIDriver.h"

#include "DuiLib/UIContainer.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UIOption.h"
#include "DuiLib/UIText.h"
#include "DuiLib/UITree.h"

namespace DuiLib {

CControlUI* UIDriver::Find(std::u16string_view name) const { return m_manager.FindControl(name); }

CControlUI* UIDriver::Find(CControlUI* subtree, std::u16string_view name) const {
  return m_manager.FindSubControlByName(subtree, name);
}

CControlUI* UIDriver::FindById(uint64_t id) const { return m_manager.FindControlById(id); }

bool UIDriver::IsShown(const CControlUI* control) const {
  if (!control || !IsInTree(m_manager.GetRoot(), control)) return false;
  for (const CControlUI* c = control; c; c = c->GetParent()) {
    if (!c->IsVisible() || !c->IsEnabled()) return false;
  }
  return true;
}

bool UIDriver::IsReachable(const CControlUI* control) const { return IsShown(control) && control->IsMouseEnabled(); }

bool UIDriver::Deliver(CControlUI* control, UIEventType type, WPARAM wParam) {
  if (!IsReachable(control)) return false;
  TEventUI event{type, wParam};
  m_manager.DeliverEvent(control, event);
  return true;
}

bool UIDriver::Click(CControlUI* control) { return Deliver(control, UIEventType::Click); }

bool UIDriver::Tick(CControlUI* option, bool selected) {
  auto* o = dynamic_cast<COptionUI*>(option);
  if (!o || !IsReachable(o)) return false;
  return o->IsSelected() == selected || Click(o);
}

bool UIDriver::DoubleClick(CControlUI* control) {
  if (!control || !dynamic_cast<CListUI*>(control->GetParent())) return false;
  return Deliver(control, UIEventType::DoubleClick);
}

bool UIDriver::MouseEnter(CControlUI* control) { return Deliver(control, UIEventType::MouseEnter); }

bool UIDriver::MouseLeave(CControlUI* control) { return Deliver(control, UIEventType::MouseLeave); }

bool UIDriver::Scroll(CControlUI* control, int dy) {
  if (!IsShown(control)) return false;
  for (CControlUI* c = control; c; c = c->GetParent()) {
    auto* container = dynamic_cast<CContainerUI*>(c);
    if (!container || !container->IsScrollEnabled()) continue;
    const SIZE pos = container->GetScrollPos();
    container->SetScrollPos(SIZE{pos.cx, pos.cy + dy});
    return true;
  }
  return false;
}

bool UIDriver::FollowLink(CControlUI* text, int index) {
  auto* t = dynamic_cast<CTextUI*>(text);
  if (!t || index < 0 || index >= t->GetLinkCount()) return false;
  return Deliver(t, UIEventType::Link, static_cast<WPARAM>(index));
}

void UIDriver::Advance(std::chrono::milliseconds delta) { UIMessageLoop::Instance().AdvanceBy(delta); }

size_t UIDriver::RunPending() { return UIMessageLoop::Instance().RunUntilIdle(); }

}  // namespace DuiLib
