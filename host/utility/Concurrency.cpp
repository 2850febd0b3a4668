#include "utility/Concurrency.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <string>

#include "utility/Logger.h"

namespace Concurrency {
namespace {

using Clock = std::chrono::steady_clock;

// Pool threads that found no work for this long end, so an idle process holds no threads.
constexpr auto kIdleThreadLifetime = std::chrono::seconds(30);

class TaskPool {
 public:
  size_t ThreadCount() {
    std::lock_guard lock(lock_);
    return threads_;
  }
  uint64_t Started() {
    std::lock_guard lock(lock_);
    return started_;
  }
  size_t Unfinished() {
    std::lock_guard lock(lock_);
    return unfinished_;
  }

  std::future<void> Run(std::function<void()> task) {
    Job job{std::move(task), {}};
    std::future<void> done = job.done.get_future();
    std::lock_guard lock(lock_);
    if (queue_.size() >= idle_) {
      std::thread([this] { Work(); }).detach();  // may throw; nothing queued then
      ++threads_;
    }
    queue_.push_back(std::move(job));
    ++started_;
    ++unfinished_;
    ready_.notify_one();
    return done;
  }

 private:
  struct Job {
    std::function<void()> task;
    std::promise<void> done;
  };

  static void RunGuarded(const std::function<void()>& task) {
    try {
      task();
    } catch (const std::exception& e) {
      hostlog::Error(std::string("task ended by an exception: ") + e.what(), "Concurrency::RunTask",
                     "Concurrency", __LINE__, __PRETTY_FUNCTION__);
    } catch (...) {
      hostlog::Error("task ended by an unknown exception", "Concurrency::RunTask", "Concurrency", __LINE__,
                     __PRETTY_FUNCTION__);
    }
  }

  void Work() {
    std::unique_lock lock(lock_);
    ++idle_;
    for (;;) {
      if (!ready_.wait_for(lock, kIdleThreadLifetime, [this] { return !queue_.empty(); })) {
        --idle_;
        --threads_;
        return;
      }
      Job job = std::move(queue_.front());
      queue_.pop_front();
      --idle_;
      lock.unlock();
      RunGuarded(job.task);
      job.task = nullptr;  // its captures may post tasks of their own: release them unlocked
      lock.lock();
      ++idle_;
      --unfinished_;
      // Only now: whoever waits for this task finds this thread idle for its next one.
      job.done.set_value();
    }
  }

  std::mutex lock_;
  std::condition_variable ready_;
  std::deque<Job> queue_;
  size_t idle_ = 0;
  size_t threads_ = 0;
  uint64_t started_ = 0;
  size_t unfinished_ = 0;
};

TaskPool& Pool() {
  // Never destroyed: detached pool threads may still be waiting on it while the process exits.
  static TaskPool* pool = new TaskPool;
  return *pool;
}

}  // namespace

std::future<void> RunTask(std::function<void()> task) { return Pool().Run(std::move(task)); }

size_t PoolThreadCount() { return Pool().ThreadCount(); }

uint64_t TasksStarted() { return Pool().Started(); }

size_t TasksUnfinished() { return Pool().Unfinished(); }

PeriodicTicker::PeriodicTicker(std::chrono::milliseconds period, bool repeating, std::function<void()> tick)
    : period_(std::max(period, std::chrono::milliseconds(1))), repeating_(repeating), tick_(std::move(tick)) {}

PeriodicTicker::~PeriodicTicker() {
  Halt(State::Stopped);
  // Only when destroyed from inside its own tick; the owner must not let that happen.
  if (thread_.joinable()) thread_.detach();
}

void PeriodicTicker::Start() {
  {
    std::lock_guard lock(lock_);
    if (tickerId_ == std::this_thread::get_id()) {  // from inside a tick: keep the loop going
      haltRequested_ = false;
      state_ = State::Running;
      return;
    }
  }
  std::lock_guard control(control_);
  {
    std::lock_guard lock(lock_);
    if (state_ == State::Running) return;
  }
  if (thread_.joinable()) thread_.join();  // a single-shot run that has ended
  const auto firstTick = Clock::now() + period_;
  {
    std::lock_guard lock(lock_);
    haltRequested_ = false;
    state_ = State::Running;
  }
  thread_ = std::thread([this, firstTick] { Run(firstTick); });
}

void PeriodicTicker::Stop() { Halt(State::Stopped); }

void PeriodicTicker::Pause() { Halt(State::Paused); }

PeriodicTicker::State PeriodicTicker::GetState() const {
  std::lock_guard lock(lock_);
  return state_;
}

void PeriodicTicker::Halt(State next) {
  {
    std::lock_guard lock(lock_);
    if (tickerId_ == std::this_thread::get_id()) {  // from inside a tick: no further tick
      haltRequested_ = true;
      state_ = next;
      return;
    }
  }
  std::lock_guard control(control_);
  {
    std::lock_guard lock(lock_);
    haltRequested_ = true;
    if (state_ != State::Stopped) state_ = next;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void PeriodicTicker::Run(Clock::time_point firstTick) {
  std::unique_lock lock(lock_);
  tickerId_ = std::this_thread::get_id();
  Loop(lock, firstTick);
  tickerId_ = std::thread::id();  // ids are reused once a thread has ended
}

void PeriodicTicker::Loop(std::unique_lock<std::mutex>& lock, Clock::time_point firstTick) {
  auto next = firstTick;
  while (!wake_.wait_until(lock, next, [this] { return haltRequested_; })) {
    lock.unlock();
    tick_();
    lock.lock();
    if (!repeating_) {
      if (!haltRequested_) state_ = State::Stopped;
      return;
    }
    // A tick that overran its period does not cause a burst of late ticks.
    const auto now = Clock::now();
    do next += period_;
    while (next <= now);
  }
}

}  // namespace Concurrency
