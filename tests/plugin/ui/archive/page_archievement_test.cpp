// PageArchievement on a history seeded through the record store, at fixed local times of a zone
// without daylight saving, driven through the UI loop's virtual clock.
#include "ui/page_archievement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "DataReport/EventDataReport.h"
#include "DuiLib/UICulture.h"
#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UIOption.h"
#include "DuiLib/UIRender.h"
#include "history/diagnose_history.h"
#include "model/hardware_state.h"
#include "platform/encoding.h"
#include "support/full_catalogue.h"
#include "support/page_window.h"
#include "support/test_env.h"
#include "support/ui_pump.h"

namespace zel::sysdiagnose {
namespace {

using namespace std::chrono_literals;
using DuiLib::CControlUI;
using DuiLib::COptionUI;

constexpr int64_t kDay = 86400;

// Seconds since 1970 of a wall-clock time of the zone "CST-8" (UTC+8).
int64_t Local(int year, int month, int day, int hour, int minute, int second) {
  return testenv::Utc(year, month, day, hour, minute, second) - 8 * 3600;
}

const int64_t kToday = Local(2026, 3, 9, 0, 0, 0);
const int64_t kNow = kToday + 15 * 3600;

std::u16string Text(std::u16string_view key) { return UICulture::GetInstance().GetString(key); }
std::u16string DaysAgo(int n) {
  return UICulture::GetInstance().GetMultiVarStr(u"IDS_HARDWARE_DETECT_MAIN_BEFORE_DAY", {n});
}

// A stored run: its moment and one state per category in id order (audio, mainboard, Bluetooth,
// network, processor, memory, disks, graphics, display, battery, keyboard, fingerprint): a digit
// is the stored state, '-' not diagnosed.
struct SeededRun {
  int64_t at;
  std::string_view states;
};

constexpr std::string_view kAllNormal = "000000000000";

class PageArchievementTest : public ::testing::Test {
 protected:
  PageArchievementTest() {
    testenv::UseEmptyMachine();
    EventDataReport::Instance().ClearSentEvents();
  }
  ~PageArchievementTest() override {
    w_.reset();
    testenv::UseEmptyMachine();
  }

  void Seed(const std::vector<SeededRun>& runs) {
    for (const SeededRun& run : runs) {
      tagDiagnoseRecord record = ResetDiagnoseRecord();
      for (int32_t id = 0; id < kHardwareCategoryCount; ++id) {
        *StateOf(record, id) = run.states[static_cast<size_t>(id)] == '-' ? -1 : run.states[static_cast<size_t>(id)] - '0';
      }
      now_ = run.at;
      DiagnoseHistory::SaveDiagnoseRecord(record);
    }
    now_ = kNow;
  }

  // Shows the page as the page host does, and lets the legend and both animations finish.
  void Open() {
    w_ = std::make_unique<testenv::PageWindow<PageArchievement>>();
    w_->page.SetSwitchPageCallback([this](enumPageType page) { switches.push_back(page); });
    CControlUI* track = Find(u"lyt_hardware_norm_state");
    const int layoutWidth = track->GetFixedWidth();
    ASSERT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return track->GetFixedWidth() != layoutWidth; }, 10s))
        << "the legend was never laid out";
    Settle();
  }
  void Settle() {
    CControlUI* list = Find(u"lstSysdiagnoseArchieve");
    const auto animating = [&] {
      return w_->window.manager.HasTimer(list, PageArchievement::kDayBarTimer) ||
             w_->window.manager.HasTimer(list, PageArchievement::kSummaryTimer);
    };
    EXPECT_TRUE(testenv::PumpUntil([&] { return !animating(); }, animating, [] {}, 10s)) << "the animations never ended";
  }

  PageArchievement& Page() { return w_->page; }
  CControlUI* Find(std::u16string_view name) { return w_->Find(name); }
  COptionUI* BarOf(int k) {
    const std::u16string name = u"optSysdiagnoseDateItem" + platform::Utf8ToUtf16(std::to_string(k));
    return dynamic_cast<COptionUI*>(w_->window.manager.FindControl(name));
  }
  std::u16string Label(int k) { return Find(u"txt_hardware_his" + platform::Utf8ToUtf16(std::to_string(k)))->GetText(); }
  // The category lines' marks, in catalogue order: "ok", "bad" or "" (none).
  std::vector<std::string> Marks() {
    std::vector<std::string> marks;
    auto* detail = w_->Find<DuiLib::CContainerUI>(u"lytSysdiagnoseDetail");
    for (int i = 0; i < detail->GetCount(); ++i) {
      const std::u16string image = w_->window.manager.FindSubControlByName(detail->GetItemAt(i), u"ctlStatus")->GetBkImage();
      marks.push_back(image.find(u"ico_right") != std::u16string::npos    ? "ok"
                      : image.find(u"ic_unusual") != std::u16string::npos ? "bad"
                                                                            : "");
    }
    return marks;
  }
  static size_t CatalogueIndex(enmHardwareID id) {
    const auto& items = GetHardwareCatalog().Items();
    return std::ranges::find_if(items, [id](const auto& item) { return item.id == id; }) - items.begin();
  }

  testenv::ScopedDataDir dataDir_;
  int64_t now_ = kNow;
  testenv::ScopedClock clock_{"CST-8", [this] { return now_; }};
  std::vector<enumPageType> switches;
  std::unique_ptr<testenv::PageWindow<PageArchievement>> w_;
};

TEST_F(PageArchievementTest, WithoutRunsOneTodayBarInvitesTheFirstDiagnosis) {
  Open();

  EXPECT_TRUE(Page().DayItems().empty());
  ASSERT_NE(BarOf(0), nullptr);
  EXPECT_TRUE(BarOf(0)->IsSelected());
  EXPECT_EQ(BarOf(0)->GetFixedHeight(), 5);
  EXPECT_EQ(BarOf(1), nullptr);
  EXPECT_EQ(Label(0), Text(u"IDS_HARDWARE_DETECT_MAIN_TODAY"));
  for (int k = 1; k < 12; ++k) EXPECT_EQ(Label(k), u"");
  EXPECT_EQ(Find(u"txtSysdiagnoseArchievementSecondTitle")->GetText(), Text(u"IDS_HARDWARE_DETECT_MAIN_DETECT_NEW"));
  EXPECT_EQ(Marks(), std::vector<std::string>(12, ""));
  EXPECT_EQ(Find(u"lytSysdiagnoseDetail")->GetFixedHeight(), 12 * 40);
  EXPECT_FALSE(Find(u"lytSysdiagnoseNormal")->IsVisible());
  EXPECT_FALSE(Find(u"lytSysdiagnoseAbnormal")->IsVisible());
  EXPECT_EQ(Find(u"txtSysdiagnoseNormalNum")->GetText(), u"0");
  EXPECT_FALSE(Find(u"txtSysdiagnoseDateItemsTips")->IsVisible());
  // The legend labels take the wider text and the tracks the rest.
  const int label = Find(u"txt_hardware_norm_state")->GetFixedWidth();
  EXPECT_EQ(Find(u"txt_hardware_abnorm_state")->GetFixedWidth(), label);
  EXPECT_GT(label, 0);
  EXPECT_EQ(Find(u"lyt_hardware_norm_state")->GetFixedWidth() + label, 546);
  EXPECT_EQ(Find(u"lyt_hardware_abnorm_state")->GetFixedWidth() + label, 546);

  ASSERT_TRUE(w_->window.driver.Click(u"btnSysdiagnoseScan"));
  EXPECT_EQ(switches, (std::vector<enumPageType>{PAGE_SCAN}));
  EXPECT_EQ(EventDataReport::Instance().SentEvents(), (std::vector<std::pair<std::string, std::string>>{{"620000001", ""}}));
}

TEST_F(PageArchievementTest, DaysWithRunsBecomeBarsOfTheirLatestRunOldestLeftWithHeightsByTheirNormalCount) {
  // Given runs five days ago (none normal), two days ago (6 of 12) and today, first all normal,
  // later 10 of 12; no run on the days between
  Seed({{kToday - 5 * kDay + 10 * 3600, "111111111111"},
        {kToday - 2 * kDay + 10 * 3600, "000000111111"},
        {kToday + 9 * 3600, kAllNormal},
        {kToday + 10 * 3600, "000000000011"}});

  Open();

  ASSERT_EQ(Page().DayItems().size(), 3u);
  std::vector<int> heights;
  for (int k = 0; k < 3; ++k) heights.push_back(BarOf(k)->GetFixedHeight());
  EXPECT_EQ(heights, (std::vector<int>{5, 6 * 43 / 12 + 5, 10 * 43 / 12 + 5}));
  EXPECT_EQ(Label(0), DaysAgo(5));
  EXPECT_EQ(Label(1), DaysAgo(2));
  EXPECT_EQ(Label(2), Text(u"IDS_HARDWARE_DETECT_MAIN_TODAY"));
  EXPECT_EQ(Label(3), u"");
  EXPECT_TRUE(BarOf(2)->IsSelected());
  EXPECT_EQ(Page().DayItems()[2].secondTime, kToday + 10 * 3600);
  EXPECT_EQ(Page().ShownRun().secondTime, kToday + 10 * 3600);
  EXPECT_EQ(BarOf(2)->GetBkColor(), 0x677B6EF9u);
  EXPECT_EQ(BarOf(2)->GetSelectedBkColor2(), 0xB42D78FCu);
  for (int k = 3; k < 12; ++k) {
    ASSERT_NE(BarOf(k), nullptr);
    EXPECT_EQ(BarOf(k)->GetBkColor() >> 24, 0u) << "bar " << k << " is transparent";
    EXPECT_FALSE(w_->window.driver.IsReachable(BarOf(k))) << "bar " << k << " ignores the mouse";
  }
  EXPECT_EQ(Find(u"txtSysdiagnoseArchievementSecondTitle")->GetText(),
            UICulture::GetInstance().GetMultiVarStr(u"IDS_HARDWARE_DETECT_MAIN_LAST_ABNORM", {2}));
}

// Runs at 10:00 on each of the last `days` days, today included.
class PageArchievementDays : public PageArchievementTest, public ::testing::WithParamInterface<int> {};

TEST_P(PageArchievementDays, AtMostTwelveDaysAreShownTheMostRecentOnes) {
  const int days = GetParam();
  std::vector<SeededRun> runs;
  for (int d = days - 1; d >= 0; --d) runs.push_back({kToday - d * kDay + 10 * 3600, kAllNormal});
  Seed(runs);

  Open();

  const int shown = std::min(days, 12);
  ASSERT_EQ(Page().DayItems().size(), static_cast<size_t>(shown));
  EXPECT_EQ(Page().DayItems().front().secondTime, kToday - (shown - 1) * kDay + 10 * 3600);
  EXPECT_EQ(Label(0), DaysAgo(shown - 1));
  EXPECT_EQ(Label(shown - 2), Text(u"IDS_HARDWARE_DETECT_MAIN_YESTERDAY"));
  EXPECT_EQ(Label(shown - 1), Text(u"IDS_HARDWARE_DETECT_MAIN_TODAY"));
  EXPECT_TRUE(BarOf(shown - 1)->IsSelected());
  EXPECT_EQ(Find(u"txtSysdiagnoseArchievementSecondTitle")->GetText(), Text(u"IDS_HARDWARE_DETECT_MAIN_LAST_NORM"));
}

INSTANTIATE_TEST_SUITE_P(TwelveAndThirteen, PageArchievementDays, ::testing::Values(12, 13));

// Twelve days of runs, the oldest 13 days ago (the longest label), in each language and at each
// screen density: every day's label fits its box, the boxes stand apart, each under its own bar and
// all inside the chart.
class PageArchievementLabels : public PageArchievementTest,
                               public ::testing::WithParamInterface<std::tuple<const char*, int>> {};

TEST_P(PageArchievementLabels, TwelveDayLabelsFitTheirBoxesUnderTheirBarsInsideTheChart) {
  const auto [language, dpi] = GetParam();
  testenv::UseMachine(std::string(R"({"host": {"userLanguage": ")") + language + R"(", "dpi": )" +
                      std::to_string(dpi) + "}}");
  std::vector<SeededRun> runs{{kToday - 13 * kDay + 10 * 3600, kAllNormal}};
  for (int d = 10; d >= 0; --d) runs.push_back({kToday - d * kDay + 10 * 3600, kAllNormal});
  Seed(runs);

  Open();

  ASSERT_EQ(Page().DayItems().size(), 12u);
  EXPECT_EQ(Label(0), DaysAgo(13));
  CControlUI* first = Find(u"txt_hardware_his0");
  const RECT chart = first->GetParent()->GetParent()->GetPos();
  RECT previous{chart.left, 0, chart.left, 0};
  for (int k = 0; k < 12; ++k) {
    SCOPED_TRACE("label " + std::to_string(k));
    CControlUI* label = Find(u"txt_hardware_his" + platform::Utf8ToUtf16(std::to_string(k)));
    const RECT box = label->GetPos();
    const RECT padding = label->GetTextPadding();
    RECT text{0, 0, box.right - box.left - padding.left - padding.right, 9999};
    DuiLib::CRenderEngine::DrawText(&w_->window.manager, text, label->GetText(), 0, label->GetFont(),
                                    label->GetTextStyle() | DT_CALCRECT);
    EXPECT_LE(text.right, box.right - box.left - padding.left - padding.right) << "the text fits the box's width";
    EXPECT_LE(text.bottom, box.bottom - box.top - padding.top - padding.bottom) << "and its height";
    EXPECT_GE(box.left, previous.right) << "the boxes do not overlap";
    EXPECT_GE(box.left, chart.left);
    EXPECT_LE(box.right, chart.right);
    EXPECT_LE(box.bottom, chart.bottom);
    const RECT bar = BarOf(k)->GetPos();
    EXPECT_LE(std::abs((box.left + box.right) - (bar.left + bar.right)), 2) << "under its bar";
    previous = box;
  }
}

INSTANTIATE_TEST_SUITE_P(LanguagesAndDensities, PageArchievementLabels,
                         ::testing::Combine(::testing::Values("en-US", "zh-CN"), ::testing::Values(96, 120)));

TEST_F(PageArchievementTest, PickingADayShowsThatDaysRun) {
  // Given an older run with a fault on the processor and the disks and the graphics not
  // diagnosed, and a later run with every category normal
  Seed({{kToday - kDay + 10 * 3600, "0000102-0000"}, {kToday + 10 * 3600, kAllNormal}});
  Open();
  ASSERT_EQ(Marks(), std::vector<std::string>(12, "ok"));

  // When the older day's column is clicked
  ASSERT_TRUE(w_->window.driver.Click(u"btnSysdiagnoseDateItem0"));
  Settle();

  // Then its lines, its summary bar and the tip above its bar show that run
  EXPECT_TRUE(BarOf(0)->IsSelected());
  EXPECT_FALSE(BarOf(1)->IsSelected());
  std::vector<std::string> marks(12, "ok");
  marks[CatalogueIndex(HARDWARE_CPU)] = "bad";
  marks[CatalogueIndex(HARDWARE_DISK)] = "bad";
  marks[CatalogueIndex(HARDWARE_GPU)] = "";
  EXPECT_EQ(Marks(), marks);
  EXPECT_EQ(Find(u"txtSysdiagnoseDetailDate")->GetText(), Text(u"IDS_HARDWARE_DETECT_MAIN_YESTERDAY"));
  const int track = Find(u"lyt_hardware_norm_state")->GetFixedWidth();
  EXPECT_EQ(Find(u"lytSysdiagnoseNormal")->GetFixedWidth(), 9 * track / 11);
  EXPECT_EQ(Find(u"lytSysdiagnoseAbnormal")->GetFixedWidth(), 2 * track / 11);
  EXPECT_EQ(Find(u"txtSysdiagnoseNormalNum")->GetText(), u"9");
  EXPECT_EQ(Find(u"txtSysdiagnoseAbnormalNum")->GetText(), u"2");
  CControlUI* tip = Find(u"txtSysdiagnoseDateItemsTips");
  EXPECT_TRUE(tip->IsVisible());
  EXPECT_EQ(tip->GetText(), FormatCount(u"IDS_HARDWARE_DIAGNOSE_NUM_NORMAL", u"IDS_HARDWARE_DIAGNOSE_NUM_NORMAL", 9));
  const RECT bar = BarOf(0)->GetPos();
  const RECT at = tip->GetPos();
  EXPECT_LE(std::abs((at.left + at.right) - (bar.left + bar.right)), 2) << "the tip stands centred over its bar";
  EXPECT_EQ(at.bottom, bar.top) << "and right on top of it";

  // And back on the later day, the summary bar is all normal again
  ASSERT_TRUE(w_->window.driver.Click(u"btnSysdiagnoseDateItem1"));
  Settle();
  EXPECT_EQ(Find(u"lytSysdiagnoseNormal")->GetFixedWidth(), track);
  EXPECT_FALSE(Find(u"lytSysdiagnoseAbnormal")->IsVisible());
  EXPECT_EQ(Find(u"txtSysdiagnoseNormalNum")->GetText(), u"12");

  // And in a right-to-left interface the tip is mirrored within its parent
  ASSERT_TRUE(tip->IsVisible());
  const RECT leftToRight = tip->GetFloatPos();
  const int parentWidth = tip->GetParent()->GetWidth();

  testenv::UseMachine(R"({"host": {"rightToLeft": true}})");
  Page().Refresh();
  Settle();

  const RECT rightToLeft = tip->GetFloatPos();
  EXPECT_EQ(rightToLeft.left, parentWidth - leftToRight.right);
  EXPECT_EQ(rightToLeft.right, parentWidth - leftToRight.left);
  EXPECT_EQ(rightToLeft.top, leftToRight.top);
}

TEST_F(PageArchievementTest, TheTipOverTheFirstBarStaysInsideWhatClipsIt) {
  Seed({{kToday + 10 * 3600, kAllNormal}});
  Open();

  CControlUI* tip = Find(u"txtSysdiagnoseDateItemsTips");
  ASSERT_TRUE(tip->IsVisible());
  const RECT at = tip->GetPos();
  const RECT parent = tip->GetParent()->GetPos();
  EXPECT_GE(at.left, parent.left);
  EXPECT_LE(at.right, parent.right);
  EXPECT_GT(at.right - at.left, BarOf(0)->GetPos().right - BarOf(0)->GetPos().left) << "wider than its bar";
}

TEST_F(PageArchievementTest, DayLabelsCountWholeDaysBackFromTheStartOfToday) {
  const std::u16string today = Text(u"IDS_HARDWARE_DETECT_MAIN_TODAY");
  const std::u16string yesterday = Text(u"IDS_HARDWARE_DETECT_MAIN_YESTERDAY");
  const struct {
    int64_t at;
    std::u16string expected;
  } cases[] = {
      {kNow, today},
      {kToday + 1, today},
      {kToday, DaysAgo(1)},  // exactly at midnight the run counts as the day before
      {kToday - 1, yesterday},
      {kToday - kDay, yesterday},
      {kToday - kDay - 1, DaysAgo(2)},
      {kToday - 10 * kDay + 3600, DaysAgo(10)},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDayLabel(c.at), c.expected) << "at " << c.at - kToday;
}

TEST(FormatCount, TakesThePluralKeyAboveOneAndGivesNothingForABrokenPattern) {
  testenv::ScopedDataDir dataDir;
  EXPECT_EQ(FormatCount(u"IDS_HARDWARE_DIAGNOSE_NUM_NORMAL", u"IDS_HARDWARE_DIAGNOSE_NUM", 1), u"1 normal");
  EXPECT_EQ(FormatCount(u"IDS_HARDWARE_DIAGNOSE_NUM_NORMAL", u"IDS_HARDWARE_DIAGNOSE_NUM", 2), u"2");
  EXPECT_EQ(FormatCount(u"NO_SUCH_KEY_{0", u"NO_SUCH_KEY_{0", 1), u"");
}

}  // namespace
}  // namespace zel::sysdiagnose
