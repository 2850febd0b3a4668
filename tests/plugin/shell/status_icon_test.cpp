// SetStatusIcon: the eight looks of an item's status icon.
#include "shell/status_icon.h"

#include <gtest/gtest.h>

#include "DuiLib/UIAnimPanel.h"
#include "support/ui_window.h"

namespace {

using namespace DuiLib;
using zel::sysdiagnose::SetStatusIcon;

constexpr std::u16string_view kOff = u"file='drawable/hardware/ic_check_off.png'";
constexpr std::u16string_view kOn = u"file='drawable/hardware/ic_check_on.png'";
constexpr std::u16string_view kBk = u"file='start.png'";

class StatusIconTest : public ::testing::Test {
 protected:
  // A 30-pixel icon with its images and a background, unticked and animating; the mouse as given.
  void Reset(bool mouse) {
    icon->SetNormalImage(u"start.png");
    icon->SetSelectedImage(u"start-sel.png");
    icon->SetBkImage(kBk);
    icon->SetFixedWidth(30);
    icon->SetFixedHeight(30);
    icon->SetMouseEnabled(mouse);
    icon->Selected(false, false);
    icon->Play();
    w.recorder.seen.clear();
  }

  testenv::UiWindow w{uR"(<Window size="100,100"><VerticalLayout><AnimPanel name="optChoose" width="30" height="30"
      frameimage="file='spin_.png'" lastframe="3" elapse="10"/></VerticalLayout></Window>)"};
  CAnimPanelUI* icon = w.Find<CAnimPanelUI>(u"optChoose");
};

TEST_F(StatusIconTest, EachKnownStatusSetsItsLook) {
  const struct {
    int status;
    bool mouse;
    std::u16string_view normal, selected, background;
    int size;
    bool playing;
  } looks[] = {
      {0, true, u"start.png", u"start-sel.png", kBk, 30, true},
      {9, true, u"start.png", u"start-sel.png", kBk, 30, true},
      {-1, true, u"start.png", u"start-sel.png", kBk, 30, true},
      {4, true, u"start.png", u"start-sel.png", kBk, 30, false},  // only stops the animation
      {1, true, kOff, kOn, u"", 20, false},
      {2, false, u"", u"start-sel.png", kBk, 20, true},
      {3, false, u"start.png", u"start-sel.png", u"file='drawable/hardware/ico_right.png'", 18, false},
      {5, false, u"start.png", u"start-sel.png", u"file='drawable/hardware/ic_unusual.png'", 20, false},
      {6, true, u"", u"", u"", 20, false},
      {7, false, u"start.png", u"start-sel.png", u"file='drawable/hardware/ic_restart.png'", 20, false},
      {8, false, u"start.png", u"start-sel.png", u"file='drawable/hardware/ic_turnoff.png'", 20, false},
  };
  for (const auto& look : looks) {
    SCOPED_TRACE(look.status);
    Reset(/*mouse=*/look.status != 1 && look.status != 6);  // so that turning it on shows

    SetStatusIcon(icon, look.status);

    EXPECT_EQ(icon->IsMouseEnabled(), look.mouse);
    EXPECT_EQ(icon->GetNormalImage(), look.normal);
    EXPECT_EQ(icon->GetSelectedImage(), look.selected);
    EXPECT_EQ(icon->GetBkImage(), look.background);
    EXPECT_EQ(icon->GetFixedWidth(), look.size);
    EXPECT_EQ(icon->GetFixedHeight(), look.size);
    EXPECT_EQ(icon->IsPlaying(), look.playing);
    EXPECT_EQ(icon->IsSelected(), look.status == 1) << "the check box look ticks the box";
    EXPECT_EQ(w.recorder.seen, look.status == 1 ? std::vector<std::string>{"selectchanged:optChoose"}
                                                : std::vector<std::string>{});
  }
  SetStatusIcon(nullptr, 3);
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

}  // namespace
