// Timers of the controls and the frame animation, on the UI loop's virtual clock.
#include <gtest/gtest.h>

#include <algorithm>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIList.h"
#include "support/ui_window.h"

namespace {

using namespace std::chrono_literals;
using namespace DuiLib;
using testenv::UiWindow;

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
