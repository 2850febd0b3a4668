#include "utility/Concurrency.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <stdexcept>
#include <stop_token>
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

// ---- timer ------------------------------------------------------------------------------------

TEST(Timer, FirstTickComesOnePeriodAfterStart) {
  CountingTarget target;
  Concurrency::timer<int> timer(100, 7, &target, true);

  const auto started = Clock::now();
  timer.start();
  std::this_thread::sleep_for(60ms);
  EXPECT_EQ(target.count.load(), 0);
  std::this_thread::sleep_for(300ms);  // room for a loaded machine
  timer.stop();

  ASSERT_GE(target.count.load(), 1);
  EXPECT_GE(target.first.load() - started, 100ms);
  EXPECT_EQ(target.last.load(), 7);
}

TEST(Timer, RepeatingTimerTicksOncePerPeriod) {
  CountingTarget target;
  Concurrency::timer<int> timer(50, 1, &target, true);

  timer.start();
  std::this_thread::sleep_for(530ms);
  timer.stop();

  EXPECT_GE(target.count.load(), 5);  // late ticks on a loaded machine are skipped, not bunched
  EXPECT_LE(target.count.load(), 11);
}

TEST(Timer, SingleShotTimerTicksOnce) {
  CountingTarget target;
  Concurrency::timer<int> timer(20, 1, &target);

  timer.start();
  std::this_thread::sleep_for(150ms);

  EXPECT_EQ(target.count.load(), 1);
  EXPECT_FALSE(timer.running());
}

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

TEST(Timer, PauseHoldsTicksUntilStartedAgain) {
  CountingTarget target;
  Concurrency::timer<int> timer(30, 1, &target, true);

  timer.start();
  std::this_thread::sleep_for(100ms);
  timer.pause();
  const int paused = target.count.load();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(target.count.load(), paused);
  EXPECT_FALSE(timer.running());

  timer.start();
  EXPECT_TRUE(timer.running());
  std::this_thread::sleep_for(100ms);
  timer.stop();
  EXPECT_GT(target.count.load(), paused);
}

TEST(Timer, StopFromInsideATickEndsTheTicks) {
  std::atomic<int> ticks = 0;
  Concurrency::timer<int>* self = nullptr;
  Concurrency::call<int> stopper([&](const int&) {
    ++ticks;
    self->stop();
  });
  Concurrency::timer<int> timer(10, 0, &stopper, true);
  self = &timer;

  timer.start();
  std::this_thread::sleep_for(100ms);

  EXPECT_EQ(ticks.load(), 1);
  EXPECT_FALSE(timer.running());
}

TEST(Timer, ControlCallsFromManyThreadsDoNotDeadlock) {
  CountingTarget target;
  Concurrency::timer<int> timer(1, 1, &target, true);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&timer, t] {
      for (int i = 0; i < 50; ++i) {
        if ((i + t) % 3 == 0) timer.start();
        if ((i + t) % 3 == 1) timer.pause();
        if ((i + t) % 3 == 2) timer.stop();
      }
    });
  }
  for (auto& thread : threads) thread.join();
  timer.stop();
  const int afterStop = target.count.load();
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(target.count.load(), afterStop);
}

// ---- call -------------------------------------------------------------------------------------

TEST(Call, ProcessesOneMessageAtATime) {
  std::atomic<int> inside = 0;
  std::atomic<int> mostInside = 0;
  std::atomic<int> sum = 0;
  Concurrency::call<int> block([&](const int& value) {
    const int now = ++inside;
    int seen = mostInside.load();
    while (now > seen && !mostInside.compare_exchange_weak(seen, now)) {
    }
    std::this_thread::sleep_for(100us);
    sum += value;
    --inside;
  });
  std::vector<std::thread> senders;
  for (int t = 0; t < 4; ++t) {
    senders.emplace_back([&block] {
      for (int i = 1; i <= 25; ++i) block.send(i);
    });
  }
  for (auto& sender : senders) sender.join();

  EXPECT_EQ(mostInside.load(), 1);
  EXPECT_EQ(sum.load(), 4 * 325);
}

// ---- tasks ------------------------------------------------------------------------------------

TEST(RunTask, SequentialTasksDoNotGrowThePool) {
  Concurrency::RunTask([] {}).wait();
  const size_t before = Concurrency::PoolThreadCount();

  for (int i = 0; i < 20; ++i) Concurrency::RunTask([] {}).wait();

  EXPECT_GE(before, 1u);
  EXPECT_LE(Concurrency::PoolThreadCount(), before);
}

TEST(RunTask, TasksWaitingForEachOtherAllGetAThread) {
  constexpr int kTasks = 12;
  std::latch allRunning(kTasks);
  std::vector<std::future<void>> done;
  for (int i = 0; i < kTasks; ++i) done.push_back(Concurrency::RunTask([&allRunning] { allRunning.arrive_and_wait(); }));
  for (auto& task : done) EXPECT_EQ(task.wait_for(5s), std::future_status::ready);
}

TEST(RunTask, ExceptionEndsOnlyThatTask) {
  auto failed = Concurrency::RunTask([] { throw std::runtime_error("library failure"); });
  EXPECT_EQ(failed.wait_for(5s), std::future_status::ready);
  EXPECT_NO_THROW(failed.get());

  bool ran = false;
  Concurrency::RunTask([&ran] { ran = true; }).wait();
  EXPECT_TRUE(ran);
}

TEST(RunTask, CallerCancelsThroughItsStopToken) {
  std::stop_source source;
  std::atomic<int> rounds = 0;
  auto task = Concurrency::RunTask([token = source.get_token(), &rounds] {
    while (!token.stop_requested()) {
      ++rounds;
      std::this_thread::sleep_for(1ms);
    }
  });
  while (rounds.load() == 0) std::this_thread::sleep_for(1ms);

  source.request_stop();

  EXPECT_EQ(task.wait_for(5s), std::future_status::ready);
}

}  // namespace
