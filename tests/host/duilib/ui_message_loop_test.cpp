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

  UIMessageLoop& loop = UIMessageLoop::Instance();
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

TEST_F(UIMessageLoopTest, TimersFireInTimeOrderAndTiesInScheduleOrder) {
  loop.UseVirtualClock(true);
  const auto start = loop.Now();
  std::vector<std::string> fired;
  const auto note = [&](const char* timer) { fired.push_back(timer + std::to_string((loop.Now() - start) / 1ms)); };
  loop.SetTimer(20ms, [&] { note("A"); });
  loop.SetTimer(30ms, [&] { note("B"); });

  loop.AdvanceBy(19ms);
  EXPECT_TRUE(fired.empty());
  loop.AdvanceBy(41ms);
  // At 60 both are due; B was scheduled for 60 (at 30) before A was (at 40).
  EXPECT_EQ(fired, (std::vector<std::string>{"A20", "B30", "A40", "B60", "A60"}));
}

}  // namespace
