// SetStatusIcon: the eight looks of an item's status icon.
#include "shell/status_icon.h"

#include <gtest/gtest.h>

#include "DuiLib/UIAnimPanel.h"
#include "support/ui_window.h"

namespace {

using namespace DuiLib;
using zel::sysdiagnose::SetStatusIcon;

struct Look {
  int status;
  bool mouse;
  std::u16string_view normal;
  std::u16string_view selected;
  std::u16string_view background;
  int size;
  bool playing;
};

// What each status leaves on an icon that started as a ticked check box with a background.
constexpr std::u16string_view kOff = u"file='drawable/hardware/ic_check_off.png'";
constexpr std::u16string_view kOn = u"file='drawable/hardware/ic_check_on.png'";
constexpr std::u16string_view kBk = u"file='start.png'";
constexpr Look kLooks[] = {
    {1, true, kOff, kOn, u"", 20, false},
    {2, false, u"", u"start-sel.png", kBk, 20, true},
    {3, false, u"start.png", u"start-sel.png", u"file='drawable/hardware/ico_right.png'", 18, false},
    {5, false, u"start.png", u"start-sel.png", u"file='drawable/hardware/ic_unusual.png'", 20, false},
    {6, true, u"", u"", u"", 20, false},
    {7, false, u"start.png", u"start-sel.png", u"file='drawable/hardware/ic_restart.png'", 20, false},
    {8, false, u"start.png", u"start-sel.png", u"file='drawable/hardware/ic_turnoff.png'", 20, false},
};

class StatusIconTest : public ::testing::Test {
 protected:
  StatusIconTest() {
    icon = w.Find<CAnimPanelUI>(u"optChoose");
    icon->SetNormalImage(u"start.png");
    icon->SetSelectedImage(u"start-sel.png");
    icon->SetBkImage(kBk);
    icon->SetMouseEnabled(true);
    icon->SetFrameImage(u"file='spin_.png'");
    icon->SetLastFrame(3);
    icon->SetElapse(10);
    icon->Play();
    w.recorder.seen.clear();
  }

  testenv::UiWindow w{uR"(<Window size="100,100"><VerticalLayout><AnimPanel name="optChoose" width="30" height="30"/></VerticalLayout></Window>)"};
  CAnimPanelUI* icon = nullptr;
};

TEST_F(StatusIconTest, EachStatusStopsTheAnimationAndSetsItsLook) {
  for (const Look& look : kLooks) {
    SCOPED_TRACE(look.status);
    icon->SetNormalImage(u"start.png");
    icon->SetSelectedImage(u"start-sel.png");
    icon->SetBkImage(kBk);
    icon->SetMouseEnabled(look.status != 1 && look.status != 6 ? true : false);
    icon->Selected(false, false);
    icon->Play();

    SetStatusIcon(icon, look.status);

    EXPECT_EQ(icon->IsMouseEnabled(), look.mouse);
    EXPECT_EQ(icon->GetNormalImage(), look.normal);
    EXPECT_EQ(icon->GetSelectedImage(), look.selected);
    EXPECT_EQ(icon->GetBkImage(), look.background);
    EXPECT_EQ(icon->GetFixedWidth(), look.size);
    EXPECT_EQ(icon->GetFixedHeight(), look.size);
    EXPECT_EQ(icon->IsPlaying(), look.playing);
    EXPECT_EQ(icon->IsSelected(), look.status == 1);
  }
}

TEST_F(StatusIconTest, TheBusyLookLoopsThirtyFramesOfTwentyMilliseconds) {
  SetStatusIcon(icon, 2);
  EXPECT_EQ(icon->GetFrameImage(), u"file='drawable/hardware/Loading/loading_.png'");
  EXPECT_EQ(icon->GetFirstFrame(), 1);
  EXPECT_EQ(icon->GetLastFrame(), 30);
  EXPECT_TRUE(icon->IsLoop());
  EXPECT_EQ(icon->GetElapse(), 20u);
  w.driver.Advance(std::chrono::milliseconds(30 * 20));
  EXPECT_EQ(icon->GetCurrentFrame(), 1);
}

TEST_F(StatusIconTest, TheCheckBoxLookTicksTheBoxWithItsEvent) {
  SetStatusIcon(icon, 1);
  EXPECT_EQ(w.recorder.seen, (std::vector<std::string>{"selectchanged:optChoose"}));
}

TEST_F(StatusIconTest, OutOfRangeStatusesChangeNothingAndFourOnlyStopsTheAnimation) {
  for (int status : {0, 9, -1}) {
    SetStatusIcon(icon, status);
    EXPECT_TRUE(icon->IsPlaying()) << status;
  }
  SetStatusIcon(nullptr, 3);
  SetStatusIcon(icon, 4);

  EXPECT_FALSE(icon->IsPlaying());
  EXPECT_TRUE(icon->IsMouseEnabled());
  EXPECT_EQ(icon->GetNormalImage(), u"start.png");
  EXPECT_EQ(icon->GetSelectedImage(), u"start-sel.png");
  EXPECT_EQ(icon->GetBkImage(), kBk);
  EXPECT_EQ(icon->GetFixedWidth(), 30);
  EXPECT_TRUE(w.recorder.seen.empty());
}

}  // namespace
