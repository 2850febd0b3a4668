#pragma once
// The platform's concurrency runtime, the small part the plug-in uses:
//  - RunTask: thread-pool tasks. Cancellation is the caller's: capture a std::stop_token.
//  - timer<T> and call<T>: message blocks. A timer sends its value to its target once per period;
//    a call block runs its function for each message it receives, one message at a time.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace Concurrency {

// Runs `task` on a pool thread. Idle pool threads are reused; a new one is made only when all are
// busy, so tasks that wait for one another cannot starve the pool. An exception escaping a task
// is logged and ends that task only. The future is ready once the task has ended either way.
std::future<void> RunTask(std::function<void()> task);
// Threads the task pool holds now, idle or busy.
size_t PoolThreadCount();
// Tasks given to RunTask so far, and those of them not yet ended (queued or running): how a
// caller sees that the work it asked for is gone, however it ended.
uint64_t TasksStarted();
size_t TasksUnfinished();

// Where a block sends its messages.
template <class T>
class ITarget {
 public:
  virtual ~ITarget() = default;
  virtual void send(const T& message) = 0;
};

// Runs `tick` every period on a thread of its own: the engine of timer<T>.
// Control operations may come from any thread; they are serialised.
class PeriodicTicker {
 public:
  enum class State { New, Running, Paused, Stopped };

  PeriodicTicker(std::chrono::milliseconds period, bool repeating, std::function<void()> tick);
  ~PeriodicTicker();
  PeriodicTicker(const PeriodicTicker&) = delete;
  PeriodicTicker& operator=(const PeriodicTicker&) = delete;

  // Starts a ticker that is not running (new, paused or stopped); the first tick comes one period
  // later. A period of 0 is taken as 1 ms.
  void Start();
  // Once these return, no tick is running and none will start until Start. Called from inside a
  // tick, they only prevent further ticks (the running one is the caller).
  void Stop();
  void Pause();
  State GetState() const;

 private:
  void Halt(State next);
  void Run(std::chrono::steady_clock::time_point firstTick);
  void Loop(std::unique_lock<std::mutex>& lock, std::chrono::steady_clock::time_point firstTick);

  const std::chrono::milliseconds period_;
  const bool repeating_;
  const std::function<void()> tick_;

  std::mutex control_;  // serialises Start/Stop/Pause (held while joining)
  mutable std::mutex lock_;
  std::condition_variable wake_;
  State state_ = State::New;
  bool haltRequested_ = false;
  std::thread::id tickerId_;  // the ticking thread while it runs, to recognise calls from a tick
  std::thread thread_;
};

template <class T>
class timer {
 public:
  timer(unsigned int periodMs, T value, ITarget<T>* target = nullptr, bool repeating = false)
      : value_(std::move(value)),
        target_(target),
        ticker_(std::chrono::milliseconds(periodMs), repeating, [this] { Fire(); }) {}
  ~timer() { ticker_.Stop(); }
  timer(const timer&) = delete;
  timer& operator=(const timer&) = delete;

  void start() { ticker_.Start(); }
  void stop() { ticker_.Stop(); }
  void pause() { ticker_.Pause(); }
  bool running() const { return ticker_.GetState() == PeriodicTicker::State::Running; }

  void link_target(ITarget<T>* target) {
    std::lock_guard lock(targetLock_);
    target_ = target;
  }
  void unlink_target() { link_target(nullptr); }

 private:
  void Fire() {
    ITarget<T>* target = nullptr;
    {
      std::lock_guard lock(targetLock_);
      target = target_;
    }
    if (target) target->send(value_);
  }

  const T value_;
  std::mutex targetLock_;
  ITarget<T>* target_;
  PeriodicTicker ticker_;  // last: stopped before the rest goes away
};

// Runs its function for every message, on the sending thread, one message at a time.
// Destroying the block waits for a message that is being processed.
template <class T>
class call : public ITarget<T> {
 public:
  explicit call(std::function<void(const T&)> function) : function_(std::move(function)) {}
  ~call() override { std::lock_guard lock(busy_); }
  call(const call&) = delete;
  call& operator=(const call&) = delete;

  void send(const T& message) override {
    std::lock_guard lock(busy_);
    function_(message);
  }

 private:
  const std::function<void(const T&)> function_;
  std::mutex busy_;
};

}  // namespace Concurrency
