// PageScan driven as the user meets it: a described notebook, the shipped catalogue, the real
// scan thread, and the UI loop on its virtual clock, moved only while the page animates; and the
// scan page's item on its own.
#include "ui/page_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
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
#include "support/ui_pump.h"
#include "support/ui_window.h"
#include "ui/ctl_scan_item.h"

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

  bool Pump(const std::function<bool()>& done, const std::function<void()>& observe = [] {}) {
    return testenv::PumpUntil(done, [this] { return Animating(); }, observe);
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

TEST_F(PageScanTest, EachRowGrowsInBeforeTheNextArrivesUntilTheTickedItemsAreReadyAtTheTop) {
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
  // and the ready look has every category's item in catalogue order with its rows, ticked; a
  // category without information has one empty line in a content of 64
  EXPECT_EQ(w.page.ScanOrder(), catalogue);
  for (size_t i = 0; i < catalogue.size(); ++i) {
    const auto expected = RowsOf(catalogue[i]);
    CContainerUI* rows = RowsOfItem(i);
    ASSERT_EQ(rows->GetCount(), static_cast<int>(expected.size())) << "category " << catalogue[i];
    for (size_t r = 0; r < expected.size(); ++r) {
      if (expected[r].separator == 1) continue;
      EXPECT_EQ(Sub(rows->GetItemAt(static_cast<int>(r)), u"txtTitle")->GetText(), expected[r].title);
      EXPECT_EQ(Sub(rows->GetItemAt(static_cast<int>(r)), u"txtContent")->GetText(), expected[r].content);
    }
    EXPECT_EQ(Sub(ItemRoot(i), u"lytContent")->GetFixedHeight(), std::max(64, 32 * static_cast<int>(expected.size())));
    EXPECT_TRUE(Choose(i)->IsSelected()) << "item " << i;
  }
  EXPECT_EQ(RowsOfItem(IndexOf(HARDWARE_BLUETOOTH))->GetCount(), 1);
  EXPECT_EQ(Sub(ItemRoot(IndexOf(HARDWARE_CPU)), u"txtDescription")->GetText(), u"Core i5-8250U");
  EXPECT_EQ(w.Find(u"txtSysdiagnoseScanFirstTitle")->GetText(), Text(u"IDS_HARDWARE_DIAGNOSE_ALL"));
  EXPECT_EQ(SecondTitle(), Selected(12));
  EXPECT_EQ(w.Find(u"lytScanExecute")->GetFixedWidth(), 140);
  EXPECT_FALSE(w.Find(u"lytScanCancel")->IsVisible());
  EXPECT_EQ(w.Find(u"lytScanCancel")->GetFixedWidth(), 0);
  EXPECT_TRUE(DetectButton()->IsEnabled());
  EXPECT_EQ(w.page.GetState(), PageScan::State::kReady);
  EXPECT_EQ(ScanEvents(), (std::vector<std::string>{"620000010=" + foundFlags}));

  // When items are unticked and ticked, the count follows them and none disables the detect
  // button, which hands the ticked ones over in list order
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
  EXPECT_EQ(w.page.GetState(), PageScan::State::kCancelling);
  ASSERT_TRUE(Pump([this] { return !switches.empty(); }));

  EXPECT_EQ(switches, (std::vector<enumPageType>{PAGE_ARCHIEVEMENT}));
  EXPECT_EQ(w.page.ScanOrder(), (std::vector<enmHardwareID>{catalogue[0]}));
  EXPECT_EQ(RowsOfItem(0)->GetCount(), static_cast<int>(RowsOf(catalogue[0]).size()));
  EXPECT_TRUE(cancel->IsEnabled());
  EXPECT_EQ(w.page.GetState(), PageScan::State::kCancelled);
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

// Threads of this process: a scan left waiting for a page that moved on would stay among them.
size_t ThreadCount() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}));
}

TEST_F(PageScanTest, EnteringAgainStartsOverWithoutRowsOfTheScanBefore) {
  const size_t threadsBefore = ThreadCount();
  w.page.StartScan();
  ASSERT_TRUE(Pump([this] { return list->GetCount() == 2; }));

  ASSERT_TRUE(w.window.driver.Click(u"btnSysdiagnoseScanBack"));
  EXPECT_EQ(switches, (std::vector<enumPageType>{PAGE_ARCHIEVEMENT}));
  EXPECT_EQ(ScanEvents(), (std::vector<std::string>{"620000002="}));

  ASSERT_TRUE(w.page.IsScanRunning()) << "the scan before runs on";
  ASSERT_TRUE(ScanToReadyLook());
  EXPECT_EQ(w.page.ScanOrder(), catalogue);
  ASSERT_EQ(list->GetCount(), static_cast<int>(catalogue.size()));
  for (size_t i = 0; i < catalogue.size(); ++i) {
    EXPECT_EQ(RowsOfItem(i)->GetCount(), static_cast<int>(RowsOf(catalogue[i]).size())) << "category " << catalogue[i];
  }
  // and the scan before, waiting on a row of the old page, was let go
  EXPECT_TRUE(Pump([&] { return ThreadCount() <= threadsBefore; }));
}

TEST(PageScanWithoutList, TheScanThreadIsReleasedRatherThanLeftWaiting) {
  testenv::UseMachine(kNotebook);
  testenv::PageWindow<PageScan> w(/*init=*/false);

  w.page.StartScan();

  EXPECT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return !w.page.IsScanRunning(); }, 30s));
  EXPECT_EQ(w.Find<CContainerUI>(u"lstSysdiagnoseScanItems")->GetCount(), 0);
}

// CtlScanItem: rows, heights at every screen scale, the growth animation and folding.
class CtlScanItemTest : public ::testing::Test {
 protected:
  void SetUp() override { testenv::UseEmptyMachine(); }
  void TearDown() override { testenv::UseEmptyMachine(); }

  CControlUI* Sub(std::u16string_view name, const CtlScanItem* of = nullptr) {
    return w.manager.FindSubControlByName((of ? of : &item)->GetRoot(), name);
  }
  // Adds `rows` rows and grows the item to its full height: the root's height after each step.
  static std::vector<int> Grow(CtlScanItem& grown, int rows) {
    for (int i = 0; i < rows; ++i) grown.AddDetailRow({0, u"t", u"c"});
    std::vector<int> heights;
    for (bool done = false; !done && heights.size() < 20;) {
      done = grown.GrowStep();
      heights.push_back(grown.GetRoot()->GetFixedHeight());
    }
    return heights;
  }

  testenv::UiWindow w{u"<Window size='656,560'><List name='list'/></Window>"};
  CContainerUI* list = w.Find<CContainerUI>(u"list");
  CtlScanItem item;
};

TEST_F(CtlScanItemTest, RowsShowInArrivalOrder) {
  ASSERT_TRUE(item.Create(list));

  item.AddDetailRow({0, u"Model", u"Core i7"});
  item.AddSeparator();
  item.AddDetailRow({0, u"Cores", u"8"});

  auto* rows = dynamic_cast<CContainerUI*>(Sub(u"lytItems"));
  ASSERT_EQ(rows->GetCount(), 3);
  EXPECT_EQ(item.GetRowCount(), 3);
  EXPECT_EQ(w.manager.FindSubControlByName(rows->GetItemAt(0), u"txtContent")->GetText(), u"Core i7");
  EXPECT_EQ(w.manager.FindSubControlByName(rows->GetItemAt(2), u"txtTitle")->GetText(), u"Cores");
  auto* separator = dynamic_cast<CContainerUI*>(rows->GetItemAt(1));
  ASSERT_EQ(separator->GetCount(), 1);
  const CControlUI* rule = separator->GetItemAt(0);
  EXPECT_EQ(rule->GetFixedHeight(), 1);
  EXPECT_EQ(rule->GetBkColor(), 0xFFE5E5E5u);
  EXPECT_EQ(rule->GetPadding(), (RECT{0, 16, 0, 15}));
}

TEST_F(CtlScanItemTest, TheRootGrowsByStepsToExactlyTheHeightOfItsRows) {
  // Pixels: a content of n rows is 32 per row but never under 64, and the whole item is the
  // title (40) over the content, plus the 17 of its divider once it has grown.
  const struct {
    int dpi, rows, content, hardware;
    std::vector<int> growth;  // root height after each GrowStep, the last one at full height
  } cases[] = {{96, 1, 64, 104, {77, 97, 117, 121}},  // an empty category's one line
               {96, 2, 64, 104, {77, 97, 117, 121}},
               {96, 3, 96, 136, {77, 97, 117, 137, 153}},
               // 144 DPI: 57 -> 86 px at the start, steps of 30, divider 26
               {144, 3, 144, 204, {116, 146, 176, 206, 230}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rows << " rows at " << c.dpi << " DPI");
    testenv::UseMachine(R"({"host": {"dpi": )" + std::to_string(c.dpi) + "}}");
    CtlScanItem sized;
    ASSERT_TRUE(sized.Create(list));

    EXPECT_EQ(Grow(sized, c.rows), c.growth);
    EXPECT_EQ(Sub(u"lytContent", &sized)->GetFixedHeight(), c.content);
    EXPECT_EQ(Sub(u"lytHardware", &sized)->GetFixedHeight(), c.hardware);
    EXPECT_EQ(sized.GetRoot()->GetHeight(), c.growth.back()) << "the laid-out root follows its fixed height";
    list->RemoveAll();
  }
}

TEST_F(CtlScanItemTest, TheTitleRowFoldsTheItem) {
  ASSERT_TRUE(item.Create(list));
  Grow(item, 3);
  CControlUI* folder = Sub(u"btnFolder");
  CControlUI* arrow = Sub(u"ctlFolder");
  ASSERT_FALSE(arrow->IsVisible());
  w.driver.MouseEnter(folder);
  EXPECT_TRUE(arrow->IsVisible());

  ASSERT_TRUE(w.driver.Click(folder));
  EXPECT_TRUE(item.IsFolded());
  EXPECT_EQ(Sub(u"lytHardware")->GetFixedHeight(), 40);
  EXPECT_EQ(item.GetRoot()->GetFixedHeight(), 57);
  EXPECT_EQ(arrow->GetBkImage(), u"drawable\\hardware\\ic_expansion_light.png");

  ASSERT_TRUE(w.driver.Click(folder));
  EXPECT_FALSE(item.IsFolded());
  EXPECT_EQ(Sub(u"lytHardware")->GetFixedHeight(), 136);
  EXPECT_EQ(item.GetRoot()->GetFixedHeight(), 153);
  EXPECT_EQ(arrow->GetBkImage(), u"drawable\\hardware\\ic_collapse_light.png");
  w.driver.MouseLeave(folder);
  EXPECT_FALSE(arrow->IsVisible());
}

}  // namespace
}  // namespace zel::sysdiagnose
