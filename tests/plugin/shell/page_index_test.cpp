// PageIndex: the page host, with the three real pages in the index layout of a host window.
#include "shell/page_index.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "DataReport/EventDataReport.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UITabLayout.h"
#include "platform/encoding.h"
#include "support/page_window.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

using namespace std::chrono_literals;

// Processor and memory answer quickly and pass.
constexpr const char* kNotebook = R"({"hardware": {
    "cpu": {"name": "Core i5-8250U", "manufacturer": "GenuineIntel", "cores": 4, "threads": 8},
    "memory": {"totalMB": 8192, "modules": [{"capacityMB": 8192, "partNumber": "CT8G4"}]}}})";

// The page host in the host's window: the index layout is the page host's own, placed as the host's
// add-page callable places it.
class PageIndexTest : public ::testing::Test {
 protected:
  PageIndexTest() {
    testenv::UseMachine(kNotebook);
    w.manager.AddNotifier(&pump);
    index.Create(&w.manager, &pump);
    hostTabs = w.Find<DuiLib::CTabLayoutUI>(u"hostTabs");
    if (index.GetRoot()) hostTabs->Add(index.GetRoot());
    index.Init();
    hostTabs->SelectItem(1);
    EventDataReport::Instance().ClearSentEvents();
    tabs = w.Find<DuiLib::CTabLayoutUI>(u"tblSysdiagnoseContent");
  }
  ~PageIndexTest() override { Pump([] { return false; }, 200ms); }

  // Moves the loop's clock a frame at a time while the workers run, until `done` or the limit.
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds limit = 30s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      UIMessageLoop::Instance().RunUntil([&] { return done(); }, 2ms);
      w.driver.Advance(20ms);
    }
    return true;
  }

  std::vector<std::string> DetectItemNames() {
    std::vector<std::string> names;
    auto* list = w.Find<DuiLib::CListUI>(u"lstSysdiagnoseDetectItems");
    for (int i = 0; list && i < list->GetCount(); ++i) {
      names.push_back(platform::Utf16ToUtf8(w.manager.FindSubControlByName(list->GetItemAt(i), u"txtName")->GetText()));
    }
    return names;
  }

  size_t EventsWithId(const std::string& id) {
    size_t count = 0;
    for (const auto& [sent, value] : EventDataReport::Instance().SentEvents()) count += sent == id;
    return count;
  }

  testenv::ScopedDataDir data;
  testenv::UiWindow w{uR"(<Window size="720,560"><TabLayout name="hostTabs"><Control name="home"/></TabLayout></Window>)"};
  testenv::HostPump pump;
  PageIndex index;
  DuiLib::CTabLayoutUI* hostTabs = nullptr;
  DuiLib::CTabLayoutUI* tabs = nullptr;
};

TEST_F(PageIndexTest, ThePagesSitAtTheTabsOfTheirPageTypesAndTheHistoryIsShownFirst) {
  ASSERT_NE(tabs, nullptr);
  ASSERT_EQ(tabs->GetCount(), 3);
  EXPECT_EQ(tabs->GetItemAt(PAGE_ARCHIEVEMENT)->GetVirtualWnd(), u"SysdiagnosePageArchievement");
  EXPECT_EQ(tabs->GetItemAt(PAGE_SCAN)->GetVirtualWnd(), u"SysdiagnosePageScan");
  EXPECT_EQ(tabs->GetItemAt(PAGE_DETECT)->GetVirtualWnd(), u"SysdiagnosePageDetect");
  EXPECT_EQ(tabs->GetCurSel(), PAGE_ARCHIEVEMENT);
  EXPECT_TRUE(w.driver.IsReachable(w.Find(u"btnSysdiagnoseScan")));
}

TEST_F(PageIndexTest, TheDetectPageStartsWithTheLatestSelectionInItsOrder) {
  // given the scan page reported memory and processor, then processor alone
  index.SetSelectedHardware({HARDWARE_MEMORY, HARDWARE_CPU});
  EXPECT_EQ(index.SelectedHardware(), (std::vector<enmHardwareID>{HARDWARE_MEMORY, HARDWARE_CPU}));
  index.SetSelectedHardware({HARDWARE_CPU, HARDWARE_MEMORY});

  // when the page host switches to the detect page
  index.SwitchPage(PAGE_DETECT);

  // then that page is shown and diagnoses exactly the second selection, in its order
  EXPECT_EQ(tabs->GetCurSel(), PAGE_DETECT);
  ASSERT_TRUE(Pump([this] { return w.Find(u"lytDetectExecute")->IsVisible(); }));
  EXPECT_EQ(DetectItemNames(), (std::vector<std::string>{"Processor", "Memory"}));

  // and a selection after it replaces it rather than adding to it
  index.SetSelectedHardware({HARDWARE_MEMORY});
  EXPECT_EQ(index.SelectedHardware(), std::vector<enmHardwareID>{HARDWARE_MEMORY});
}

TEST_F(PageIndexTest, EachPageTypeShowsItsTabAndAnUnknownOneNothingNew) {
  index.SwitchPage(PAGE_SCAN);
  EXPECT_EQ(tabs->GetCurSel(), PAGE_SCAN);
  EXPECT_TRUE(Pump([this] { return w.Find(u"lytScanExecute")->IsVisible(); }));
  index.SwitchPage(static_cast<enumPageType>(7));
  EXPECT_EQ(tabs->GetCurSel(), PAGE_SCAN);
  index.SwitchPage(PAGE_ARCHIEVEMENT);
  EXPECT_EQ(tabs->GetCurSel(), PAGE_ARCHIEVEMENT);
}

TEST_F(PageIndexTest, OnlyTheHostsMainControlComingInReportsAndRefreshes) {
  // when the host shows its own tab, then the plug-in's: "SysdiagnoseUIMain" comes in
  hostTabs->SelectItem(0);
  hostTabs->SelectItem(1);
  EXPECT_EQ(EventsWithId("620000000"), 1u);

  // when another control of the page host says it came in
  w.manager.SendNotify(tabs, DuiLib::DUI_MSGTYPE_TABSELECTIN, 1, 0);
  EXPECT_EQ(EventsWithId("620000000"), 1u);
}

}  // namespace
}  // namespace zel::sysdiagnose
