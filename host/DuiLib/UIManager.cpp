#include "DuiLib/UIManager.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <string>

#include "DuiLib/UIContainer.h"
#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UIResourceManager.h"
#include "DuiLib/UITree.h"
#include "utility/Logger.h"

namespace DuiLib {
namespace {

// The host's fonts, by index. Indexes without an entry, and -1, are font 0.
struct FontEntry {
  int index;
  TFontInfo font;
};

constexpr std::array<FontEntry, 12> kFonts{{
    {0, {12, false}},   // body text
    {1, {12, true}},    //
    {2, {13, false}},   //
    {3, {14, true}},    // item names
    {4, {14, false}},   //
    {5, {16, true}},    // dialog titles
    {6, {18, true}},    //
    {7, {20, true}},    // page titles
    {8, {10, false}},   // small labels under the day bars
    {11, {12, false}},  // a category's verdict text
    {16, {12, false}},  // a category's summary
    {105, {12, false}}, // check names in the titles
}};

std::atomic<uint64_t> g_uiThreadViolations{0};

}  // namespace

uint64_t UIThreadViolations() { return g_uiThreadViolations.load(); }

void CPaintManagerUI::CheckUIThread(const char* what) const {
  if (IsUIThread()) return;
  ++g_uiThreadViolations;
  hostlog::Error(std::string(what) + " off the UI thread", "DuiLib::CPaintManagerUI::CheckUIThread", "UIManager",
                 __LINE__, __PRETTY_FUNCTION__);
}

// Counts nested deliveries; the outermost one ends with the delayed clean-up.
class CPaintManagerUI::DispatchScope {
 public:
  explicit DispatchScope(CPaintManagerUI& manager) : manager_(manager) { ++manager_.m_nDispatchDepth; }
  ~DispatchScope() {
    if (--manager_.m_nDispatchDepth == 0) manager_.FinishDispatch();
  }
  DispatchScope(const DispatchScope&) = delete;
  DispatchScope& operator=(const DispatchScope&) = delete;

 private:
  CPaintManagerUI& manager_;
};

CPaintManagerUI::CPaintManagerUI() = default;

CPaintManagerUI::~CPaintManagerUI() {
  RemoveAllTimers();
  delete m_pRoot;
  m_pRoot = nullptr;
  for (CControlUI* control : m_aDelayedCleanup) delete control;
  m_aDelayedCleanup.clear();
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
  if (!root || root == m_pRoot) return false;
  if (m_pRoot) {
    CControlUI* old = m_pRoot;
    m_pRoot = nullptr;
    if (IsDispatching()) {
      AddDelayedCleanup(old);
    } else {
      delete old;
    }
  }
  m_pRoot = root;
  root->SetManager(this, nullptr);
  NeedUpdate();
  return true;
}

void CPaintManagerUI::SetInitSize(int cx, int cy) {
  m_szInitSize = SIZE{std::max(cx, 0), std::max(cy, 0)};
  NeedUpdate();
}

CControlUI* CPaintManagerUI::FindControl(std::u16string_view name) const {
  const std::u16string key(name);
  if (const auto it = m_foundByName.find(key); it != m_foundByName.end()) return it->second;
  CControlUI* found = FindSubControlByName(m_pRoot, name);
  m_foundByName.emplace(key, found);
  return found;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
  const_cast<CPaintManagerUI*>(this)->UpdateLayout();
  // The last visible control (in drawing order) whose rectangle holds the point, inside visible
  // ancestors whose rectangles hold it too.
  CControlUI* hit = nullptr;
  std::function<void(CControlUI*)> visit = [&](CControlUI* c) {
    if (!c->IsVisible()) return;
    const RECT rc = c->GetPos();
    if (pt.x < rc.left || pt.x >= rc.right || pt.y < rc.top || pt.y >= rc.bottom) return;
    hit = c;
    if (auto* container = dynamic_cast<CContainerUI*>(c)) {
      for (int i = 0; i < container->GetCount(); ++i) visit(container->GetItemAt(i));
    }
  };
  if (m_pRoot) visit(m_pRoot);
  return hit;
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, std::u16string_view name) const {
  if (name.empty()) return nullptr;
  return FindInTree(parent, [name](CControlUI* c) { return c->GetName() == name; });
}

CControlUI* CPaintManagerUI::FindControlById(uint64_t id) const {
  return FindInTree(m_pRoot, [id](CControlUI* c) { return c->GetId() == id; });
}

bool CPaintManagerUI::SetTimer(CControlUI* control, UINT timerId, UINT elapse) {
  CheckUIThread("a timer set");
  if (!control || control->GetManager() != this) return false;
  KillTimer(control, timerId);
  const uint64_t loopId = UIMessageLoop::Instance().SetTimer(std::chrono::milliseconds(elapse), [this, control, timerId] {
    TEventUI event{UIEventType::Timer, timerId};
    DeliverEvent(control, event);
  });
  m_timers[{control, timerId}] = loopId;
  return loopId != 0;
}

bool CPaintManagerUI::KillTimer(CControlUI* control, UINT timerId) {
  CheckUIThread("a timer killed");
  const auto it = m_timers.find({control, timerId});
  if (it == m_timers.end()) return false;
  UIMessageLoop::Instance().KillTimer(it->second);
  m_timers.erase(it);
  return true;
}

void CPaintManagerUI::KillTimer(CControlUI* control) {
  for (auto it = m_timers.begin(); it != m_timers.end();) {
    if (it->first.first == control) {
      UIMessageLoop::Instance().KillTimer(it->second);
      it = m_timers.erase(it);
    } else {
      ++it;
    }
  }
}

void CPaintManagerUI::RemoveAllTimers() {
  for (const auto& [key, loopId] : m_timers) UIMessageLoop::Instance().KillTimer(loopId);
  m_timers.clear();
}

bool CPaintManagerUI::HasTimer(const CControlUI* control, UINT timerId) const {
  return m_timers.count({control, timerId}) != 0;
}

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
  if (!notifier || std::find(m_aNotifiers.begin(), m_aNotifiers.end(), notifier) != m_aNotifiers.end()) return false;
  m_aNotifiers.push_back(notifier);
  return true;
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
  const auto it = std::find(m_aNotifiers.begin(), m_aNotifiers.end(), notifier);
  if (it == m_aNotifiers.end()) return false;
  m_aNotifiers.erase(it);
  return true;
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg) {
  CheckUIThread("a notification sent");
  DispatchScope scope(*this);
  const auto now = UIMessageLoop::Instance().Now().time_since_epoch();
  msg.dwTimestamp = static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  if (msg.pSender) {
    msg.sVirtualWnd = msg.pSender->GetVirtualWnd();
    msg.pSender->OnNotify(msg);
  }
  const std::vector<INotifyUI*> notifiers = m_aNotifiers;  // a notifier may remove itself
  for (INotifyUI* notifier : notifiers) {
    if (std::find(m_aNotifiers.begin(), m_aNotifiers.end(), notifier) != m_aNotifiers.end()) notifier->Notify(msg);
  }
}

void CPaintManagerUI::SendNotify(CControlUI* control, std::u16string_view type, WPARAM wParam, LPARAM lParam) {
  TNotifyUI msg;
  msg.sType = type;
  msg.pSender = control;
  msg.wParam = wParam;
  msg.lParam = lParam;
  SendNotify(msg);
}

void CPaintManagerUI::DeliverEvent(CControlUI* control, TEventUI& event) {
  DispatchScope scope(*this);
  control->DoEvent(event);
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* control) {
  if (!control) return;
  control->SetManager(nullptr, nullptr);
  m_aDelayedCleanup.push_back(control);
}

void CPaintManagerUI::FinishDispatch() {
  while (!m_aDelayedCleanup.empty()) {
    std::vector<CControlUI*> dead = std::move(m_aDelayedCleanup);
    m_aDelayedCleanup.clear();
    for (CControlUI* control : dead) delete control;
  }
}

void CPaintManagerUI::UpdateLayout() {
  CheckUIThread("the layout asked for");
  if (!m_bUpdateNeeded || m_bInLayout || !m_pRoot) return;
  m_bInLayout = true;
  // Sizes are scaled for the screen: another DPI changes every control's.
  if (const int dpi = CResourceManager::GetDPI(); dpi != m_iLayoutDpi) {
    FindInTree(m_pRoot, [](CControlUI* c) {
      c->NeedUpdate();
      return false;
    });
    m_iLayoutDpi = dpi;
  }
  // A pass lays out only the controls that changed, and moves those that only moved (see
  // CControlUI::KeepsLayout). It can mark the layout out of date again (a scroll position clamped to a new range):
  // a second pass settles it.
  for (int pass = 0; pass < 2 && m_bUpdateNeeded; ++pass) {
    m_bUpdateNeeded = false;
    m_pRoot->SetPos(RECT{0, 0, m_szInitSize.cx, m_szInitSize.cy});
  }
  m_bUpdateNeeded = false;
  m_bInLayout = false;
}

const TFontInfo& CPaintManagerUI::GetFontInfo(int index) {
  for (const FontEntry& entry : kFonts) {
    if (entry.index == index) return entry.font;
  }
  return kFonts[0].font;
}

int CPaintManagerUI::GetFontHeight(int index) {
  const int size = CResourceManager::Scale(GetFontInfo(index).size);
  return (size * 4 + 2) / 3;
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
  KillTimer(control);
  TreeChanged();
}

}  // namespace DuiLib
