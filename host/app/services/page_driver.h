#pragma once
// PageDriver: how a console command uses the plug-in's pages, as a user in front of the window
// would: it reads what the window shows (texts without their markup, what is shown and what can
// be pressed) and acts through the UI library's driver, with time moving on the UI loop.
//
// Time runs on the loop's virtual clock, moved straight to the next timer, so animations take no
// real time; the plug-in's worker threads run in real time, and while the page has nothing to play
// the driver waits for their next post. UI thread.
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "DuiLib/UIContainer.h"
#include "DuiLib/UIDriver.h"
#include "DuiLib/UIManager.h"

namespace app {

class PageDriver {
 public:
  // Switches the UI loop to its virtual clock for the driver's life.
  explicit PageDriver(DuiLib::CPaintManagerUI& window);
  ~PageDriver();
  PageDriver(const PageDriver&) = delete;
  PageDriver& operator=(const PageDriver&) = delete;

  // Steps until `done` answers true (checked after every step) or `limit` passes in real time;
  // `onStep` runs after every step (to print what appeared). True when done.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
                const std::function<void()>& onStep = {});
  // One step: the tasks the workers posted, then time to the next timer; with no timer set, a
  // wait (bounded) for a worker's next post.
  void Step();
  // Runs the window until it is idle, without waiting for workers: every queued task, every
  // animation played to its end. False when timers still run after a long animation's frames
  // (one that repeats for ever).
  bool Settle();

  DuiLib::CControlUI* Find(std::u16string_view name) const { return m_driver.Find(name); }
  DuiLib::CControlUI* Find(DuiLib::CControlUI* subtree, std::u16string_view name) const {
    return m_driver.Find(subtree, name);
  }
  // The control's text without markup; empty when there is no such control. A text read before
  // is not parsed again while it stays the same: the pages are read after every step.
  std::string Text(std::u16string_view name) const { return TextOf(Find(name)); }
  std::string TextOf(const DuiLib::CControlUI* control) const;
  // Whether the user sees the control: it and every ancestor visible.
  bool Shown(const DuiLib::CControlUI* control) const;
  bool Shown(std::u16string_view name) const { return Shown(Find(name)); }
  // Whether the user can press it now.
  bool CanPress(std::u16string_view name) const;
  // The children of a container (a list's items), empty when it is none.
  static std::vector<DuiLib::CControlUI*> Children(DuiLib::CControlUI* container);

  bool Click(std::u16string_view name) { return m_driver.Click(name); }
  bool Click(DuiLib::CControlUI* control) { return m_driver.Click(control); }
  bool Tick(DuiLib::CControlUI* option, bool ticked) { return m_driver.Tick(option, ticked); }
  bool FollowLink(std::u16string_view name, int index) { return m_driver.FollowLink(Find(name), index); }

 private:
  struct ReadText {
    std::u16string marked;
    std::string plain;
  };

  mutable DuiLib::UIDriver m_driver;
  mutable std::unordered_map<const DuiLib::CControlUI*, ReadText> m_texts;
  int m_framesWithoutTask = 0;
};

}  // namespace app
