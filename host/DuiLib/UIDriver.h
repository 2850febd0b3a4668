#pragma once
// UIDriver: acts as the user on one window, as the host delivers input. Each action produces the
// notifications a window would send for it, in the same order, on the calling thread, which must
// be the UI thread (from another thread, post the action with UIMainQueue::dispatch):
//
//   Click        button: "click"; option: "click", then "selectchanged" from every option whose
//                state changes (the others of its group first); anything else: nothing
//   Tick         an option into the given state by clicking it (nothing when already there)
//   DoubleClick  a list item: "itemactivate"
//   MouseEnter/MouseLeave  "mouseenter" / "mouseleave"
//   Scroll       the list (or scrolling container) at or around a control, by pixels; no
//                notification
//   FollowLink   the N-th link of a text: "link" with wParam N
//   Advance      the UI loop's virtual clock: timers fall due ("timer" notifications) and the
//                tasks they post run
//
// A control the user cannot reach gets nothing and the action returns false: one that is not in
// the window, hidden, disabled or not taking mouse input, or under a hidden or disabled ancestor
// (a tab page that is not selected is hidden). Controls are named by pointer, by name (the first
// match in the window, or in a subtree, as FindSubControlByName) or by id (CControlUI::GetId, the
// "id" of the JSON and the data-id of the HTML).
#include <chrono>
#include <cstdint>
#include <string_view>

#include "DuiLib/UIManager.h"

namespace DuiLib {

class UIDriver {
 public:
  explicit UIDriver(CPaintManagerUI& manager) : m_manager(manager) {}

  CControlUI* Find(std::u16string_view name) const;
  CControlUI* Find(CControlUI* subtree, std::u16string_view name) const;
  CControlUI* FindById(uint64_t id) const;
  // Whether the user can reach the control with the mouse (see above).
  bool IsReachable(const CControlUI* control) const;

  bool Click(CControlUI* control);
  bool Click(std::u16string_view name) { return Click(Find(name)); }
  bool ClickId(uint64_t id) { return Click(FindById(id)); }
  bool Tick(CControlUI* option, bool selected);
  bool DoubleClick(CControlUI* control);
  bool MouseEnter(CControlUI* control);
  bool MouseLeave(CControlUI* control);
  bool Scroll(CControlUI* control, int dy);
  bool FollowLink(CControlUI* text, int index = 0);

  // Moves the UI loop's virtual clock (switch it on with UIMessageLoop::UseVirtualClock).
  void Advance(std::chrono::milliseconds delta);
  // Runs what is queued on the UI loop; returns the number of tasks and timer ticks run.
  size_t RunPending();

 private:
  bool Deliver(CControlUI* control, UIEventType type, WPARAM wParam = 0);
  bool IsShown(const CControlUI* control) const;

  CPaintManagerUI& m_manager;
};

}  // namespace DuiLib
