// PageScan driven as the user meets it: a described notebook, the shipped catalogue, the real
// scan thread, and the UI loop on its virtual clock, moved only while the page animates.
#include "ui/page_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "DataReport/EventDataReport.h"
#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UICulture.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIMessageLoop.h"
#include "hardware/hardware_details.h"
#include "model/hardware_catalog.h"
#include "support/full_catalogue.h"
#include "support/page_window.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

using namespace std::chrono_literals;
using DuiLib::CContainerUI;
using DuiLib::CControlUI;

// Processor and memory (two modules, so a separator) have information; most categories have
// none and show one empty line.
constexpr const char* kNotebook = R"({"hardware": {
    "cpu": {"name": "Core i5-8250U", "manufacturer": "GenuineIntel", "cores": 4, "threads": 8},
    "memory": {"totalMB": 12288, "modules": [{"capacityMB": 4096, "partNumber": "HMA851"},
                                              {"capacityMB": 8192, "partNumber": "CT8G4"}]}}})";

std::u16string Text(std::u16string_view key) { return UICulture::GetInstance().GetString(key); }
std::u16string Selected(int n) { return UICulture::GetInstance().GetMultiVarStr(u"IDS_HARDWARE_DETECT_SELECTED", {n}); }

std::vector<tagHardwareDetailInfo> RowsOf(enmHardwareID category) {
  std::vector<tagHardwareDetailInfo> rows;
  CollectHardwareDetails(category, [&](enmHardwareID, tagHardwareDetailInfo& row) {
    rows.push_back(row);
    return true;
  });
  return rows;
}

std::vector<std::string> ScanEvents() {
  std::vector<std::string> ids;
  for (const auto& [id, value] : EventDataReport::Instance().SentEvents()) {
    if (id.starts_with("62000000") || id == "620000010") ids.push_back(id + "=" + value);
  }
  return ids;
}

class PageScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testenv::UseMachine(kNotebook);
    EventDataReport::Instance().ClearSentEvents();
    for (const auto& item : GetHardwareCatalog().Items()) catalogue.push_back(static_cast<enmHardwareID>(item.id));
    w.page.SetSwitchPageCallback([this](enumPageType page) { switches.push_back(page); });
    w.page.SetSelectionCallback([this](const std::vector<enmHardwareID>& chosen) { selections.push_back(chosen); });
    list = w.Find<DuiLib::CListUI>(u"lstSysdiagnoseScanItems");
  }
  // A scan never outlives its test's machine.
  void TearDown() override { EXPECT_TRUE(Pump([this] { return !w.page.IsScanRunning(); })); }

  bool Animating() const {
    return w.window.manager.HasTimer(list, PageScan::kRowGrowthTimer) ||
           w.window.manager.HasTimer(list, PageScan::kBackToTopTimer);
  }

  // Runs the UI loop until `done` holds: the clock moves one animation step at a time while the
  // page animates, else the loop waits for the scan thread's next row. `observe` sees the page
  // after every task and every step.
  bool Pump(const std::function<bool()>& done, const std::function<void()>& observe = [] {}) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    const auto check = [&] {
      observe();
      return done();
    };
    while (!check()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      if (Animating()) {
        w.window.driver.Advance(20ms);
      } else {
        UIMessageLoop::Instance().RunUntil([&] { return check() || Animating(); }, 50ms);
      }
    }
    return true;
  }

  bool ReadyLookShown() { return w.Find(u"lytScanExecute")->IsVisible(); }
  bool ScanToReadyLook() {
    w.page.StartScan();
    return Pump([this] { return ReadyLookShown() && !Animating() && !w.page.IsScanRunning(); });
  }

  CControlUI* ItemRoot(size_t i) { return list->GetItemAt(static_cast<int>(i)); }
  CControlUI* Sub(CControlUI* root, std::u16string_view name) { return w.window.manager.FindSubControlByName(root, name); }
  CContainerUI* RowsOfItem(size_t i) { return dynamic_cast<CContainerUI*>(Sub(ItemRoot(i), u"lytItems")); }
  DuiLib::CAnimPanelUI* Choose(size_t i) { return dynamic_cast<DuiLib::CAnimPanelUI*>(Sub(ItemRoot(i), u"optChoose")); }
  std::u16string SecondTitle() { return w.Find(u"txtSysdiagnoseScanSecondTitle")->GetText(); }
  CControlUI* DetectButton() { return w.Find(u"btnSysdiagnoseDetect"); }
  size_t IndexOf(enmHardwareID category) {
    return static_cast<size_t>(std::find(catalogue.begin(), catalogue.end(), category) - catalogue.begin());
  }

  testenv::PageWindow<PageScan> w;
  DuiLib::CListUI* list = nullptr;
  std::vector<enmHardwareID> catalogue;
  std::vector<enumPageType> switches;
  std::vector<std::vector<enmHardwareID>> selections;
};

TEST_F(PageScanTest, EveryRowGrowsIntoViewBeforeTheNextArrivesAndTheReadyLookWaitsForTheTop) {
  // Given the rows the collectors give for each category
  std::vector<std::u16string> expectedTitles;
  std::string foundFlags;
  for (enmHardwareID category : catalogue) {
    foundFlags += std::string(foundFlags.empty() ? "" : ",") + (CollectHardwareDetails(category, [](enmHardwareID, tagHardwareDetailInfo&) { return true; }) ? "1" : "0");
    tagXmlUIInfo info;
    GetHardwareCatalog().GetUIInfo(category, info);
    for (const auto& row : RowsOf(category)) {
      const std::u16string title = Text(u"IDS_HARDWARE_DETECT_DO_SCANNING") + u" " + info.detectName + row.title;
      if (row.separator == 0 && !row.content.empty() && (expectedTitles.empty() || expectedTitles.back() != title)) {
        expectedTitles.push_back(title);
      }
    }
  }

  // When the page is entered and watched after every task and animation step
  int lastTotalRows = 0;
  size_t lastItem = 0;
  int lastItemFullHeight = 0;
  int deepestScroll = 0;
  bool grewBeforeNextRow = true, readyOnlyAtTop = true, onlyLastItemBusy = true;
  std::vector<std::u16string> titlesSeen;
  const auto observe = [&] {
    const int items = list->GetCount();
    int total = 0;
    for (int i = 0; i < items; ++i) total += RowsOfItem(static_cast<size_t>(i))->GetCount();
    // Heights only grow while rows arrive: when a row has come, the item of the row before
    // must stand at least at its full height for the rows it had then.
    if (total > lastTotalRows && lastTotalRows > 0) {
      grewBeforeNextRow &= ItemRoot(lastItem)->GetFixedHeight() >= lastItemFullHeight;
    }
    if (items > 0) {
      lastItem = static_cast<size_t>(items - 1);
      lastItemFullHeight = 17 + 40 + std::max(64, 32 * RowsOfItem(lastItem)->GetCount());
    }
    lastTotalRows = total;
    const int scroll = list->GetScrollPos().cy;
    deepestScroll = std::max(deepestScroll, scroll);
    if (ReadyLookShown()) {
      readyOnlyAtTop &= scroll == 0;
      return;
    }
    for (int i = 0; i < items; ++i) {
      const bool last = i == items - 1;
      onlyLastItemBusy &= Choose(static_cast<size_t>(i))->IsPlaying() == last;
      onlyLastItemBusy &= Sub(ItemRoot(static_cast<size_t>(i)), u"lytLine")->IsVisible() == !last;
    }
    const std::u16string title = SecondTitle();
    if (!title.empty() && (titlesSeen.empty() || titlesSeen.back() != title)) titlesSeen.push_back(title);
  };
  w.page.StartScan();
  ASSERT_TRUE(Pump([this] { return ReadyLookShown() && !Animating() && !w.page.IsScanRunning(); }, observe));

  // Then each row waited for the growth of the one before, and the list was back at the top
  // before the ready look showed
  EXPECT_TRUE(grewBeforeNextRow);
  EXPECT_GT(deepestScroll, 0) << "the list followed the rows to its end";
  EXPECT_TRUE(readyOnlyAtTop);
  EXPECT_TRUE(onlyLastItemBusy);
  EXPECT_EQ(titlesSeen, expectedTitles);
  // and the ready look has every item ticked
  EXPECT_EQ(w.page.ScanOrder(), catalogue);
  for (size_t i = 0; i < catalogue.size(); ++i) EXPECT_TRUE(Choose(i)->IsSelected()) << "item " << i;
  EXPECT_EQ(w.Find(u"txtSysdiagnoseScanFirstTitle")->GetText(), Text(u"IDS_HARDWARE_DIAGNOSE_ALL"));
  EXPECT_EQ(SecondTitle(), Selected(12));
  EXPECT_EQ(w.Find(u"lytScanExecute")->GetFixedWidth(), 140);
  EXPECT_FALSE(w.Find(u"lytScanCancel")->IsVisible());
  EXPECT_EQ(w.Find(u"lytScanCancel")->GetFixedWidth(), 0);
  EXPECT_TRUE(DetectButton()->IsEnabled());
  EXPECT_EQ(ScanEvents(), (std::vector<std::string>{"620000010=" + foundFlags}));
}

TEST_F(PageScanTest, EachItemShowsItsCategorysRowsAndAnEmptyCategoryOneEmptyLineOf64) {
  ASSERT_TRUE(ScanToReadyLook());

  for (size_t i = 0; i < catalogue.size(); ++i) {
    const auto expected = RowsOf(catalogue[i]);
    CContainerUI* rows = RowsOfItem(i);
    ASSERT_EQ(rows->GetCount(), static_cast<int>(expected.size())) << "category " << catalogue[i];
    for (size_t r = 0; r < expected.size(); ++r) {
      if (expected[r].separator == 1) continue;
      CControlUI* line = rows->GetItemAt(static_cast<int>(r));
      EXPECT_EQ(Sub(line, u"txtTitle")->GetText(), expected[r].title);
      EXPECT_EQ(Sub(line, u"txtContent")->GetText(), expected[r].content);
    }
    EXPECT_EQ(Sub(ItemRoot(i), u"lytContent")->GetFixedHeight(), std::max<int>(64, 32 * static_cast<int>(expected.size())));
  }
  const size_t bluetooth = IndexOf(HARDWARE_BLUETOOTH);
  ASSERT_EQ(RowsOfItem(bluetooth)->GetCount(), 1);
  EXPECT_EQ(Sub(RowsOfItem(bluetooth)->GetItemAt(0), u"txtContent")->GetText(), u"");
  EXPECT_EQ(Sub(ItemRoot(bluetooth), u"lytContent")->GetFixedHeight(), 64);
  tagXmlUIInfo cpu;
  GetHardwareCatalog().GetUIInfo(HARDWARE_CPU, cpu);
  EXPECT_EQ(Sub(ItemRoot(IndexOf(HARDWARE_CPU)), u"txtName")->GetText(), cpu.detectName);
  EXPECT_EQ(Sub(ItemRoot(IndexOf(HARDWARE_CPU)), u"txtDescription")->GetText(), u"Core i5-8250U");
  EXPECT_EQ(Sub(ItemRoot(IndexOf(HARDWARE_CPU)), u"ctlSmallIcon")->GetBkImage(), cpu.icon30);
}

TEST_F(PageScanTest, TheSelectedCountCountsTickedItemsAndNoneDisablesTheDetectButton) {
  ASSERT_TRUE(ScanToReadyLook());

  w.window.driver.Tick(Choose(0), false);
  w.window.driver.Tick(Choose(2), false);
  EXPECT_EQ(SecondTitle(), Selected(10));
  EXPECT_TRUE(DetectButton()->IsEnabled());

  for (size_t i = 0; i < catalogue.size(); ++i) w.window.driver.Tick(Choose(i), false);
  EXPECT_EQ(SecondTitle(), Selected(0));
  EXPECT_FALSE(DetectButton()->IsEnabled());

  w.window.driver.Tick(Choose(5), true);
  EXPECT_EQ(SecondTitle(), Selected(1));
  EXPECT_TRUE(DetectButton()->IsEnabled());
}

TEST_F(PageScanTest, TheDetectButtonHandsOverTheTickedCategoriesInListOrder) {
  ASSERT_TRUE(ScanToReadyLook());
  const std::vector<enmHardwareID> keep{HARDWARE_AUDIO, HARDWARE_MEMORY, HARDWARE_CPU};
  for (size_t i = 0; i < catalogue.size(); ++i) {
    w.window.driver.Tick(Choose(i), std::count(keep.begin(), keep.end(), catalogue[i]) > 0);
  }
  EventDataReport::Instance().ClearSentEvents();

  ASSERT_TRUE(w.window.driver.Click(u"btnSysdiagnoseDetect"));

  // The shipped catalogue lists the processor first and audio seventh.
  EXPECT_EQ(selections, (std::vector<std::vector<enmHardwareID>>{{HARDWARE_CPU, HARDWARE_MEMORY, HARDWARE_AUDIO}}));
  EXPECT_EQ(switches, (std::vector<enumPageType>{PAGE_DETECT}));
  EXPECT_EQ(ScanEvents(), (std::vector<std::string>{"620000003="}));
}

TEST_F(PageScanTest, CancelDuringTheScanLetsTheCurrentCategoryFinishThenGoesToTheHistory) {
  w.page.StartScan();
  ASSERT_TRUE(Pump([this] { return list->GetCount() == 1; }));
  CControlUI* cancel = w.Find(u"btnSysdiagnoseScanCancel");

  ASSERT_TRUE(w.window.driver.Click(cancel));
  EXPECT_FALSE(cancel->IsEnabled());
  ASSERT_TRUE(Pump([this] { return !switches.empty(); }));

  EXPECT_EQ(switches, (std::vector<enumPageType>{PAGE_ARCHIEVEMENT}));
  EXPECT_EQ(w.page.ScanOrder(), (std::vector<enmHardwareID>{catalogue[0]}));
  EXPECT_EQ(RowsOfItem(0)->GetCount(), static_cast<int>(RowsOf(catalogue[0]).size()));
  EXPECT_TRUE(cancel->IsEnabled());
  EXPECT_FALSE(ReadyLookShown());
  EXPECT_EQ(ScanEvents(), (std::vector<std::string>{"620000006="}));
}

TEST_F(PageScanTest, CancelAfterTheScanThreadEndedGoesStraightToTheHistory) {
  w.page.StartScan();
  ASSERT_TRUE(Pump([this] {
    return !w.page.IsScanRunning() && w.window.manager.HasTimer(list, PageScan::kBackToTopTimer);
  }));

  ASSERT_TRUE(w.window.driver.Click(u"btnSysdiagnoseScanCancel"));
  w.window.driver.RunPending();

  EXPECT_EQ(switches, (std::vector<enumPageType>{PAGE_ARCHIEVEMENT}));
  EXPECT_TRUE(w.Find(u"btnSysdiagnoseScanCancel")->IsEnabled());
}

TEST_F(PageScanTest, BackGoesToTheHistoryAtOnce) {
  w.page.StartScan();
  ASSERT_TRUE(Pump([this] { return list->GetCount() == 2; }));

  ASSERT_TRUE(w.window.driver.Click(u"btnSysdiagnoseScanBack"));

  EXPECT_EQ(switches, (std::vector<enumPageType>{PAGE_ARCHIEVEMENT}));
  EXPECT_EQ(ScanEvents(), (std::vector<std::string>{"620000002="}));
}

TEST_F(PageScanTest, EnteringAgainMidScanStartsOverWithoutRowsOfTheScanBefore) {
  w.page.StartScan();
  ASSERT_TRUE(Pump([this] { return list->GetCount() == 2; }));

  ASSERT_TRUE(ScanToReadyLook());

  EXPECT_EQ(w.page.ScanOrder(), catalogue);
  ASSERT_EQ(list->GetCount(), static_cast<int>(catalogue.size()));
  for (size_t i = 0; i < catalogue.size(); ++i) {
    EXPECT_EQ(RowsOfItem(i)->GetCount(), static_cast<int>(RowsOf(catalogue[i]).size())) << "category " << catalogue[i];
  }
}

TEST(PageScanWithoutList, TheScanThreadIsReleasedRatherThanLeftWaiting) {
  testenv::UseMachine(kNotebook);
  testenv::PageWindow<PageScan> w(/*init=*/false);

  w.page.StartScan();

  EXPECT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return !w.page.IsScanRunning(); }, 30s));
  EXPECT_EQ(w.Find<CContainerUI>(u"lstSysdiagnoseScanItems")->GetCount(), 0);
}

}  // namespace
}  // namespace zel::sysdiagnose
