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

TEST_F(UIMessageLoopTest, TimersFireInTimeOrderAndTiesInScheduleOrder) {
  StartVirtualClock();
  std::vector<std::string> fired;
  loop.SetTimer(20ms, [&] { fired.push_back("A" + std::to_string(Elapsed())); });
  loop.SetTimer(30ms, [&] { fired.push_back("B" + std::to_string(Elapsed())); });

  loop.AdvanceBy(60ms);
  // At 60 both are due; B was scheduled for 60 (at 30) before A was (at 40).
  EXPECT_EQ(fired, (std::vector<std::string>{"A20", "B30", "A40", "B60", "A60"}));
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

}  // namespace
