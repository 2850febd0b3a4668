#include "utility/Concurrency.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Counts the messages it receives and when the first one came.
struct CountingTarget : Concurrency::ITarget<int> {
  std::atomic<int> count = 0;
  std::atomic<int> last = 0;
  std::atomic<Clock::time_point> first{};
  void send(const int& value) override {
    if (count == 0) first = Clock::now();
    last = value;
    ++count;
  }
};

TEST(Timer, FirstTickComesOnePeriodAfterStart) {
  CountingTarget target;
  Concurrency::timer<int> timer(100, 7, &target, true);

  const auto started = Clock::now();
  timer.start();
  // Only a lower bound on the first tick's time holds on a loaded machine.
  for (const auto deadline = started + 10s; target.count.load() == 0 && Clock::now() < deadline;) {
    std::this_thread::sleep_for(5ms);
  }
  timer.stop();

  ASSERT_GE(target.count.load(), 1);
  EXPECT_GE(target.first.load() - started, 100ms);
  EXPECT_EQ(target.last.load(), 7);
}

// Stop lands at varying points of a slow tick: before, during and between ticks.
TEST(Timer, NoTickRunsOrStartsOnceStopHasReturned) {
  std::atomic<int> ticks = 0;
  std::atomic<bool> inTick = false;
  Concurrency::call<int> slow([&](const int&) {
    inTick = true;
    std::this_thread::sleep_for(3ms);
    ++ticks;
    inTick = false;
  });
  for (int round = 0; round < 40; ++round) {
    Concurrency::timer<int> timer(2, 0, &slow, true);
    timer.start();
    std::this_thread::sleep_for(std::chrono::microseconds(1000 + 250 * round));
    timer.stop();
    EXPECT_FALSE(inTick.load()) << "round " << round;
    const int afterStop = ticks.load();
    std::this_thread::sleep_for(10ms);
    EXPECT_EQ(ticks.load(), afterStop) << "round " << round;
  }
}

TEST(RunTask, PoolGrowsSoTasksWaitingForEachOtherAllRun) {
  constexpr int kTasks = 12;
  std::latch allRunning(kTasks);
  std::vector<std::future<void>> done;
  for (int i = 0; i < kTasks; ++i) done.push_back(Concurrency::RunTask([&allRunning] { allRunning.arrive_and_wait(); }));
  for (auto& task : done) EXPECT_EQ(task.wait_for(5s), std::future_status::ready);
}

}  // namespace
