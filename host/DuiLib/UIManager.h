#pragma once
// CPaintManagerUI: the heart of one window. It holds the window's root control (AttachDialog),
// finds controls by name, owns the controls' timers, lays the tree out, and sends notifications.
//
// Notifications (SendNotify): the sender's own subscribers (CControlUI::OnNotify) first, then
// every notifier of the window (AddNotifier) in the order they were added. A window's notifier is
// usually a CNotifyPump that hands the message to the page registered under its virtual window.
//
// Timers (SetTimer/KillTimer, by control and id) run on the UI message loop, so on its virtual
// clock in tests; each tick reaches the control as a "timer" notification with wParam = id. A
// timer ends with KillTimer, when its control leaves the window, or with the manager.
//
// Layout: any change that can move a control marks the layout out of date; the pass runs before
// a geometry question is answered (GetPos, scroll positions) and before the tree is rendered, and
// lays the root out in the window's client size (SetInitSize, or the layout file's Window size).
//
// Fonts: one table of the host's fonts, by index (GetFontInfo); see CRenderEngine for how text
// is measured.
//
// UI thread only: the thread that made the manager is its window's UI thread. A control in the
// window changed from another thread (or the manager's timers, notifications or layout used
// from one) is a fault the library catches: it is logged and counted (UIThreadViolations), so
// that tests can assert that none happened.
#include <cstdint>
#include <map>
#include <unordered_map>
#include <memory>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "DuiLib/UIControl.h"
#include "DuiLib/UIDefine.h"

namespace DuiLib {

class CWindowWnd;
using HWND = CWindowWnd*;

class INotifyUI {
 public:
  virtual ~INotifyUI() = default;
  virtual void Notify(TNotifyUI& msg) = 0;
};

class CPaintManagerUI {
 public:
  CPaintManagerUI();
  ~CPaintManagerUI();  // destroys the root and every control waiting for clean-up
  CPaintManagerUI(const CPaintManagerUI&) = delete;
  CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

  void Init(HWND window) { m_hWndPaint = window; }
  HWND GetPaintWindow() const { return m_hWndPaint; }

  // Makes `root` the window's tree (the manager then owns it); the previous root is destroyed.
  bool AttachDialog(CControlUI* root);
  CControlUI* GetRoot() const { return m_pRoot; }
  void SetInitSize(int cx, int cy);
  SIZE GetInitSize() const { return m_szInitSize; }

  // First control with the name in the window, depth first, parents before children. Found once
  // per name until the tree changes (TreeChanged), so looking up is not a walk of the window.
  CControlUI* FindControl(std::u16string_view name) const;
  // The topmost visible control under a point of the client area.
  CControlUI* FindControl(POINT pt) const;
  // First control with the name in `parent`'s subtree (`parent` itself included); works on trees
  // that are not in any window as well.
  CControlUI* FindSubControlByName(CControlUI* parent, std::u16string_view name) const;
  CControlUI* FindControlById(uint64_t id) const;

  bool SetTimer(CControlUI* control, UINT timerId, UINT elapse);
  bool KillTimer(CControlUI* control, UINT timerId);
  void KillTimer(CControlUI* control);  // every timer of the control
  void RemoveAllTimers();
  bool HasTimer(const CControlUI* control, UINT timerId) const;

  bool AddNotifier(INotifyUI* notifier);
  bool RemoveNotifier(INotifyUI* notifier);
  void SendNotify(TNotifyUI& msg);
  void SendNotify(CControlUI* control, std::u16string_view type, WPARAM wParam = 0, LPARAM lParam = 0);
  // Delivers an input or timer event to a control, inside one dispatch (see AddDelayedCleanup).
  void DeliverEvent(CControlUI* control, TEventUI& event);

  // A control taken out of the tree while notifications are being delivered is destroyed once
  // the outermost delivery returns, so that no handler is left holding a dead sender.
  void AddDelayedCleanup(CControlUI* control);
  bool IsDispatching() const { return m_nDispatchDepth > 0; }

  void NeedUpdate() { m_bUpdateNeeded = true; }
  bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
  // Runs the layout pass when the layout is out of date.
  void UpdateLayout();

  // Whether the caller is the window's UI thread; CheckUIThread reports it when it is not.
  bool IsUIThread() const { return std::this_thread::get_id() == m_uiThread; }
  void CheckUIThread(const char* what) const;

  static const TFontInfo& GetFontInfo(int index);
  // Line height of a font in pixels (scaled).
  static int GetFontHeight(int index);

  // Called by a control leaving this window: drops its timers.
  void ReapObjects(CControlUI* control);
  // Called when the window's tree changes shape (a control added, taken out, moved or renamed).
  void TreeChanged() { m_foundByName.clear(); }

 private:
  class DispatchScope;
  void FinishDispatch();

  const std::thread::id m_uiThread = std::this_thread::get_id();
  HWND m_hWndPaint = nullptr;
  CControlUI* m_pRoot = nullptr;
  SIZE m_szInitSize{800, 600};
  bool m_bUpdateNeeded = true;
  bool m_bInLayout = false;
  int m_iLayoutDpi = 0;  // the DPI of the last layout
  int m_nDispatchDepth = 0;
  std::vector<INotifyUI*> m_aNotifiers;
  std::vector<CControlUI*> m_aDelayedCleanup;
  std::map<std::pair<const CControlUI*, UINT>, uint64_t> m_timers;  // -> the loop's timer id
  mutable std::unordered_map<std::u16string, CControlUI*> m_foundByName;  // null: no such control
};

// How many times a window was touched off its UI thread in this process.
uint64_t UIThreadViolations();

}  // namespace DuiLib
