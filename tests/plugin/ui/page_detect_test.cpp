// PageDetect: a diagnosis run shown live, its result, the repair run and the log upload, driven
// through the UI library alone.
#include <gtest/gtest.h>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UICulture.h"
#include "DuiLib/UIText.h"
#include "diagnose/fault_detectors.h"
#include "plugin/ui/detect_page_fixture.h"
#include "plugin/ui/when_modal.h"

namespace detecttest {
namespace {

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

using DetectPageResult = DetectPageTest;

TEST_F(DetectPageResult, AbnormalCategoriesStandOnTopInRunOrderUnderTheirCount) {
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
      {"memory fails at level 0, audio passes", R"({"memory": {"random": 3}})", {HARDWARE_AUDIO, HARDWARE_MEMORY},
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

    EXPECT_EQ(ListOrder(), c.shown);
    for (size_t i = 0; i < c.shown.size(); ++i) {
      EXPECT_EQ(PartOf(c.shown[i], u"ctlBigIcon")->GetBkColor(), c.colors[i]) << i;
      EXPECT_EQ(PartOf(c.shown[i], u"lytLine")->IsVisible(), i + 1 < c.shown.size()) << "only the last has no line";
    }
    EXPECT_EQ(TextOf(u"txtSysdiagnosedDetectFirstTitle"), L(u"IDS_HARDWARE_DIAGNOSE_RESULT"));
    EXPECT_EQ(TextOf(u"txtSysdiagnoseDetectSecondTitle"), c.count);
    EXPECT_EQ(TextOf(u"btnSysdiagnoseDetectComplete"), c.complete);
    EXPECT_EQ(Control(u"btnSysdiagnoseDetectBack")->IsVisible(), c.complete == L(u"IDS_HARDWARE_DIAGNOSE_REPAIR"));
    EXPECT_TRUE(Control(u"lytDetectExecute")->IsVisible());
    EXPECT_FALSE(Control(u"lytDetectCancel")->IsVisible());
    EXPECT_EQ(List().GetScrollPos().cy, 0);
  }
}

TEST_F(DetectPageResult, AFailedLineWithoutARepairNameOffersNoRepairAndShowsItsMessage) {
  RunToResult(Notebook(R"({"memory": {"random": -5}})"), {HARDWARE_MEMORY});

  const int random = 4;
  EXPECT_EQ(LinePart(HARDWARE_MEMORY, random, u"optChoose")->GetBkImage(), kUnusual);
  EXPECT_FALSE(LinePart(HARDWARE_MEMORY, random, u"txtResult")->IsVisible()) << "no repair command";
  EXPECT_TRUE(LinePart(HARDWARE_MEMORY, random, u"lytDetail")->IsVisible()) << "unfolded after the run";
  EXPECT_EQ(LinePart(HARDWARE_MEMORY, random, u"txtDetail")->GetText(), GetErrorCodeText(-5));
  EXPECT_NE(GetErrorCodeText(-5), u"");
  EXPECT_EQ(LinePart(HARDWARE_MEMORY, 0, u"optChoose")->GetBkImage(), kRight);

  EXPECT_TRUE(w.driver.Click(u"btnSysdiagnoseDetectComplete"));
  EXPECT_TRUE(Sent("620000005"));
  EXPECT_EQ(switches, (std::vector<enumPageType>{PAGE_ARCHIEVEMENT}));
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

  ASSERT_TRUE(DriveToState(PageDetect::kResult));
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

TEST_F(DetectPageTest, AMildKeyboardFindingShowsTheSuggestionAndItsOneClickFix) {
  RunToResult(Notebook(R"({"keyboard": {"filterKey": {"code": -6, "messageKey": "IDS_HARDWARE_DIAGNOSE_FILTER_OPEN",
                                                       "passed": false, "level": 1}}})",
                       R"({"CloseFilterKey": {"succeeded": true}})"),
              {HARDWARE_KEYBOARD});

  EXPECT_TRUE(LineOf(HARDWARE_KEYBOARD, 0).IsSuggestion());
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
  EXPECT_EQ(page.GetPageState(), PageDetect::kDetecting);
}

TEST_F(DetectPageTest, CancelWithNoRunAtWorkStillReturnsToTheHistory) {
  testenv::UseMachine(Notebook("{}"));
  page.StartDetect({HARDWARE_MAINBOARD});
  // The run has ended; the list has not yet gone back to the top.
  ASSERT_TRUE(Drive([&] {
    return TextOf(u"txtSysdiagnoseDetectSecondTitle") == L(u"IDS_HARDWARE_DIAGNOSE_RESULT_ABNORM_NOT_FOUND") &&
           !page.IsRunning();
  }));
  ASSERT_EQ(page.GetPageState(), PageDetect::kDetecting);

  ASSERT_TRUE(w.driver.Click(u"btnSysdiagnoseDetectCancel"));
  w.driver.RunPending();

  EXPECT_EQ(switches, (std::vector<enumPageType>{PAGE_ARCHIEVEMENT}));
  EXPECT_TRUE(Control(u"btnSysdiagnoseDetectCancel")->IsEnabled());
}

TEST_F(DetectPageTest, TheRepairRunShowsEveryLinesResultAndRepairsAgainOnlyWhatFailed) {
  // Given a Wi-Fi switched off, repaired with a restart, and a Bluetooth fault whose repair fails
  const std::string checks = R"({"wifi": {"switch": {"code": -3, "messageKey": "IDS_HARDWARE_DIAGNOSE_WIFI_WARN",
                                                     "passed": false, "level": 0}},
                                 "bluetooth": {"state": {"code": 12, "messageKey": "IDS_HARDWARE_DIAGNOSE_CHECK_DRIVE",
                                                         "passed": false, "level": 0}}})";
  RunToResult(Notebook(checks, R"({"RepairWifiProblem": {"succeeded": true, "needRestart": true},
                                   "RepairBTProblems": {"code": 12, "succeeded": false,
                                                        "message": "IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DEVICE_REPAIR_FAIL"}})"),
              {HARDWARE_NETCARD, HARDWARE_BLUETOOTH});
  const int wifiSwitch = 2;
  const int btState = 1;
  EXPECT_EQ(TextOf(u"btnSysdiagnoseDetectComplete"), L(u"IDS_HARDWARE_DIAGNOSE_REPAIR"));
  EXPECT_EQ(TextOf(u"btnSysdiagnoseDetectBack"), L(u"IDS_HARDWARE_DETECT_BACK_MAIN"));
  EXPECT_TRUE(LinePart(HARDWARE_NETCARD, wifiSwitch, u"txtResult")->IsVisible()) << "the repair command";
  EXPECT_FALSE(LinePart(HARDWARE_NETCARD, wifiSwitch + 1, u"txtResult")->IsVisible());

  // When the user repairs
  host::machine::Machine::Instance().ClearJournal();
  ASSERT_TRUE(w.driver.Click(u"btnSysdiagnoseDetectComplete"));
  EXPECT_EQ(page.GetPageState(), PageDetect::kRepairing);
  EXPECT_EQ(TextOf(u"txtSysdiagnosedDetectFirstTitle"), L(u"IDS_HARDWARE_DIAGNOSE_REPAIRING"));
  EXPECT_TRUE(IsBusy(LinePart(HARDWARE_NETCARD, wifiSwitch, u"optChoose")));
  EXPECT_TRUE(IsBusy(LinePart(HARDWARE_BLUETOOTH, btState, u"optChoose")));
  EXPECT_FALSE(IsBusy(LinePart(HARDWARE_BLUETOOTH, 0, u"optChoose")));
  ASSERT_TRUE(DriveToState(PageDetect::kRepairFailed));

  // Then the Wi-Fi line asks for a restart, the Bluetooth line shows the failure, unfolded
  EXPECT_EQ(LinePart(HARDWARE_NETCARD, wifiSwitch, u"optChoose")->GetBkImage(),
            u"file='drawable/hardware/ic_restart.png'");
  EXPECT_EQ(LinePart(HARDWARE_NETCARD, wifiSwitch, u"txtResult")->GetText(),
            L(u"IDS_HARDWARE_DETECT_ITEM_OPERAT_SUCCESS_NEED_RESTART"));
  EXPECT_EQ(LinePart(HARDWARE_NETCARD, wifiSwitch, u"txtDetail")->GetText(),
            L(u"IDS_HARDWARE_DETECT_ITEM_OPERAT_SUCCESS_NEED_RESTART_DESCRIPTION"));
  EXPECT_EQ(LinePart(HARDWARE_NETCARD, wifiSwitch + 1, u"optChoose")->GetBkImage(), kRight) << "not the next line";
  EXPECT_EQ(PartOf(HARDWARE_NETCARD, u"ctlBigIcon")->GetBkColor(), kGreen);
  EXPECT_EQ(LinePart(HARDWARE_BLUETOOTH, btState, u"optChoose")->GetBkImage(), kUnusual);
  EXPECT_EQ(LinePart(HARDWARE_BLUETOOTH, btState, u"txtDetail")->GetText(),
            L(u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DEVICE_REPAIR_FAIL"));
  EXPECT_TRUE(LinePart(HARDWARE_BLUETOOTH, btState, u"lytDetail")->IsVisible());
  EXPECT_EQ(LinePart(HARDWARE_BLUETOOTH, 0, u"optChoose")->GetBkImage(), kRight);
  EXPECT_EQ(TextOf(u"txtSysdiagnosedDetectFirstTitle"), L(u"IDS_HARDWARE_DIAGNOSE_REPAIR_FAIL"));
  EXPECT_EQ(TextOf(u"txtSysdiagnoseDetectSecondTitle"), Count(u"IDS_HARDWARE_DIAGNOSE_REPAIR_FAIL_DESCRIPTION", 1));
  EXPECT_EQ(TextOf(u"btnSysdiagnoseDetectBack"), L(u"IDS_HARDWARE_DIAGNOSE_REPAIR_CONTINUE"));
  EXPECT_EQ(RepairCalls(),
            (std::vector<std::string>{"WifiFaultDetect::RepairWifiProblem", "CBluetoothDetect::RepairBTProblems"}));

  // When the user tries again and the Bluetooth repair now succeeds
  testenv::UseMachine(Notebook(checks, R"({"RepairBTProblems": {"succeeded": true}})"));  // clears the journal
  ASSERT_TRUE(w.driver.Click(u"btnSysdiagnoseDetectBack"));
  ASSERT_TRUE(DriveToState(PageDetect::kRepairSucceeded));

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

TEST_F(DetectPageTest, ARepairThatNeedsAShutdownSaysSoOnItsLine) {
  RunToResult(Notebook(R"({"video": {"status": {"code": 22, "passed": false, "level": 0}}})",
                       R"({"RepairVIDEOCARDProblems": {"succeeded": true, "needShutdown": true, "needRestart": true,
                                                       "message": "IDS_HARDWARE_DIAGNOSE_REPAIR_DRIVER_DONE"}})"),
              {HARDWARE_GPU});
  ASSERT_TRUE(w.driver.Click(u"btnSysdiagnoseDetectComplete"));
  ASSERT_TRUE(DriveToState(PageDetect::kRepairSucceeded));

  EXPECT_EQ(LinePart(HARDWARE_GPU, 1, u"optChoose")->GetBkImage(), u"file='drawable/hardware/ic_turnoff.png'");
  EXPECT_EQ(LinePart(HARDWARE_GPU, 1, u"txtResult")->GetText(), L(u"IDS_HARDWARE_DETECT_ITEM_OPERAT_SUCCESS_NEED_SHUTDOWN"));
  EXPECT_EQ(LinePart(HARDWARE_GPU, 1, u"txtDetail")->GetText(), L(u"IDS_HARDWARE_DIAGNOSE_REPAIR_DRIVER_DONE"));
}

TEST_F(DetectPageTest, TheLogUploadIsOfferedOnlyWhenTheLogServiceSaidSo) {
  const auto secondTitle = [&] { return static_cast<CTextUI*>(Control(u"txtSysdiagnoseDetectSecondTitle")); };
  const std::u16string none = L(u"IDS_HARDWARE_DIAGNOSE_RESULT_ABNORM_NOT_FOUND");
  struct Case {
    int offer;
    const char16_t* button;           // pressed in the upload window; null: no link to follow
    std::u16string_view resultKey;    // what the title says after the window
  };
  const Case cases[] = {{1, u"btnUpload", u"IDS_HARDWARE_DIAGNOSE_RESULT_UPLOAD_LOG"},
                        {1, u"btnClose", u"IDS_HARDWARE_DIAGNOSE_RESULT_CANCEL_UPLOAD"},
                        {0, nullptr, u""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offer);
    testenv::UseMachine(Notebook("{}", "{}", c.offer));
    page.StartDetect({HARDWARE_MAINBOARD});
    // The answer arrives while the first line still waits for the clock.
    ASSERT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return page.IsUploadOffered() == (c.offer != 0); }, 10s));
    ASSERT_TRUE(DriveToState(PageDetect::kResult));
    if (!c.button) {
      EXPECT_EQ(secondTitle()->GetText(), none);
      EXPECT_EQ(secondTitle()->GetLinkCount(), 0);
      continue;
    }
    EXPECT_EQ(secondTitle()->GetText(), none + L(u"IDS_HARDWARE_DIAGNOSE_RESULT_SEND_LOG"));
    testenv::WhenModal([](CPaintManagerUI& pm) { return pm.FindControl(u"btnUpload")->IsEnabled(); },
                       [&](UIDriver& d) { EXPECT_TRUE(d.Click(c.button)); });
    ASSERT_TRUE(w.driver.FollowLink(secondTitle(), 0));
    EXPECT_EQ(secondTitle()->GetText(), none + L(c.resultKey));
  }
}

}  // namespace
}  // namespace detecttest
