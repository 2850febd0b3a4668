#include "DuiLib/UIMessageLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "DuiLib/UIMainQueue.h"
#include "support/log_capture.h"

namespace {

using namespace std::chrono_literals;

class UIMessageLoopTest : public ::testing::Test {
 protected:
  UIMessageLoopTest() { loop.Reset(); }
  ~UIMessageLoopTest() override {
    loop.Reset();
    loop.UseVirtualClock(false);
  }

  // Milliseconds of loop time since the test switched to the virtual clock.
  int64_t Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(loop.Now() - start_).count();
  }
  void StartVirtualClock() {
    loop.UseVirtualClock(true);
    start_ = loop.Now();
  }

  UIMessageLoop& loop = UIMessageLoop::Instance();

 private:
  UIMessageLoop::Clock::time_point start_;
};

TEST_F(UIMessageLoopTest, TasksRunInPostOrderOnThePumpingThread) {
  std::vector<int> order;
  std::vector<std::thread::id> threads;
  for (int i = 0; i < 50; ++i) {
    loop.Post([&, i] {
      order.push_back(i);
      threads.push_back(std::this_thread::get_id());
    });
  }

  EXPECT_EQ(loop.RunUntilIdle(), 50u);
  ASSERT_EQ(order.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
  for (auto id : threads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST_F(UIMessageLoopTest, TasksPostedByTasksRunBeforeTheLoopIsIdle) {
  std::vector<std::string> order;
  loop.Post([&] {
    order.push_back("a");
    loop.Post([&] { order.push_back("c"); });
  });
  loop.Post([&] { order.push_back("b"); });

  EXPECT_EQ(loop.RunUntilIdle(), 3u);
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(loop.RunUntilIdle(), 0u);
}

TEST_F(UIMessageLoopTest, TasksFromSeveralThreadsKeepEachThreadsOrder) {
  constexpr int kThreads = 4;
  constexpr int kTasks = 500;
  std::vector<std::vector<int>> seen(kThreads);  // touched only on the loop thread
  int total = 0;
  bool wrongThread = false;
  const auto loopThread = std::this_thread::get_id();

  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t) {
    posters.emplace_back([&, t] {
      for (int i = 0; i < kTasks; ++i) {
        UIMainQueue::getInstance().dispatch([&, t, i] {
          seen[t].push_back(i);
          ++total;
          wrongThread = wrongThread || std::this_thread::get_id() != loopThread;
        });
      }
    });
  }
  const bool done = loop.RunUntil([&] { return total == kThreads * kTasks; }, 20s);
  for (auto& poster : posters) poster.join();

  ASSERT_TRUE(done);
  EXPECT_FALSE(wrongThread);
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), static_cast<size_t>(kTasks));
    for (int i = 0; i < kTasks; ++i) EXPECT_EQ(seen[t][i], i);
  }
}

TEST_F(UIMessageLoopTest, QuitFromAnotherThreadEndsRunAfterTheTaskInProgress) {
  std::atomic<bool> started{false};
  std::atomic<bool> quitCalled{false};
  bool taskFinished = false;
  bool laterTaskRan = false;
  loop.Post([&] {
    started = true;
    while (!quitCalled) std::this_thread::sleep_for(1ms);
    taskFinished = true;
    loop.Post([&] { laterTaskRan = true; });
  });
  std::thread quitter([&] {
    while (!started) std::this_thread::sleep_for(1ms);
    loop.Quit();
    quitCalled = true;
  });

  loop.Run();
  quitter.join();

  EXPECT_TRUE(taskFinished);
  EXPECT_FALSE(laterTaskRan);
  EXPECT_EQ(loop.RunUntilIdle(), 1u);
  EXPECT_TRUE(laterTaskRan);
}

TEST_F(UIMessageLoopTest, QuitWhileIdleWakesTheLoop) {
  std::thread quitter([&] {
    std::this_thread::sleep_for(20ms);
    loop.Quit();
  });
  loop.Run();
  quitter.join();
  SUCCEED();
}

TEST_F(UIMessageLoopTest, QuitBeforeRunEndsTheNextRun) {
  loop.Quit();
  loop.Run();
  SUCCEED();
}

TEST_F(UIMessageLoopTest, NestedRunInsideATaskServesAModalLoop) {
  std::vector<std::string> order;
  loop.Post([&] {
    order.push_back("open modal");
    loop.Post([&] {
      order.push_back("inside modal");
      loop.Quit();  // ends the innermost loop only
    });
    loop.Run();
    order.push_back("modal closed");
    loop.Quit();
  });

  loop.Run();
  EXPECT_EQ(order, (std::vector<std::string>{"open modal", "inside modal", "modal closed"}));
}

TEST_F(UIMessageLoopTest, SecondThreadCannotPumpWhileTheLoopRuns) {
  testenv::LogCapture log;
  std::atomic<bool> running{false};
  std::atomic<size_t> ranElsewhere{99};
  loop.Post([&] { running = true; });
  std::thread intruder([&] {
    while (!running) std::this_thread::sleep_for(1ms);
    ranElsewhere = loop.RunUntilIdle();
    loop.Post([&] { loop.Quit(); });
  });

  loop.Run();
  intruder.join();

  EXPECT_EQ(ranElsewhere, 0u);
  EXPECT_EQ(log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL).size(), 1u);
}

TEST_F(UIMessageLoopTest, FailingTaskIsLoggedAndTheLoopGoesOn) {
  testenv::LogCapture log;
  bool secondRan = false;
  loop.Post([] { throw std::runtime_error("boom"); });
  loop.Post([&] { secondRan = true; });

  EXPECT_EQ(loop.RunUntilIdle(), 2u);
  EXPECT_TRUE(secondRan);
  const auto errors = log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].message.find("boom"), std::string::npos);
}

TEST_F(UIMessageLoopTest, RunUntilNoticesAFlagSetWithoutATask) {
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    std::this_thread::sleep_for(10ms);
    finished = true;
  });
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_TRUE(loop.RunUntil([&] { return finished.load(); }, 10s));
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 5s);
  worker.join();
}

TEST_F(UIMessageLoopTest, RunUntilGivesUpAfterTheTimeout) {
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_FALSE(loop.RunUntil([] { return false; }, 50ms));
  EXPECT_GE(std::chrono::steady_clock::now() - begin, 50ms);
}

TEST_F(UIMessageLoopTest, TimerTicksEveryElapseOfTheVirtualClock) {
  StartVirtualClock();
  std::vector<int64_t> ticks;
  loop.SetTimer(20ms, [&] { ticks.push_back(Elapsed()); });

  loop.AdvanceBy(19ms);
  EXPECT_TRUE(ticks.empty());
  loop.AdvanceBy(1ms);
  EXPECT_EQ(ticks, (std::vector<int64_t>{20}));
  loop.AdvanceBy(100ms);
  EXPECT_EQ(ticks, (std::vector<int64_t>{20, 40, 60, 80, 100, 120}));
  EXPECT_EQ(Elapsed(), 120);
}

TEST_F(UIMessageLoopTest, VirtualTimeStandsStillWithoutAdvance) {
  StartVirtualClock();
  int ticks = 0;
  loop.SetTimer(5ms, [&] { ++ticks; });
  std::this_thread::sleep_for(30ms);
  loop.RunUntilIdle();
  EXPECT_EQ(ticks, 0);
  EXPECT_EQ(Elapsed(), 0);
}

TEST_F(UIMessageLoopTest, TimersFireInTimeOrderAndTiesInScheduleOrder) {
  StartVirtualClock();
  std::vector<std::string> fired;
  loop.SetTimer(20ms, [&] { fired.push_back("A" + std::to_string(Elapsed())); });
  loop.SetTimer(30ms, [&] { fired.push_back("B" + std::to_string(Elapsed())); });

  loop.AdvanceBy(60ms);
  // At 60 both are due; B was scheduled for 60 (at 30) before A was (at 40).
  EXPECT_EQ(fired, (std::vector<std::string>{"A20", "B30", "A40", "B60", "A60"}));
}

TEST_F(UIMessageLoopTest, TasksPostedByATickRunBeforeTheNextTick) {
  StartVirtualClock();
  std::vector<std::string> order;
  loop.SetTimer(20ms, [&] {
    order.push_back("tick" + std::to_string(Elapsed()));
    loop.Post([&] { order.push_back("task" + std::to_string(Elapsed())); });
  });

  loop.AdvanceBy(40ms);
  EXPECT_EQ(order, (std::vector<std::string>{"tick20", "task20", "tick40", "task40"}));
}

TEST_F(UIMessageLoopTest, TimerKilledInItsOwnTickStops) {
  StartVirtualClock();
  int ticks = 0;
  uint64_t id = 0;
  id = loop.SetTimer(20ms, [&] {
    if (++ticks == 3) loop.KillTimer(id);
  });

  loop.AdvanceBy(200ms);
  EXPECT_EQ(ticks, 3);
}

TEST_F(UIMessageLoopTest, KilledTimerNeverFiresAndUnknownIdsAreIgnored) {
  StartVirtualClock();
  int a = 0;
  int b = 0;
  const uint64_t first = loop.SetTimer(20ms, [&] { ++a; });
  const uint64_t second = loop.SetTimer(20ms, [&] { ++b; });
  EXPECT_NE(first, second);

  loop.KillTimer(first);
  loop.KillTimer(first);
  loop.KillTimer(987654321);
  loop.AdvanceBy(40ms);

  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 2);
}

TEST_F(UIMessageLoopTest, TimerWithoutElapseTicksEveryMillisecond) {
  StartVirtualClock();
  int ticks = 0;
  loop.SetTimer(0ms, [&] { ++ticks; });
  loop.AdvanceBy(5ms);
  EXPECT_EQ(ticks, 5);
}

TEST_F(UIMessageLoopTest, TwentyStepAnimationEndsOnTime) {
  // The shape of the pages' animations: a 20 ms timer that kills itself after 20 steps.
  StartVirtualClock();
  int step = 0;
  uint64_t id = 0;
  int64_t finishedAt = -1;
  id = loop.SetTimer(20ms, [&] {
    if (step == 20) {
      loop.KillTimer(id);
      finishedAt = Elapsed();
      return;
    }
    ++step;
  });

  loop.AdvanceBy(400ms);
  EXPECT_EQ(step, 20);
  EXPECT_EQ(finishedAt, -1);
  loop.AdvanceBy(20ms);
  EXPECT_EQ(finishedAt, 420);
  loop.AdvanceBy(1000ms);
  EXPECT_EQ(step, 20);
}

TEST_F(UIMessageLoopTest, AdvanceFromAnotherThreadFiresTimersOnTheLoopThread) {
  StartVirtualClock();
  const auto loopThread = std::this_thread::get_id();
  int ticks = 0;
  bool wrongThread = false;
  loop.SetTimer(20ms, [&] {
    wrongThread = wrongThread || std::this_thread::get_id() != loopThread;
    if (++ticks == 5) loop.Quit();
  });
  std::atomic<bool> running{false};
  loop.Post([&] { running = true; });
  std::thread driver([&] {
    while (!running) std::this_thread::sleep_for(1ms);
    loop.AdvanceBy(100ms);
  });

  loop.Run();
  driver.join();

  EXPECT_EQ(ticks, 5);
  EXPECT_FALSE(wrongThread);
}

TEST_F(UIMessageLoopTest, RealClockTimerTicksWhileTheLoopRuns) {
  int ticks = 0;
  loop.SetTimer(5ms, [&] { ++ticks; });
  EXPECT_TRUE(loop.RunUntil([&] { return ticks >= 3; }, 5s));
}

TEST_F(UIMessageLoopTest, LeavingTheVirtualClockKeepsTheTimeATimerHadLeft) {
  StartVirtualClock();
  int ticks = 0;
  loop.SetTimer(10000ms, [&] { ++ticks; });
  loop.AdvanceBy(9990ms);
  loop.UseVirtualClock(false);
  EXPECT_TRUE(loop.RunUntil([&] { return ticks == 1; }, 5s));
}

TEST_F(UIMessageLoopTest, ResetDropsTasksAndTimers) {
  StartVirtualClock();
  int ran = 0;
  loop.Post([&] { ++ran; });
  loop.SetTimer(20ms, [&] { ++ran; });

  loop.Reset();
  loop.AdvanceBy(100ms);
  EXPECT_EQ(ran, 0);
}

}  // namespace
