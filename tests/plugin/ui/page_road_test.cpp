// The whole interactive road through the three pages, as a user walks it: the scan, two ticked
// categories, their diagnosis and repair, and the history showing the new run. The pages are
// wired to a small switcher that does what the page host does on each switch.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UICulture.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UITabLayout.h"
#include "app/log_service.h"
#include "plugin/ui/detect_page_fixture.h"
#include "support/page_window.h"
#include "support/ui_pump.h"
#include "ui/page_archievement.h"
#include "ui/page_scan.h"

namespace detecttest {
namespace {

// The notebook: memory fails at level 0 (nothing repairs it), the Wi-Fi switch is off and its
// repair turns it on.
constexpr const char* kNotebook = R"({
  "hardware": {"memory": {"totalMB": 8192, "modules": [{"capacityMB": 8192, "partNumber": "CT8G4"}]},
               "network": {"wireless": {"hardIds": ["PCI\\VEN_168C"], "caption": "Wi-Fi"}}},
  "checks": {"memory": {"random": 3},
             "wifi": {"switch": {"code": -3, "messageKey": "IDS_HARDWARE_DIAGNOSE_WIFI_WARN", "passed": false}}},
  "repairs": {"RepairWifiProblem": {"succeeded": true, "fixes": ["wifi.switch"]}}})";

class PageRoad : public DetectPageTest {
 protected:
  PageRoad() {
    testenv::UseMachine(kNotebook);
    // Every reading of the clock is a second later: the run and its repair, stored at once with
    // the pauses cut short, are still told apart in the history.
    platform::SetClockForTesting([next = std::make_shared<std::atomic<int64_t>>(platform::SecondsSince1970())] {
      return next->fetch_add(1);
    });
    road.manager.AddNotifier(&pump);
    auto* tabs = road.Find<CTabLayoutUI>(u"tblSysdiagnoseContent");
    archive.Create(&road.manager, &pump);
    scan.Create(&road.manager, &pump);
    detect.Create(&road.manager, &pump);
    for (SysdiagnosePage* shown : {static_cast<SysdiagnosePage*>(&archive), static_cast<SysdiagnosePage*>(&scan),
                                   static_cast<SysdiagnosePage*>(&detect)}) {
      tabs->Add(shown->GetRoot());
      shown->Init();
    }
    const auto switchTo = [this, tabs](enumPageType to) {
      if (to == PAGE_ARCHIEVEMENT) archive.Refresh();
      if (to == PAGE_SCAN) scan.StartScan();
      if (to == PAGE_DETECT) detect.StartDetect(selection);
      tabs->SelectItem(to);
    };
    archive.SetSwitchPageCallback(switchTo);
    scan.SetSwitchPageCallback(switchTo);
    scan.SetSelectionCallback([this](const std::vector<enmHardwareID>& chosen) { selection = chosen; });
    detect.SetSwitchPageCallback(switchTo);
  }
  ~PageRoad() override {
    EXPECT_TRUE(UIMessageLoop::Instance().RunUntil([this] { return !detect.IsRunning() && !scan.IsScanRunning(); }, 30s));
    platform::SetClockForTesting(nullptr);
  }

  // Runs the loop until `done`, moving the clock while any page animates.
  bool Walk(const std::function<bool()>& done) {
    const auto animating = [this] {
      for (const auto& [name, ids] : {std::pair{u"lstSysdiagnoseScanItems", std::vector<UINT>{4003, 4004}},
                                      std::pair{u"lstSysdiagnoseDetectItems", std::vector<UINT>{4005, 4006, 4007}},
                                      std::pair{u"lstSysdiagnoseArchieve", std::vector<UINT>{4001, 4002}}}) {
        CControlUI* list = road.manager.FindControl(name);
        for (UINT id : ids) {
          if (list && road.manager.HasTimer(list, id)) return true;
        }
      }
      return false;
    };
    return testenv::PumpUntil([&] { return done() && !animating(); }, animating);
  }

  CControlUI* ScanChoice(enmHardwareID category) {
    auto* list = road.Find<CListUI>(u"lstSysdiagnoseScanItems");
    const auto& order = scan.ScanOrder();
    const auto at = std::find(order.begin(), order.end(), category) - order.begin();
    return road.manager.FindSubControlByName(list->GetItemAt(static_cast<int>(at)), u"optChoose");
  }

  testenv::UiWindow road{u"layout\\sysdiagnose_index.xml"};
  testenv::HostPump pump;
  PageArchievement archive;
  PageScan scan;
  PageDetect detect;
  std::vector<enmHardwareID> selection;
};

TEST_F(PageRoad, ScanTickTwoDiagnoseRepairAndTheHistoryShowsTheNewRun) {
  // The user starts from the history page.
  ASSERT_TRUE(road.driver.Click(u"btnSysdiagnoseScan"));
  ASSERT_TRUE(Walk([&] { return road.Find(u"lytScanExecute")->IsVisible() && !scan.IsScanRunning(); }));

  // Only the network card and the memory stay ticked.
  for (enmHardwareID category : scan.ScanOrder()) {
    const bool wanted = category == HARDWARE_MEMORY || category == HARDWARE_NETCARD;
    ASSERT_TRUE(road.driver.Tick(ScanChoice(category), wanted)) << category;
  }
  ASSERT_TRUE(road.driver.Click(u"btnSysdiagnoseDetect"));
  EXPECT_EQ(selection, (std::vector<enmHardwareID>{HARDWARE_MEMORY, HARDWARE_NETCARD}));
  EXPECT_EQ(road.Find<CTabLayoutUI>(u"tblSysdiagnoseContent")->GetCurSel(), PAGE_DETECT);

  ASSERT_TRUE(Walk([&] { return detect.GetPageState() == PageDetect::kResult && !detect.IsRunning(); }));
  EXPECT_EQ(road.Find(u"txtSysdiagnoseDetectSecondTitle")->GetText(),
            UICulture::GetInstance().GetMultiVarStr(u"IDS_HARDWARE_DIAGNOSE_ABNORM_RESULT_NUM", {2}));

  // The user repairs: the Wi-Fi comes back, the memory fault stays.
  ASSERT_TRUE(road.driver.Click(u"btnSysdiagnoseDetectComplete"));
  ASSERT_TRUE(Walk([&] { return detect.GetPageState() == PageDetect::kRepairSucceeded && !detect.IsRunning(); }));
  ASSERT_TRUE(road.driver.Click(u"btnSysdiagnoseDetectComplete"));
  ASSERT_TRUE(Walk([] { return true; }));

  // The history page shows the run after its repair.
  EXPECT_EQ(road.Find<CTabLayoutUI>(u"tblSysdiagnoseContent")->GetCurSel(), PAGE_ARCHIEVEMENT);
  const tagQueryDataItem& shown = archive.ShownRun();
  EXPECT_EQ(shown.memoryState, 1);
  EXPECT_EQ(shown.netcardState, 0);
  EXPECT_EQ(shown.cpuState, -1);
  EXPECT_EQ(shown.normalCount, 1);
  EXPECT_EQ(shown.abnormalCount, 1);
  EXPECT_EQ(archive.DayItems().size(), 1u);
}

}  // namespace
}  // namespace detecttest
