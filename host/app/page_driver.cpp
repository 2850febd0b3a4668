#include "app/page_driver.h"

#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UITextMarkup.h"
#include "platform/encoding.h"

namespace app {
namespace {

constexpr auto kFrame = std::chrono::milliseconds(20);
// Longer than any of the pages' animations (a list scrolled back to its top line by line): a page
// idle for this many frames is waiting on its workers, not animating.
constexpr int kIdleFramesBeforeWaiting = 100;
constexpr auto kWorkerWait = std::chrono::milliseconds(5);

}  // namespace

PageDriver::PageDriver(DuiLib::CPaintManagerUI& window) : m_driver(window) {
  UIMessageLoop::Instance().UseVirtualClock(true);
}

PageDriver::~PageDriver() { UIMessageLoop::Instance().UseVirtualClock(false); }

void PageDriver::Step() {
  UIMessageLoop& loop = UIMessageLoop::Instance();
  m_idleFrames = loop.RunUntilIdle() == 0 ? m_idleFrames + 1 : 0;
  loop.AdvanceBy(kFrame);
  // Animations play at once; a page that got nothing from its workers for a while waits with
  // them, waking as soon as one posts.
  if (m_idleFrames > kIdleFramesBeforeWaiting) loop.WaitForTask(kWorkerWait);
}

bool PageDriver::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
                          const std::function<void()>& onStep) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    Step();
    if (onStep) onStep();
  }
  return true;
}

std::string PageDriver::TextOf(const DuiLib::CControlUI* control) const {
  if (control == nullptr) return {};
  // Keyed by the control, checked by the text itself: a control made later at the same address
  // with another text is read afresh.
  std::u16string marked = control->GetText();
  ReadText& read = m_texts[control];
  if (read.marked != marked) {
    read.plain = platform::Utf16ToUtf8(DuiLib::StripTextMarkup(marked));
    read.marked = std::move(marked);
  }
  return read.plain;
}

bool PageDriver::Shown(const DuiLib::CControlUI* control) const {
  if (control == nullptr) return false;
  for (const DuiLib::CControlUI* c = control; c != nullptr; c = c->GetParent()) {
    if (!c->IsVisible()) return false;
  }
  return true;
}

bool PageDriver::CanPress(std::u16string_view name) const {
  const DuiLib::CControlUI* control = Find(name);
  return control != nullptr && m_driver.IsReachable(control);
}

std::vector<DuiLib::CControlUI*> PageDriver::Children(DuiLib::CControlUI* container) {
  std::vector<DuiLib::CControlUI*> children;
  if (auto* c = dynamic_cast<DuiLib::CContainerUI*>(container)) {
    for (int i = 0; i < c->GetCount(); ++i) children.push_back(c->GetItemAt(i));
  }
  return children;
}

}  // namespace app
