// The UI loop: tasks from any thread, quitting, failing tasks, and timers on its virtual clock
// (the loop's own, the controls' and the frame animation's).
#include "DuiLib/UIMessageLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIMainQueue.h"
#include "support/log_capture.h"
#include "support/ui_window.h"

namespace {

using namespace std::chrono_literals;
using namespace DuiLib;
using testenv::UiWindow;

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

TEST_F(UIMessageLoopTest, WaitingForATaskEndsWhenOneIsPostedAndRunsNothing) {
  // with nothing posted, the wait ends at its timeout
  EXPECT_FALSE(loop.WaitForTask(5ms));

  // when another thread posts while the loop thread waits (for far longer than it takes)
  bool ran = false;
  std::thread poster([&] {
    std::this_thread::sleep_for(10ms);
    loop.Post([&] { ran = true; });
  });
  const auto began = std::chrono::steady_clock::now();
  EXPECT_TRUE(loop.WaitForTask(60s));
  poster.join();

  // then the wait ended with the post, and left the task to the loop
  EXPECT_LT(std::chrono::steady_clock::now() - began, 30s);
  EXPECT_FALSE(ran);
  EXPECT_EQ(loop.RunUntilIdle(), 1u);
  EXPECT_TRUE(ran);
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

size_t Count(const std::vector<std::string>& seen, const std::string& what) {
  return static_cast<size_t>(std::count(seen.begin(), seen.end(), what));
}

TEST(UiTimers, ATwentyMillisecondTimerTicksOnTheVirtualClockUntilKilledOrItsControlGoes) {
  UiWindow w(uR"(<Window size="200,200"><VerticalLayout name="box"><List name="list"/></VerticalLayout></Window>)");
  CControlUI* list = w.Find(u"list");
  ASSERT_TRUE(w.manager.SetTimer(list, 4003, 20));
  ASSERT_TRUE(w.manager.SetTimer(list, 4004, 50));

  w.driver.Advance(19ms);
  EXPECT_TRUE(w.recorder.seen.empty());
  w.driver.Advance(81ms);
  EXPECT_EQ(Count(w.recorder.seen, "timer:list:4003"), 5u);
  EXPECT_EQ(Count(w.recorder.seen, "timer:list:4004"), 2u);

  EXPECT_TRUE(w.manager.KillTimer(list, 4003));
  w.recorder.seen.clear();
  w.driver.Advance(200ms);
  EXPECT_EQ(Count(w.recorder.seen, "timer:list:4003"), 0u);
  EXPECT_EQ(Count(w.recorder.seen, "timer:list:4004"), 4u);
  EXPECT_FALSE(w.manager.KillTimer(list, 4003));

  w.Find<CContainerUI>(u"box")->RemoveAll();  // the 50 ms timer ends with its control
  w.recorder.seen.clear();
  w.driver.Advance(100ms);
  EXPECT_TRUE(w.recorder.seen.empty());
}

TEST(UiTimers, AHandlerThatKillsItsTimerHearsNoFurtherTick) {
  UiWindow w(uR"(<Window size="200,200"><List name="list"/></Window>)");
  CControlUI* list = w.Find(u"list");
  int ticks = 0;
  list->OnNotify += CDelegate(&ticks, "kill", 4, [&](TNotifyUI& msg) {
    if (msg.sType == DUI_MSGTYPE_TIMER && ++ticks == 3) w.manager.KillTimer(list, 4006);
    return true;
  });
  w.manager.SetTimer(list, 4006, 20);
  w.driver.Advance(1s);
  EXPECT_EQ(ticks, 3);
}

TEST(FrameAnimation, PlaysFramesOnItsOwnTimerWithoutNotifyingThePage) {
  UiWindow w(uR"(<Window size="200,200"><VerticalLayout><AnimPanel name="busy"
      frameimage="file='drawable/hardware/Loading/loading_.png'" firstframe="1" lastframe="30" elapse="20"/>
      </VerticalLayout></Window>)");
  auto* busy = w.Find<CAnimPanelUI>(u"busy");
  busy->Play();
  EXPECT_EQ(busy->GetCurrentFrameImage(), u"file='drawable/hardware/Loading/loading_1.png'");
  w.driver.Advance(120ms);
  EXPECT_EQ(busy->GetCurrentFrame(), 7);
  EXPECT_EQ(busy->GetCurrentFrameImage(), u"file='drawable/hardware/Loading/loading_7.png'");
  w.driver.Advance(24 * 20ms);
  EXPECT_EQ(busy->GetCurrentFrame(), 1) << "after frame 30 the loop starts again";
  EXPECT_TRUE(w.recorder.seen.empty());

  busy->SetLoop(false);
  w.driver.Advance(2s);
  EXPECT_FALSE(busy->IsPlaying());
  EXPECT_EQ(busy->GetCurrentFrame(), 30);
  busy->Stop();
  EXPECT_EQ(busy->GetCurrentFrameImage(), u"");
}

TEST(FrameAnimation, StartsWhenThePanelJoinsAWindow) {
  UiWindow w(uR"(<Window size="200,200"><VerticalLayout name="box"/></Window>)");
  auto* busy = new CAnimPanelUI;
  busy->SetFrameImage(u"drawable/hardware/Loading/loading_.png");
  busy->SetLastFrame(30);
  busy->SetElapse(20);
  busy->Play();
  w.driver.Advance(100ms);
  EXPECT_EQ(busy->GetCurrentFrame(), 1);
  w.Find<CContainerUI>(u"box")->Add(busy);
  w.driver.Advance(100ms);
  EXPECT_EQ(busy->GetCurrentFrameImage(), u"drawable/hardware/Loading/loading_6.png");
}

}  // namespace
