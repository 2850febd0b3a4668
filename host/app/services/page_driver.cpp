#include "app/services/page_driver.h"

#include <algorithm>

#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UITextMarkup.h"
#include "platform/encoding.h"

namespace app {
namespace {

// Longer than any of the pages' animations (a list scrolled back to its top line by line): timers
// that tick this long with nothing from the workers repeat for ever (a loading animation).
constexpr int kLongestAnimationFrames = 100;
// How long one wait for the workers lasts at most: what a command waits for may also be a flag a
// worker sets without posting (its telemetry sent).
constexpr auto kWorkerWait = std::chrono::milliseconds(5);

// Moves the virtual clock to the next timer, which AdvanceBy fires; false when none is set.
bool PlayNextFrame(UIMessageLoop& loop) {
  const auto due = loop.NextTimer();
  if (!due) return false;
  loop.AdvanceBy(std::max(std::chrono::milliseconds(0), std::chrono::ceil<std::chrono::milliseconds>(*due - loop.Now())));
  return true;
}

}  // namespace

PageDriver::PageDriver(DuiLib::CPaintManagerUI& window) : m_driver(window) {
  UIMessageLoop::Instance().UseVirtualClock(true);
}

PageDriver::~PageDriver() { UIMessageLoop::Instance().UseVirtualClock(false); }

void PageDriver::Step() {
  UIMessageLoop& loop = UIMessageLoop::Instance();
  m_framesWithoutTask = loop.RunUntilIdle() == 0 ? m_framesWithoutTask + 1 : 0;
  const bool played = PlayNextFrame(loop);
  // Nothing to play, or only an animation without end: the page changes when a worker posts.
  if (!played || m_framesWithoutTask > kLongestAnimationFrames) loop.WaitForTask(kWorkerWait);
}

bool PageDriver::Settle() {
  UIMessageLoop& loop = UIMessageLoop::Instance();
  for (int frame = 0; frame <= kLongestAnimationFrames; ++frame) {
    loop.RunUntilIdle();
    if (!PlayNextFrame(loop)) return true;
  }
  return false;
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
