#include "DuiLib/UIMessageLoop.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "utility/Logger.h"

namespace {

constexpr const char* kSourceTag = "UIMessageLoop";
// A zero period would make a timer fire forever within one instant of the virtual clock.
constexpr std::chrono::milliseconds kMinimumElapse{1};
constexpr std::chrono::milliseconds kDonePollInterval{5};

struct Timer {
  std::chrono::milliseconds period;
  UIMessageLoop::Clock::time_point due;
  uint64_t order = 0;  // timers due at the same instant fire in the order they were scheduled
  std::shared_ptr<std::function<void()>> fn;
};

void RunGuarded(const std::function<void()>& fn, const char* what) {
  // A failing task must not take the UI thread down with it: it is logged and the loop goes on.
  try {
    fn();
  } catch (const std::exception& e) {
    hostlog::Error(std::string(what) + " threw: " + e.what(), "UIMessageLoop::Run", kSourceTag, __LINE__,
                   __PRETTY_FUNCTION__);
  } catch (...) {
    hostlog::Error(std::string(what) + " threw an unknown exception", "UIMessageLoop::Run", kSourceTag,
                   __LINE__, __PRETTY_FUNCTION__);
  }
}

}  // namespace

struct UIMessageLoop::State {
  std::mutex lock;
  std::condition_variable wake;
  std::deque<std::function<void()>> tasks;
  std::map<uint64_t, Timer> timers;
  uint64_t nextTimerId = 1;
  uint64_t nextOrder = 0;
  bool quit = false;
  bool virtualClock = false;
  Clock::time_point virtualNow{};
  // The thread that pumps the loop right now; it may pump again inside a task (a modal loop).
  std::thread::id owner;
  int depth = 0;

  Clock::time_point NowLocked() const { return virtualClock ? virtualNow : Clock::now(); }

  bool PumpedElsewhere() const { return depth > 0 && owner != std::this_thread::get_id(); }

  static bool FiresFirst(const std::pair<const uint64_t, Timer>& a, const std::pair<const uint64_t, Timer>& b) {
    return a.second.due != b.second.due ? a.second.due < b.second.due : a.second.order < b.second.order;
  }

  std::map<uint64_t, Timer>::iterator EarliestTimer() { return std::min_element(timers.begin(), timers.end(), FiresFirst); }

  std::optional<Clock::time_point> NextDue() const {
    auto it = std::min_element(timers.begin(), timers.end(), FiresFirst);
    if (it == timers.end()) return std::nullopt;
    return it->second.due;
  }

  void Reschedule(Timer& timer) {
    timer.due += timer.period;
    // On the real clock a late loop skips the ticks it missed, as UI timers do; the virtual
    // clock keeps every tick so that tests count them exactly.
    if (!virtualClock && timer.due <= Clock::now()) timer.due = Clock::now() + timer.period;
    timer.order = nextOrder++;
  }

  // Runs the oldest task, or else the earliest due timer, with the lock released while it runs.
  bool RunOne(std::unique_lock<std::mutex>& held) {
    if (!tasks.empty()) {
      std::function<void()> task = std::move(tasks.front());
      tasks.pop_front();
      held.unlock();
      RunGuarded(task, "a posted task");
      task = nullptr;
      held.lock();
      return true;
    }
    auto it = EarliestTimer();
    if (it == timers.end() || it->second.due > NowLocked()) return false;
    std::shared_ptr<std::function<void()>> fn = it->second.fn;
    Reschedule(it->second);
    held.unlock();
    RunGuarded(*fn, "a timer");
    fn.reset();
    held.lock();
    return true;
  }

  // Claims the loop for the calling thread while it pumps; refused while another thread pumps.
  class PumpScope {
   public:
    PumpScope(std::unique_lock<std::mutex>& held, State& state, const char* caller)
        : held_(held), state_(state) {
      if (state_.PumpedElsewhere()) {
        held_.unlock();
        hostlog::Error(std::string(caller) + " refused: another thread runs the UI loop", "UIMessageLoop::Pump",
                       kSourceTag, __LINE__, __PRETTY_FUNCTION__);
        held_.lock();
        return;
      }
      state_.owner = std::this_thread::get_id();
      ++state_.depth;
      claimed_ = true;
    }
    ~PumpScope() {
      if (!claimed_) return;
      if (--state_.depth == 0) state_.owner = std::thread::id();
    }
    PumpScope(const PumpScope&) = delete;
    PumpScope& operator=(const PumpScope&) = delete;
    explicit operator bool() const { return claimed_; }

   private:
    std::unique_lock<std::mutex>& held_;
    State& state_;
    bool claimed_ = false;
  };
};

UIMessageLoop::UIMessageLoop() : state_(new State) {}
// state_ is never freed: detached workers may still post while the process exits.

UIMessageLoop& UIMessageLoop::Instance() {
  static UIMessageLoop loop;
  return loop;
}

void UIMessageLoop::Post(std::function<void()> task) {
  if (!task) return;
  {
    std::lock_guard lock(state_->lock);
    state_->tasks.push_back(std::move(task));
  }
  state_->wake.notify_all();
}

void UIMessageLoop::Run() {
  std::unique_lock held(state_->lock);
  State::PumpScope scope(held, *state_, "Run");
  if (!scope) return;
  while (true) {
    if (state_->quit) {
      state_->quit = false;
      return;
    }
    if (state_->RunOne(held)) continue;
    const auto due = state_->NextDue();
    if (due && !state_->virtualClock) {
      state_->wake.wait_until(held, *due);
    } else {
      state_->wake.wait(held);
    }
  }
}

void UIMessageLoop::Quit() {
  {
    std::lock_guard lock(state_->lock);
    state_->quit = true;
  }
  state_->wake.notify_all();
}

size_t UIMessageLoop::RunUntilIdle() {
  std::unique_lock held(state_->lock);
  State::PumpScope scope(held, *state_, "RunUntilIdle");
  if (!scope) return 0;
  size_t ran = 0;
  while (state_->RunOne(held)) ++ran;
  return ran;
}

bool UIMessageLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::unique_lock held(state_->lock);
  State::PumpScope scope(held, *state_, "RunUntil");
  if (!scope) return false;
  while (true) {
    held.unlock();
    const bool finished = done();
    held.lock();
    if (finished) return true;
    if (state_->RunOne(held)) continue;
    if (Clock::now() >= deadline) break;
    // `done` may turn true without a task (a flag another thread sets): look again soon.
    auto wakeAt = std::min(deadline, Clock::now() + kDonePollInterval);
    if (const auto due = state_->NextDue(); due && !state_->virtualClock) wakeAt = std::min(wakeAt, *due);
    state_->wake.wait_until(held, wakeAt);
  }
  held.unlock();
  const bool finished = done();
  held.lock();
  return finished;
}

bool UIMessageLoop::WaitForTask(std::chrono::milliseconds timeout) {
  std::unique_lock held(state_->lock);
  return state_->wake.wait_for(held, timeout, [this] { return !state_->tasks.empty(); });
}

uint64_t UIMessageLoop::SetTimer(std::chrono::milliseconds elapse, std::function<void()> fn) {
  if (!fn) return 0;
  uint64_t id;
  {
    std::lock_guard lock(state_->lock);
    id = state_->nextTimerId++;
    const auto period = std::max(elapse, kMinimumElapse);
    state_->timers.emplace(id, Timer{period, state_->NowLocked() + period, state_->nextOrder++,
                                     std::make_shared<std::function<void()>>(std::move(fn))});
  }
  state_->wake.notify_all();
  return id;
}

void UIMessageLoop::KillTimer(uint64_t id) {
  std::shared_ptr<std::function<void()>> dropped;  // released outside the lock
  std::lock_guard lock(state_->lock);
  if (auto it = state_->timers.find(id); it != state_->timers.end()) {
    dropped = std::move(it->second.fn);
    state_->timers.erase(it);
  }
}

void UIMessageLoop::UseVirtualClock(bool on) {
  {
    std::lock_guard lock(state_->lock);
    if (state_->virtualClock == on) return;
    const auto real = Clock::now();
    if (on) {
      state_->virtualNow = real;
    } else {
      // Timers keep the time they had left.
      for (auto& [id, timer] : state_->timers) timer.due += real - state_->virtualNow;
    }
    state_->virtualClock = on;
  }
  state_->wake.notify_all();
}

void UIMessageLoop::AdvanceBy(std::chrono::milliseconds delta) {
  if (delta.count() < 0) return;
  std::unique_lock held(state_->lock);
  if (!state_->virtualClock) return;
  if (state_->PumpedElsewhere()) {
    // The loop thread fires what fell due, earliest first, once it wakes.
    state_->virtualNow += delta;
    held.unlock();
    state_->wake.notify_all();
    return;
  }
  State::PumpScope scope(held, *state_, "AdvanceBy");
  const auto target = state_->virtualNow + delta;
  while (state_->virtualClock) {
    while (state_->RunOne(held)) {
    }
    const auto due = state_->NextDue();
    if (!due || *due > target) break;
    // Each timer sees the instant it fell due.
    state_->virtualNow = std::max(state_->virtualNow, *due);
  }
  if (state_->virtualClock) {
    state_->virtualNow = std::max(state_->virtualNow, target);
    while (state_->RunOne(held)) {
    }
  }
}

UIMessageLoop::Clock::time_point UIMessageLoop::Now() const {
  std::lock_guard lock(state_->lock);
  return state_->NowLocked();
}

std::optional<UIMessageLoop::Clock::time_point> UIMessageLoop::NextTimer() const {
  std::lock_guard lock(state_->lock);
  return state_->NextDue();
}

void UIMessageLoop::Reset() {
  std::deque<std::function<void()>> tasks;  // destroyed outside the lock: they may post
  std::map<uint64_t, Timer> timers;
  {
    std::lock_guard lock(state_->lock);
    tasks.swap(state_->tasks);
    timers.swap(state_->timers);
    state_->quit = false;
  }
  state_->wake.notify_all();
}
