#include "diagnose/category_routines.h"

#include <gtest/gtest.h>

#include "diagnose/disk_health.h"
#include "plugin/diagnose/routine_recorder.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

using testing::RoutineRecorder;
using testing::Text;
using Events = std::vector<std::pair<std::string, std::string>>;

const std::u16string kRepairFail = u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DEVICE_REPAIR_FAIL";

// ---- processor --------------------------------------------------------------------------------

TEST(DiagnoseCpu, WritesSsse3BeforeSse3AndAlwaysPasses) {
  testenv::UseMachine(R"({"checks": {"cpu": {"codes":
      {"sse": 1, "sse2": 2, "sse3": 3, "ssse3": 4, "sse41": 5, "sse42": 6}}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseCpu, detectors);

  EXPECT_EQ(rec.Events(), (Events{{"620000020", "1,2,4,3,5,6"}}));
  EXPECT_EQ(rec.AnnouncedNames(),
            (std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSE"), Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSE2"),
                                         Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSE3"), Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSSE3"),
                                         Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSE41"), Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSE42")}));
  ASSERT_EQ(rec.lines.size(), 6u);
  for (const auto& line : rec.lines) {
    EXPECT_TRUE(line.passed);
    EXPECT_TRUE(line.text.empty());
  }
  EXPECT_EQ(rec.lines[3].code, 4);  // SSSE3 ran fourth
  EXPECT_EQ(verdict, tagDetectResult{});
  EXPECT_EQ(rec.results, std::vector<tagDetectResult>{verdict});
}

TEST(DiagnoseCpu, SkipsEveryTestWhoseSupportIsMissing) {
  testenv::UseMachine(R"({"checks": {"cpu": {
      "support": {"sse": false, "sse2": true, "ssse3": true, "sse41": false, "sse42": true},
      "codes": {"sse": 1, "sse2": 2, "sse3": 3, "ssse3": 4, "sse41": 5, "sse42": 6}}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  rec.Run(DiagnoseCpu, detectors);

  EXPECT_EQ(rec.AnnouncedNames(),
            (std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSE2"), Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSSE3"),
                                         Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSE42")}));
  EXPECT_EQ(rec.lines.size(), 3u);
  EXPECT_EQ(rec.CallsTo("CCpuTest::TestSSE"), 0);
  EXPECT_EQ(rec.CallsTo("CCpuTest::TestSSE3"), 0);  // gated by the SSE query
  EXPECT_EQ(rec.CallsTo("CCpuTest::TestSSE41"), 0);
  EXPECT_EQ(rec.Events(), (Events{{"620000020", "0,2,4,0,0,6"}}));
}

// ---- memory and folding -----------------------------------------------------------------------

TEST(DiagnoseMemory, VerdictCarriesTheLastFailingTextAndTheLowestLevel) {
  testenv::UseMachine(R"({"checks": {"memory": {"stuckAddr": -8, "board": 3, "bitFlip": -5}}})");
  ASSERT_NE(Text(u"IDS_HARDWARE_DIAGNOSE_FN_OPEN"), Text(u"IDS_HARDWARE_DIAGNOSE_LOG_ERROR"));
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseMemory, detectors);

  EXPECT_FALSE(verdict.passed);
  EXPECT_EQ(verdict.level, 0);
  EXPECT_EQ(verdict.text, Text(u"IDS_HARDWARE_DIAGNOSE_LOG_ERROR"));
  EXPECT_FALSE(verdict.extra);
  EXPECT_EQ(rec.lines.size(), 9u);
  EXPECT_EQ(rec.Events(), (Events{{"620000022", "4294967288,0,0,0,0,3,0,0,4294967291"}}));
}

TEST(DiagnoseMemory, ResetsTheVerdictItIsGiven) {
  testenv::UseEmptyMachine();
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseMemory, detectors, {false, true, u"stale", 0});

  EXPECT_EQ(verdict, tagDetectResult{});
}

TEST(DiagnoseKeyboard, LevelOneFailureKeepsLevelOneAndBothChecksRun) {
  testenv::UseMachine(R"({"checks": {"keyboard": {
      "filterKey": {"code": 6, "passed": false, "level": 1, "messageKey": "IDS_HARDWARE_DIAGNOSE_FILTER_OPEN"},
      "hotKey": {"code": 0, "passed": true, "level": 1}}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseKeyboard, detectors);

  EXPECT_FALSE(verdict.passed);
  EXPECT_EQ(verdict.level, 1);
  EXPECT_EQ(verdict.text, Text(u"IDS_HARDWARE_DIAGNOSE_FILTER_OPEN"));
  ASSERT_EQ(rec.announcements.size(), 2u);
  EXPECT_EQ(rec.announcements[0],
            (tagDetectItemDetail{Text(u"IDS_HARDWARE_DIAGNOSE_KEYBOARD_FILTER"), u"RepairFilterKey", u""}));
  EXPECT_EQ(rec.announcements[1],
            (tagDetectItemDetail{Text(u"IDS_HARDWARE_DIAGNOSE_KEYBOARD_HOTKEY"), u"RepairHotkey", u""}));
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_TRUE(rec.Events().empty());
}

TEST(DiagnoseKeyboard, LevelZeroFailureLowersTheLevelWhateverComesAfter) {
  testenv::UseMachine(R"({"checks": {"keyboard": {
      "filterKey": {"code": 6, "passed": false, "level": 0},
      "hotKey": {"code": 7, "passed": false, "level": 5, "messageKey": "IDS_HARDWARE_DIAGNOSE_ERROR_HOTKEY"}}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseKeyboard, detectors);

  EXPECT_EQ(verdict.level, 0);
  EXPECT_EQ(verdict.text, Text(u"IDS_HARDWARE_DIAGNOSE_ERROR_HOTKEY"));
}

// ---- presence gates ---------------------------------------------------------------------------

TEST(DiagnoseGpu, MissingDeviceStopsTheRoutineWithItsMessage) {
  testenv::UseMachine(R"({"checks": {"video": {"device": 5, "status": 9}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseGpu, detectors);

  EXPECT_EQ(rec.announcements,
            (std::vector<tagDetectItemDetail>{
                {Text(u"IDS_HARDWARE_DIAGNOSE_GPU_DEVICE"), u"RepairVideoCard", Text(kRepairFail)}}));
  ASSERT_EQ(rec.lines.size(), 1u);
  EXPECT_EQ(rec.lines[0].name, Text(u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE"));
  EXPECT_EQ(rec.messages, std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_GPU_UNKNOWN")});
  EXPECT_EQ(rec.order, (std::vector<std::string>{"start", "line", "message", "result"}));
  EXPECT_EQ(rec.CallsTo("CVideoCardDetect::CheckDeviceStatus"), 0);
  EXPECT_FALSE(verdict.passed);
  EXPECT_EQ(rec.Events(), (Events{{"620000025", "5,0"}}));
}

TEST(DiagnoseGpu, StatusCodeIsWrittenSigned) {
  testenv::UseMachine(R"({"checks": {"video": {"status": -3}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  rec.Run(DiagnoseGpu, detectors);

  EXPECT_EQ(rec.announcements.at(1),
            (tagDetectItemDetail{Text(u"IDS_HARDWARE_DIAGNOSE_GPU_STATE"), u"RepairVideoCard", u""}));
  EXPECT_EQ(rec.Events(), (Events{{"620000025", "0,-3"}}));
}

TEST(DiagnoseBluetooth, MissingDeviceSendsItsMessageAndNoEvent) {
  testenv::UseMachine(R"({"checks": {"bluetooth": {"device": {"code": 2, "passed": false}}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  rec.Run(DiagnoseBluetooth, detectors);

  EXPECT_EQ(rec.announcements,
            (std::vector<tagDetectItemDetail>{
                {Text(u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DEVICE"), u"RepairBluetooth", Text(kRepairFail)}}));
  EXPECT_EQ(rec.messages, std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_UNKNOWN")});
  EXPECT_EQ(rec.CallsTo("CBluetoothDetect::CheckState"), 0);
  EXPECT_TRUE(rec.Events().empty());
}

TEST(DiagnoseBluetooth, PresenceGateLooksAtTheCodeNotThePassedFlag) {
  // A nonzero code stops the routine even when the library calls the check passed.
  testenv::UseMachine(R"({"checks": {"bluetooth": {"device": {"code": 4, "passed": true}}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseBluetooth, detectors);

  EXPECT_EQ(rec.lines.size(), 1u);
  EXPECT_EQ(rec.messages.size(), 1u);
  EXPECT_TRUE(verdict.passed);
}

TEST(DiagnoseFingerprint, AnnouncesUnderSharedNamesWithoutFailureText) {
  testenv::UseMachine(R"({"checks": {"biometric": {"function": {"code": 3, "passed": false, "messageKey": "IDS_X"}}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseFingerprint, detectors);

  EXPECT_EQ(rec.announcements,
            (std::vector<tagDetectItemDetail>{
                {Text(u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE"), u"RepairFingerprint", u""},
                {Text(u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_STATUS"), u"RepairFingerprint", u""}}));
  EXPECT_EQ(verdict.text, Text(u"IDS_X"));
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_TRUE(rec.Events().empty());
}

TEST(DiagnoseFingerprint, MissingSensorSendsItsMessage) {
  testenv::UseMachine(R"({"checks": {"biometric": {"device": 1}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  rec.Run(DiagnoseFingerprint, detectors);

  EXPECT_EQ(rec.messages, std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_FINGERPRINT_UNKNOWN")});
  EXPECT_EQ(rec.CallsTo("CBiometricDetect::CheckFunction"), 0);
}

// ---- network ----------------------------------------------------------------------------------

TEST(DiagnoseNetcard, PresenceIsAnnouncedAsAudioDeviceButLineKeepsItsName) {
  testenv::UseMachine(R"({"checks": {"wifi": {"networkCard": 7, "switch": 8, "signal": 9}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  rec.Run(DiagnoseNetcard, detectors);

  EXPECT_EQ(rec.announcements,
            (std::vector<tagDetectItemDetail>{
                {Text(u"IDS_HARDWARE_DIAGNOSE_AUDIO_DEVICE"), u"RepairWifiDriver", Text(kRepairFail)},
                {Text(u"IDS_HARDWARE_DIAGNOSE_NETCARD_ADAPTER"), u"RepairWifiProblem", u""},
                {Text(u"IDS_HARDWARE_DIAGNOSE_WIFI_SWITCH"), u"RepairWifiProblem", u""},
                {Text(u"IDS_HARDWARE_DIAGNOSE_NETCARD_SIGNAL"), u"RepairWifiProblem", u""}}));
  EXPECT_EQ(rec.lines.at(0).name, Text(u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE"));
  EXPECT_EQ(rec.Events(), (Events{{"620000028", "0,7,8,9"}}));  // a failing adapter gates nothing
}

TEST(DiagnoseNetcard, WithoutWirelessSupportOnlyTwoChecksRun) {
  testenv::UseMachine(R"({"hardware": {"network": {"notSupportWireless": true}},
                          "checks": {"wifi": {"networkCard": 7, "switch": 8, "signal": 9}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  rec.Run(DiagnoseNetcard, detectors);

  EXPECT_EQ(rec.lines.size(), 2u);
  EXPECT_EQ(rec.CallsTo("WifiFaultDetect::CheckWifiSwitch"), 0);
  EXPECT_EQ(rec.CallsTo("WifiFaultDetect::CheckWifiSignal"), 0);
  EXPECT_EQ(rec.Events(), (Events{{"620000028", "0,7,0,0"}}));
}

TEST(DiagnoseNetcard, MissingCardSkipsTheRest) {
  testenv::UseMachine(R"({"checks": {"wifi": {"device": 4294967295}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  rec.Run(DiagnoseNetcard, detectors);

  EXPECT_EQ(rec.messages, std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_WIFI_UNKNOWN")});
  EXPECT_EQ(rec.Events(), (Events{{"620000028", "4294967295,0,0,0"}}));
}

// ---- battery ----------------------------------------------------------------------------------

TEST(DiagnoseBattery, MissingBatteryWritesOnesForSkippedTests) {
  testenv::UseMachine(R"({"checks": {"battery": {"device": 1}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseBattery, detectors);

  EXPECT_EQ(rec.Events(), (Events{{"620000029", "1,1,1"}}));
  EXPECT_FALSE(verdict.passed);
  EXPECT_EQ(verdict.text, Text(u"IDS_HARDWARE_DIAGNOSE_BATTERY_UNKNOWN"));
  EXPECT_EQ(rec.messages, std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_BATTERY_UNKNOWN")});
  EXPECT_EQ(rec.CallsTo("CBatteryDetect::TestVoltage"), 0);
  EXPECT_EQ(rec.CallsTo("CBatteryDetect::TestLoss"), 0);
}

TEST(DiagnoseBattery, FailingLossTestIsFoldedButNeverReported) {
  testenv::UseMachine(R"({"checks": {"battery": {"loss": 9}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseBattery, detectors);

  EXPECT_EQ(rec.AnnouncedNames(), (std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE"),
                                                               Text(u"IDS_HARDWARE_DIAGNOSE_BAT_VOLTAGE")}));
  ASSERT_EQ(rec.lines.size(), 2u);
  EXPECT_TRUE(rec.lines[1].passed);  // the voltage line as reported
  EXPECT_EQ(rec.CallsTo("CBatteryDetect::TestLoss"), 1);
  EXPECT_FALSE(verdict.passed);
  EXPECT_EQ(verdict.text, Text(u"IDS_HARDWARE_DIAGNOSE_BATTERY_LOWVOLT"));
  EXPECT_EQ(rec.Events(), (Events{{"620000029", "0,0,9"}}));
}

// ---- audio and its performance report ---------------------------------------------------------

TEST(DiagnoseAudio, ShortLoopBackReportsThreeEmptySampleLists) {
  testenv::UseMachine(R"({"checks": {"audio": {"loopBack": {"code": 3, "passed": false}}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  rec.Run(DiagnoseAudio, detectors);

  EXPECT_EQ(rec.announcements,
            (std::vector<tagDetectItemDetail>{
                {Text(u"IDS_HARDWARE_DIAGNOSE_AUDIO_DEVICE"), u"RepairAudio", Text(kRepairFail)},
                {Text(u"IDS_HARDWARE_DIAGNOSE_AUDIO_LOOPBACK"), u"RepairAudio", u""}}));
  EXPECT_EQ(rec.Events(), (Events{{"624000009", R"({"CpuUsage":"","CpuClock":"","DeviceTemper":""})"},
                                  {"620000027", "0,3"}}));
}

TEST(DiagnoseAudio, MissingDeviceMakesNoPerformanceReport) {
  testenv::UseMachine(R"({"checks": {"audio": {"device": 2}}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  rec.Run(DiagnoseAudio, detectors);

  EXPECT_EQ(rec.messages, std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_AUDIO_UNKNOWN")});
  EXPECT_EQ(rec.Events(), (Events{{"620000027", "2,0"}}));
}

// ---- fixed lines ------------------------------------------------------------------------------

TEST(DiagnoseMainboardAndDisplay, PassWithoutLibraryCallsAndSendZero) {
  testenv::UseEmptyMachine();
  FaultDetectors detectors;
  RoutineRecorder rec;

  EXPECT_TRUE(rec.Run(DiagnoseMainboard, detectors).passed);
  EXPECT_TRUE(rec.Run(DiagnoseDisplay, detectors).passed);

  EXPECT_EQ(rec.AnnouncedNames(), (std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_MOT_FAST"),
                                                               Text(u"IDS_HARDWARE_DIAGNOSE_DISPLAY_FAST")}));
  EXPECT_EQ(rec.LineNames(), rec.AnnouncedNames());
  EXPECT_TRUE(host::machine::Machine::Instance().Journal().empty());
  EXPECT_EQ(rec.Events(), (Events{{"620000021", "0"}, {"620000026", "0"}}));
  EXPECT_EQ(rec.categories, (std::vector<int32_t>{1, 1, 1, 8, 8, 8}));
}

// ---- the routine table ------------------------------------------------------------------------

TEST(RoutineFor, MapsEveryCategoryAndNothingElse) {
  EXPECT_EQ(RoutineFor(HARDWARE_AUDIO), &DiagnoseAudio);
  EXPECT_EQ(RoutineFor(HARDWARE_NETCARD), &DiagnoseNetcard);
  EXPECT_EQ(RoutineFor(HARDWARE_CPU), &DiagnoseCpu);
  EXPECT_EQ(RoutineFor(HARDWARE_DISK), &DiagnoseDisk);
  EXPECT_EQ(RoutineFor(HARDWARE_FINGERPRINT), &DiagnoseFingerprint);
  EXPECT_EQ(RoutineFor(12), nullptr);
  EXPECT_EQ(RoutineFor(-1), nullptr);
}

TEST(RoutineFor, EveryRoutineReportsUnderItsOwnCategory) {
  testenv::UseEmptyMachine();
  FaultDetectors detectors;
  for (int32_t category = 0; category < kHardwareCategoryCount; ++category) {
    RoutineRecorder rec;
    rec.Run(RoutineFor(category), detectors);
    ASSERT_FALSE(rec.categories.empty()) << category;
    for (int32_t reported : rec.categories) EXPECT_EQ(reported, category);
  }
}

}  // namespace
}  // namespace zel::sysdiagnose
