#pragma once
// The host's UI message loop: one thread runs it; tasks posted from any thread (UIMainQueue::dispatch)
// and timers run on that thread, one at a time, in order. The loop's clock is either the real
// steady clock or a virtual clock that tests move by hand, so timers fire deterministically.
#include <chrono>
#include <cstdint>
#include <functional>

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
  // Runs what is queued now (and timers due now) and returns the number of tasks run.
  size_t RunUntilIdle();
  // Runs tasks and timers until `done` returns true (checked after each task) or the timeout
  // passes on the real clock; returns `done()`.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  // Timers (loop thread): `fn` runs every `elapse` until KillTimer. Returns the timer's id.
  uint64_t SetTimer(std::chrono::milliseconds elapse, std::function<void()> fn);
  void KillTimer(uint64_t id);

  // Virtual clock for tests: while on, time moves only through AdvanceBy, which runs every
  // timer that falls due in order, and the tasks they post.
  void UseVirtualClock(bool on);
  void AdvanceBy(std::chrono::milliseconds delta);
  Clock::time_point Now() const;

  // Drops queued tasks and timers (tests, between cases).
  void Reset();

 private:
  UIMessageLoop();
  struct State;
  State* state_;
};
