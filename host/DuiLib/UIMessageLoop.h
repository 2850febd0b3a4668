#pragma once
// The host's UI message loop: one thread runs it; tasks posted from any thread (UIMainQueue::dispatch)
// and timers run on that thread, one at a time, in order. The loop's clock is either the real
// steady clock or a virtual clock that tests move by hand, so timers fire deterministically.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

class UIMessageLoop {
 public:
  using Clock = std::chrono::steady_clock;

  static UIMessageLoop& Instance();

  // Any thread: queue a task for the loop thread.
  void Post(std::function<void()> task);

  // Runs tasks and due timers on the calling thread until Quit() is called.
  void Run();
  // Any thread: makes Run() return after the task in progress.
  void Quit();
  // Runs what is queued, the tasks those post, and timers due now, until nothing is left; returns
  // the number of tasks and timer ticks run.
  size_t RunUntilIdle();
  // Runs tasks and timers until `done` returns true (checked after each task, and every few
  // milliseconds while idle) or the timeout passes on the real clock; returns `done()`.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Waits, without running anything, until a task is queued or the timeout passes on the real
  // clock (the host's WaitMessage); true when a task is queued.
  bool WaitForTask(std::chrono::milliseconds timeout);

  // Timers: `fn` runs on the loop thread every `elapse` (at least 1 ms) until KillTimer, which may
  // be called from `fn` itself. Returns the timer's id (never 0; 0 for an empty `fn`).
  uint64_t SetTimer(std::chrono::milliseconds elapse, std::function<void()> fn);
  void KillTimer(uint64_t id);

  // Virtual clock for tests: while on, time moves only through AdvanceBy, which runs every
  // timer that falls due in order, and the tasks they post. Called while another thread runs the
  // loop, AdvanceBy only moves the clock and that thread fires the timers.
  void UseVirtualClock(bool on);
  void AdvanceBy(std::chrono::milliseconds delta);
  Clock::time_point Now() const;
  // When the earliest timer falls due; nullopt when no timer is set.
  std::optional<Clock::time_point> NextTimer() const;

  // Drops queued tasks and timers (tests, between cases); the clock stays as it is.
  void Reset();

 private:
  UIMessageLoop();
  struct State;
  State* state_;
};
