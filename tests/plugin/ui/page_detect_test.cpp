// PageDetect: a diagnosis run shown live, its result, the repair run and the log upload, driven
// through the UI library alone. The road through all three pages is the diagnose command's test.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DataReport/EventDataReport.h"
#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UICulture.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIText.h"
#include "app/services/log_service.h"
#include "diagnose/fault_detectors.h"
#include "machine/machine.h"
#include "platform/clock.h"
#include "platform/encoding.h"
#include "plugin/ui/when_modal.h"
#include "support/full_catalogue.h"
#include "support/page_window.h"
#include "support/test_env.h"
#include "support/ui_pump.h"
#include "ui/page_detect.h"

namespace zel::sysdiagnose {
namespace {

using namespace DuiLib;
using namespace std::chrono_literals;

// What the detect page tests share: the page in a host window's tab layout on the UI loop's
// virtual clock, the reference log service on the bus, the product's pauses returning at once,
// and a driver that moves the clock in animation ticks while the run's real workers post to the
// UI thread. Every test ends with no control touched off the UI thread.
class DetectPageTest : public ::testing::Test {
 protected:
  DetectPageTest() {
    platform::SetSleepForTesting([](std::chrono::milliseconds) {});
    EventDataReport::Instance().ClearSentEvents();
    logService.Start();
    page.SetSwitchPageCallback([this](enumPageType to) { switches.push_back(to); });
    violations = UIThreadViolations();
  }

  ~DetectPageTest() override {
    EXPECT_TRUE(UIMessageLoop::Instance().RunUntil([this] { return !page.IsRunning(); }, 30s));
    EXPECT_EQ(UIThreadViolations(), violations) << "a control was touched off the UI thread";
    logService.Stop();
    platform::SetSleepForTesting(nullptr);
  }

  // Runs the UI loop until `done` holds, moving the clock while the page animates and waiting for
  // the workers' posts otherwise.
  bool Drive(const std::function<bool()>& done) { return testenv::PumpUntil(done, [this] { return Animating(); }); }
  bool Animating() {
    CControlUI* list = w.manager.FindControl(u"lstSysdiagnoseDetectItems");
    return w.manager.HasTimer(list, PageDetect::kLineGrowthTimer) || w.manager.HasTimer(list, PageDetect::kBackToTopTimer) ||
           w.manager.HasTimer(list, PageDetect::kScrollToItemTimer);
  }
  bool DriveToState(PageDetect::State state) {
    return Drive([&] { return page.GetPageState() == state && !page.IsRunning() && !Animating(); });
  }

  // Given the machine; when the page runs the categories to their result.
  void RunToResult(const std::string& machine, std::vector<enmHardwareID> categories) {
    testenv::UseMachine(machine);
    page.StartDetect(std::move(categories));
    ASSERT_TRUE(DriveToState(PageDetect::State::kResult));
  }

  CListUI& List() { return *w.Find<CListUI>(u"lstSysdiagnoseDetectItems"); }
  CControlUI* Control(std::u16string_view name) { return w.manager.FindControl(name); }
  std::u16string TextOf(std::u16string_view name) { return Control(name)->GetText(); }
  const CtlDetectItem& Item(enmHardwareID category) {
    const CtlDetectItem* item = page.GetItem(category);
    EXPECT_NE(item, nullptr) << "no item for category " << category;
    static const CtlDetectItem none;
    return item ? *item : none;
  }
  CControlUI* PartOf(enmHardwareID category, std::u16string_view name) {
    return w.manager.FindSubControlByName(Item(category).GetRoot(), name);
  }
  const CtlDetectDetail& LineOf(enmHardwareID category, int index) {
    const CtlDetectDetail* line = Item(category).GetLine(index);
    EXPECT_NE(line, nullptr) << "no line " << index << " in category " << category;
    static const CtlDetectDetail none;
    return line ? *line : none;
  }
  CControlUI* LinePart(enmHardwareID category, int index, std::u16string_view name) {
    return w.manager.FindSubControlByName(LineOf(category, index).GetRoot(), name);
  }
  bool Sent(const std::string& id) {
    return std::ranges::count(EventDataReport::Instance().SentEvents(), std::pair<std::string, std::string>{id, ""}) > 0;
  }

  testenv::ScopedDataDir dataDir;
  app::LogService logService;
  testenv::PageWindow<PageDetect> detect;
  testenv::UiWindow& w = detect.window;
  PageDetect& page = detect.page;
  std::vector<enumPageType> switches;
  uint64_t violations = 0;
};

std::u16string L(std::u16string_view key) { return UICulture::GetInstance().GetString(key); }
std::u16string Count(std::u16string_view key, int64_t n) { return UICulture::GetInstance().GetMultiVarStr(key, {n}); }

constexpr DWORD kGreen = 0xFF68D568;
constexpr DWORD kOrange = 0xFFFF9800;
constexpr DWORD kRed = 0xFFFA2A2D;
constexpr std::u16string_view kRight = u"file='drawable/hardware/ico_right.png'";
constexpr std::u16string_view kUnusual = u"file='drawable/hardware/ic_unusual.png'";

// The repairs the fault-detection library was asked for.
std::vector<std::string> RepairCalls() {
  std::vector<std::string> calls;
  for (const auto& entry : host::machine::Machine::Instance().Journal()) {
    if (entry.call.find("::Repair") != std::string::npos || entry.call.find("::Close") != std::string::npos) {
      calls.push_back(entry.call);
    }
  }
  return calls;
}

bool IsBusy(CControlUI* statusIcon) { return static_cast<CAnimPanelUI*>(statusIcon)->IsPlaying(); }

// A notebook with the log service's upload answer `offer`; `checks` and `repairs` are JSON objects.
std::string Notebook(const std::string& checks, const std::string& repairs = "{}", int offer = 0) {
  return R"({"hardware": {"network": {"wireless": {"hardIds": ["PCI\\VEN_168C"], "caption": "Wi-Fi"}},
                          "bluetooth": {"name": "BT"}},
             "checks": )" +
         checks + R"(, "repairs": )" + repairs + R"(,
             "logService": {"offerUpload": )" +
         std::to_string(offer) + R"(, "items": [{"module": 4, "name": "/var/log/app.log"}]}})";
}

TEST_F(DetectPageTest, TheResultPutsAbnormalCategoriesOnTopInRunOrderUnderTheirCount) {
  struct Case {
    const char* what;
    std::string checks;
    std::vector<enmHardwareID> run;
    std::vector<enmHardwareID> shown;
    std::vector<DWORD> colors;  // of the big icons, in the order shown
    std::u16string count;
    std::u16string complete;
  };
  const Case cases[] = {
      {"memory fails at level 0, audio passes", R"({"memory": {"random": -5}})", {HARDWARE_AUDIO, HARDWARE_MEMORY},
       {HARDWARE_MEMORY, HARDWARE_AUDIO}, {kRed, kGreen}, Count(u"IDS_HARDWARE_DIAGNOSE_ABNORM_RESULT_NUM", 1),
       L(u"IDS_HARDWARE_DIAGNOSE_OK")},
      {"graphics then audio fail", R"({"video": {"device": 5}, "audio": {"loopBack": 7}})",
       {HARDWARE_CPU, HARDWARE_GPU, HARDWARE_MAINBOARD, HARDWARE_AUDIO, HARDWARE_DISPLAY},
       {HARDWARE_GPU, HARDWARE_AUDIO, HARDWARE_CPU, HARDWARE_MAINBOARD, HARDWARE_DISPLAY},
       {kRed, kRed, kGreen, kGreen, kGreen}, Count(u"IDS_HARDWARE_DIAGNOSE_ABNORM_RESULT_NUM", 2),
       L(u"IDS_HARDWARE_DIAGNOSE_REPAIR")},
      {"nothing abnormal", "{}", {HARDWARE_MAINBOARD, HARDWARE_DISPLAY}, {HARDWARE_MAINBOARD, HARDWARE_DISPLAY},
       {kGreen, kGreen}, L(u"IDS_HARDWARE_DIAGNOSE_RESULT_ABNORM_NOT_FOUND"), L(u"IDS_HARDWARE_DIAGNOSE_OK")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RunToResult(Notebook(c.checks), c.run);

    ASSERT_EQ(List().GetCount(), static_cast<int>(c.shown.size()));
    for (size_t i = 0; i < c.shown.size(); ++i) {
      EXPECT_EQ(List().GetItemAt(static_cast<int>(i)), Item(c.shown[i]).GetRoot()) << "category " << c.shown[i];
      EXPECT_EQ(PartOf(c.shown[i], u"ctlBigIcon")->GetBkColor(), c.colors[i]) << i;
      EXPECT_EQ(PartOf(c.shown[i], u"lytLine")->IsVisible(), i + 1 < c.shown.size()) << "only the last has no line";
    }
    EXPECT_EQ(TextOf(u"txtSysdiagnosedDetectFirstTitle"), L(u"IDS_HARDWARE_DIAGNOSE_RESULT"));
    EXPECT_EQ(TextOf(u"txtSysdiagnoseDetectSecondTitle"), c.count);
    EXPECT_EQ(static_cast<CTextUI*>(Control(u"txtSysdiagnoseDetectSecondTitle"))->GetLinkCount(), 0) << "no upload offered";
    EXPECT_EQ(TextOf(u"btnSysdiagnoseDetectComplete"), c.complete);
    EXPECT_EQ(Control(u"btnSysdiagnoseDetectBack")->IsVisible(), c.complete == L(u"IDS_HARDWARE_DIAGNOSE_REPAIR"));
    EXPECT_TRUE(Control(u"lytDetectExecute")->IsVisible());
    EXPECT_FALSE(Control(u"lytDetectCancel")->IsVisible());
    EXPECT_EQ(List().GetScrollPos().cy, 0);
    if (page.GetItem(HARDWARE_MEMORY)) {
      // The memory fault has no repair name: no repair command, and its message unfolded.
      const int random = 4;
      EXPECT_EQ(LinePart(HARDWARE_MEMORY, random, u"optChoose")->GetBkImage(), kUnusual);
      EXPECT_FALSE(LinePart(HARDWARE_MEMORY, random, u"txtResult")->IsVisible());
      EXPECT_TRUE(LinePart(HARDWARE_MEMORY, random, u"lytDetail")->IsVisible());
      EXPECT_EQ(LinePart(HARDWARE_MEMORY, random, u"txtDetail")->GetText(), GetErrorCodeText(-5));
      EXPECT_NE(GetErrorCodeText(-5), u"");
      EXPECT_EQ(LinePart(HARDWARE_MEMORY, 0, u"optChoose")->GetBkImage(), kRight);
    }
    if (c.complete != L(u"IDS_HARDWARE_DIAGNOSE_OK")) continue;
    // Nothing to repair: the button ends on the history.
    switches.clear();
    EventDataReport::Instance().ClearSentEvents();
    EXPECT_TRUE(w.driver.Click(u"btnSysdiagnoseDetectComplete"));
    EXPECT_TRUE(Sent("620000005"));
    EXPECT_EQ(switches, (std::vector<enumPageType>{PAGE_ARCHIEVEMENT}));
  }
}

TEST_F(DetectPageTest, EachLineGrowsFromItsAnnouncementAndTheWorkerWaitsUntilItIsShown) {
  testenv::UseMachine(Notebook(R"({"memory": {"random": {"code": 3, "delayMs": 300}}})"));
  page.StartDetect({HARDWARE_MEMORY});
  const auto lines = [&] { return page.GetItem(HARDWARE_MEMORY) ? page.GetItem(HARDWARE_MEMORY)->GetLineCount() : 0; };

  // While the random-data check runs, its line is there and busy.
  ASSERT_TRUE(Drive([&] { return lines() == 5; }));
  EXPECT_TRUE(IsBusy(LinePart(HARDWARE_MEMORY, 4, u"optChoose")));
  EXPECT_FALSE(LineOf(HARDWARE_MEMORY, 4).IsPassed());
  EXPECT_EQ(LinePart(HARDWARE_MEMORY, 4, u"txtDetail")->GetText(), u"");
  EXPECT_EQ(TextOf(u"txtSysdiagnoseDetectSecondTitle"),
            u"{f 105}{c #7F7F7F}" + L(u"IDS_HARDWARE_DIAGNOSE_ITEM") + u" Memory" +
                L(u"IDS_HARDWARE_DIAGNOSE_MEM_FAKE_RANDOM") + u"{/c}{/f}");

  // Its result is shown, and until the clock moves the worker goes no further.
  ASSERT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return !IsBusy(LinePart(HARDWARE_MEMORY, 4, u"optChoose")); }, 10s));
  EXPECT_EQ(LinePart(HARDWARE_MEMORY, 4, u"optChoose")->GetBkImage(), kUnusual);
  EXPECT_FALSE(UIMessageLoop::Instance().RunUntil([&] { return lines() > 5; }, 200ms));

  ASSERT_TRUE(DriveToState(PageDetect::State::kResult));
  const char16_t* names[] = {u"IDS_HARDWARE_DIAGNOSE_MEM_FAST",        u"IDS_HARDWARE_DIAGNOSE_MEM_CONTINUE_INC_RW",
                             u"IDS_HARDWARE_DIAGNOSE_MEM_BLOCK_INC_WRITE", u"IDS_HARDWARE_DIAGNOSE_MEM_BIT_RW",
                             u"IDS_HARDWARE_DIAGNOSE_MEM_FAKE_RANDOM",  u"IDS_HARDWARE_DIAGNOSE_MEM_BOARD",
                             u"IDS_HARDWARE_DIAGNOSE_MEM_ARITH",        u"IDS_HARDWARE_DIAGNOSE_MEM_LOGIC",
                             u"IDS_HARDWARE_DIAGNOSE_MEM_BIT_FLIP"};
  ASSERT_EQ(lines(), 9);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(LineOf(HARDWARE_MEMORY, i).Title(), L(names[i])) << i;
  // The item grew to hold all nine lines.
  const RECT item = Item(HARDWARE_MEMORY).GetRoot()->GetPos();
  const RECT last = LineOf(HARDWARE_MEMORY, 8).GetRoot()->GetPos();
  EXPECT_LE(last.bottom, item.bottom);
}

TEST_F(DetectPageTest, AMildFindingIsFixedByItsLinesOneClickFix) {
  RunToResult(Notebook(R"({"keyboard": {"filterKey": {"code": -6, "messageKey": "IDS_HARDWARE_DIAGNOSE_FILTER_OPEN",
                                                       "passed": false, "level": 1}}})",
                       R"({"CloseFilterKey": {"succeeded": true}})"),
              {HARDWARE_KEYBOARD});

  EXPECT_TRUE(LineOf(HARDWARE_KEYBOARD, 0).IsSuggestion());
  EXPECT_FALSE(IsBusy(LinePart(HARDWARE_KEYBOARD, 0, u"optChoose"))) << "the check is over";
  EXPECT_TRUE(LinePart(HARDWARE_KEYBOARD, 0, u"lytSuggest")->IsVisible());
  EXPECT_FALSE(LinePart(HARDWARE_KEYBOARD, 0, u"btnDetail")->IsVisible());
  EXPECT_EQ(PartOf(HARDWARE_KEYBOARD, u"ctlBigIcon")->GetBkColor(), kOrange);
  EXPECT_EQ(TextOf(u"txtSysdiagnoseDetectSecondTitle"), L(u"IDS_HARDWARE_DIAGNOSE_RESULT_ABNORM_NOT_FOUND"));
  EXPECT_EQ(TextOf(u"btnSysdiagnoseDetectComplete"), L(u"IDS_HARDWARE_DIAGNOSE_OK")) << "the fix is the line's own";

  host::machine::Machine::Instance().ClearJournal();
  ASSERT_TRUE(w.driver.Click(LinePart(HARDWARE_KEYBOARD, 0, u"btnSuggest")));
  EXPECT_TRUE(IsBusy(LinePart(HARDWARE_KEYBOARD, 0, u"optChoose")));
  ASSERT_TRUE(Drive([&] { return LineOf(HARDWARE_KEYBOARD, 0).IsPassed(); }));
  EXPECT_EQ(LinePart(HARDWARE_KEYBOARD, 0, u"optChoose")->GetBkImage(), kRight);
  EXPECT_EQ(RepairCalls(), (std::vector<std::string>{"CKeyBoardDetect::CloseFilterKey"}));
}

TEST_F(DetectPageTest, CancelEndsTheRunAfterTheCategoryInProgress) {
  testenv::UseMachine(Notebook(R"({"memory": {"bit0Walk": {"code": 0, "delayMs": 300}}})"));
  page.StartDetect({HARDWARE_MEMORY, HARDWARE_AUDIO, HARDWARE_CPU});
  ASSERT_TRUE(Drive([&] { return page.GetItem(HARDWARE_MEMORY) && page.GetItem(HARDWARE_MEMORY)->GetLineCount() == 4; }));

  ASSERT_TRUE(w.driver.Click(u"btnSysdiagnoseDetectCancel"));
  EXPECT_TRUE(Sent("620000004"));
  EXPECT_FALSE(Control(u"btnSysdiagnoseDetectCancel")->IsEnabled());

  ASSERT_TRUE(Drive([&] { return !switches.empty(); }));
  EXPECT_EQ(switches, (std::vector<enumPageType>{PAGE_ARCHIEVEMENT}));
  EXPECT_EQ(Item(HARDWARE_MEMORY).GetLineCount(), 9) << "the category in progress runs to its end";
  EXPECT_TRUE(LineOf(HARDWARE_MEMORY, 8).IsPassed());
  EXPECT_EQ(page.GetItem(HARDWARE_AUDIO), nullptr);
  EXPECT_EQ(page.GetItem(HARDWARE_CPU), nullptr);
  EXPECT_TRUE(Control(u"btnSysdiagnoseDetectCancel")->IsEnabled());
  EXPECT_EQ(page.GetPageState(), PageDetect::State::kDetecting);

  // With no run at work, cancel still goes back to the history.
  ASSERT_TRUE(UIMessageLoop::Instance().RunUntil([this] { return !page.IsRunning(); }, 10s));
  ASSERT_TRUE(w.driver.Click(u"btnSysdiagnoseDetectCancel"));
  w.driver.RunPending();
  EXPECT_EQ(switches, (std::vector<enumPageType>{PAGE_ARCHIEVEMENT, PAGE_ARCHIEVEMENT}));
  EXPECT_TRUE(Control(u"btnSysdiagnoseDetectCancel")->IsEnabled());
}

TEST_F(DetectPageTest, RepairingAgainRepairsOnlyWhatFailed) {
  // Given a Wi-Fi switched off, repaired with a restart, a graphics fault repaired with a shutdown,
  // and a Bluetooth fault whose repair fails
  const std::string checks = R"({"wifi": {"switch": {"code": -3, "messageKey": "IDS_HARDWARE_DIAGNOSE_WIFI_WARN",
                                                     "passed": false, "level": 0}},
                                 "video": {"status": {"code": 22, "passed": false, "level": 0}},
                                 "bluetooth": {"state": {"code": 12, "messageKey": "IDS_HARDWARE_DIAGNOSE_CHECK_DRIVE",
                                                         "passed": false, "level": 0}}})";
  RunToResult(Notebook(checks, R"({"RepairWifiProblem": {"succeeded": true, "needRestart": true},
                                   "RepairVIDEOCARDProblems": {"succeeded": true, "needShutdown": true, "needRestart": true,
                                                               "message": "IDS_HARDWARE_DIAGNOSE_REPAIR_DRIVER_DONE"},
                                   "RepairBTProblems": {"code": 12, "succeeded": false,
                                                        "message": "IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DEVICE_REPAIR_FAIL"}})"),
              {HARDWARE_NETCARD, HARDWARE_BLUETOOTH, HARDWARE_GPU});
  const int wifiSwitch = 2;
  const int btState = 1;
  EXPECT_EQ(TextOf(u"btnSysdiagnoseDetectComplete"), L(u"IDS_HARDWARE_DIAGNOSE_REPAIR"));
  EXPECT_EQ(TextOf(u"btnSysdiagnoseDetectBack"), L(u"IDS_HARDWARE_DETECT_BACK_MAIN"));
  EXPECT_TRUE(LinePart(HARDWARE_NETCARD, wifiSwitch, u"txtResult")->IsVisible()) << "the repair command";
  EXPECT_FALSE(LinePart(HARDWARE_NETCARD, wifiSwitch + 1, u"txtResult")->IsVisible());

  // When the user repairs
  host::machine::Machine::Instance().ClearJournal();
  ASSERT_TRUE(w.driver.Click(u"btnSysdiagnoseDetectComplete"));
  EXPECT_EQ(page.GetPageState(), PageDetect::State::kRepairing);
  EXPECT_EQ(TextOf(u"txtSysdiagnosedDetectFirstTitle"), L(u"IDS_HARDWARE_DIAGNOSE_REPAIRING"));
  EXPECT_TRUE(IsBusy(LinePart(HARDWARE_NETCARD, wifiSwitch, u"optChoose")));
  EXPECT_TRUE(IsBusy(LinePart(HARDWARE_BLUETOOTH, btState, u"optChoose")));
  EXPECT_FALSE(IsBusy(LinePart(HARDWARE_BLUETOOTH, 0, u"optChoose")));
  ASSERT_TRUE(DriveToState(PageDetect::State::kRepairFailed));

  // Then the Wi-Fi line asks for a restart, the graphics line for a shutdown with the repair's
  // message (the looks' texts are the line tests'), the Bluetooth line shows the failure, unfolded
  EXPECT_EQ(LinePart(HARDWARE_NETCARD, wifiSwitch, u"optChoose")->GetBkImage(),
            u"file='drawable/hardware/ic_restart.png'");
  EXPECT_EQ(LinePart(HARDWARE_NETCARD, wifiSwitch + 1, u"optChoose")->GetBkImage(), kRight) << "not the next line";
  EXPECT_EQ(PartOf(HARDWARE_NETCARD, u"ctlBigIcon")->GetBkColor(), kGreen);
  EXPECT_EQ(LinePart(HARDWARE_GPU, 1, u"optChoose")->GetBkImage(), u"file='drawable/hardware/ic_turnoff.png'");
  EXPECT_EQ(LinePart(HARDWARE_GPU, 1, u"txtDetail")->GetText(), L(u"IDS_HARDWARE_DIAGNOSE_REPAIR_DRIVER_DONE"));
  EXPECT_EQ(LinePart(HARDWARE_BLUETOOTH, btState, u"optChoose")->GetBkImage(), kUnusual);
  EXPECT_EQ(LinePart(HARDWARE_BLUETOOTH, btState, u"txtDetail")->GetText(),
            L(u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DEVICE_REPAIR_FAIL"));
  EXPECT_TRUE(LinePart(HARDWARE_BLUETOOTH, btState, u"lytDetail")->IsVisible());
  EXPECT_EQ(LinePart(HARDWARE_BLUETOOTH, 0, u"optChoose")->GetBkImage(), kRight);
  EXPECT_EQ(TextOf(u"txtSysdiagnosedDetectFirstTitle"), L(u"IDS_HARDWARE_DIAGNOSE_REPAIR_FAIL"));
  EXPECT_EQ(TextOf(u"txtSysdiagnoseDetectSecondTitle"), Count(u"IDS_HARDWARE_DIAGNOSE_REPAIR_FAIL_DESCRIPTION", 1));
  EXPECT_EQ(TextOf(u"btnSysdiagnoseDetectBack"), L(u"IDS_HARDWARE_DIAGNOSE_REPAIR_CONTINUE"));
  EXPECT_EQ(RepairCalls(), (std::vector<std::string>{"WifiFaultDetect::RepairWifiProblem", "CBluetoothDetect::RepairBTProblems",
                                                     "CVideoCardDetect::RepairVIDEOCARDProblems"}));

  // When the user tries again and the Bluetooth repair now succeeds
  testenv::UseMachine(Notebook(checks, R"({"RepairBTProblems": {"succeeded": true}})"));  // clears the journal
  ASSERT_TRUE(w.driver.Click(u"btnSysdiagnoseDetectBack"));
  ASSERT_TRUE(DriveToState(PageDetect::State::kRepairSucceeded));

  // Then only the Bluetooth line was repaired again, and nothing abnormal is left
  EXPECT_EQ(RepairCalls(), (std::vector<std::string>{"CBluetoothDetect::RepairBTProblems"}));
  EXPECT_EQ(LinePart(HARDWARE_BLUETOOTH, btState, u"optChoose")->GetBkImage(), kRight);
  EXPECT_EQ(PartOf(HARDWARE_BLUETOOTH, u"ctlBigIcon")->GetBkColor(), kGreen);
  EXPECT_EQ(TextOf(u"txtSysdiagnosedDetectFirstTitle"), L(u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS"));
  EXPECT_EQ(TextOf(u"txtSysdiagnoseDetectSecondTitle"), L(u"IDS_HARDWARE_DIAGNOSE_RESULT_ABNORM_NOT_FOUND"));
  EXPECT_EQ(TextOf(u"btnSysdiagnoseDetectComplete"), L(u"IDS_HARDWARE_DIAGNOSE_OK"));
  EXPECT_FALSE(Control(u"btnSysdiagnoseDetectBack")->IsVisible());

  ASSERT_TRUE(w.driver.Click(u"btnSysdiagnoseDetectComplete"));
  EXPECT_EQ(switches, (std::vector<enumPageType>{PAGE_ARCHIEVEMENT}));
}

TEST_F(DetectPageTest, TheOfferedLogUploadIsALinkWhoseWindowsAnswerTheTitleTells) {
  // Without an offer the title has no link: see the first test.
  const auto secondTitle = [&] { return static_cast<CTextUI*>(Control(u"txtSysdiagnoseDetectSecondTitle")); };
  const std::u16string none = L(u"IDS_HARDWARE_DIAGNOSE_RESULT_ABNORM_NOT_FOUND");
  const std::pair<const char16_t*, std::u16string_view> cases[] = {
      {u"btnUpload", u"IDS_HARDWARE_DIAGNOSE_RESULT_UPLOAD_LOG"},
      {u"btnClose", u"IDS_HARDWARE_DIAGNOSE_RESULT_CANCEL_UPLOAD"}};
  for (const auto& [button, resultKey] : cases) {
    SCOPED_TRACE(platform::Utf16ToUtf8(button));
    testenv::UseMachine(Notebook("{}", "{}", 1));
    page.StartDetect({HARDWARE_MAINBOARD});
    // The answer arrives while the first line still waits for the clock.
    ASSERT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return page.IsUploadOffered(); }, 10s));
    ASSERT_TRUE(DriveToState(PageDetect::State::kResult));
    EXPECT_EQ(secondTitle()->GetText(), none + L(u"IDS_HARDWARE_DIAGNOSE_RESULT_SEND_LOG"));
    testenv::WhenModal([](CPaintManagerUI& pm) { return pm.FindControl(u"btnUpload")->IsEnabled(); },
                       [&](UIDriver& d) { EXPECT_TRUE(d.Click(button)); });
    ASSERT_TRUE(w.driver.FollowLink(secondTitle(), 0));
    EXPECT_EQ(secondTitle()->GetText(), none + L(resultKey));
  }
}

}  // namespace
}  // namespace zel::sysdiagnose
