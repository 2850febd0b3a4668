#include "diagnose/category_routines.h"

#include <gtest/gtest.h>

#include "plugin/diagnose/routine_recorder.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

using testing::Events;
using testing::RoutineRecorder;
using testing::Text;

TEST(DiagnoseCpu, WritesSsse3BeforeSse3AndPassesEveryLine) {
  testenv::UseMachine(R"({"checks": {"cpu": {"codes":
      {"sse": 1, "sse2": 2, "sse3": 3, "ssse3": 4, "sse41": 5, "sse42": 6}}}})");
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseCpu);

  EXPECT_EQ(rec.SentEvents(), (Events{{"620000020", "1,2,4,3,5,6"}}));
  ASSERT_EQ(rec.lines.size(), 6u);
  for (const auto& line : rec.lines) EXPECT_TRUE(line.passed);
  EXPECT_TRUE(verdict.passed);
}

TEST(DiagnoseCpu, NeitherAnnouncesNorRunsATestWhoseSupportIsMissing) {
  testenv::UseMachine(R"({"checks": {"cpu": {
      "support": {"sse": false, "sse2": true, "ssse3": true, "sse41": false, "sse42": true},
      "codes": {"sse": 1, "sse2": 2, "sse3": 3, "ssse3": 4, "sse41": 5, "sse42": 6}}}})");
  RoutineRecorder rec;

  rec.Run(DiagnoseCpu);

  EXPECT_EQ(rec.AnnouncedNames(),
            (std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSE2"), Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSSE3"),
                                         Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSE42")}));
  EXPECT_EQ(rec.lines.size(), 3u);
  EXPECT_EQ(rec.CallsTo("CCpuTest::TestSSE3"), 0);  // gated by the SSE query
  EXPECT_EQ(rec.SentEvents(), (Events{{"620000020", "0,2,4,0,0,6"}}));
}

TEST(DiagnoseMemory, VerdictCarriesTheLastFailingTextAndTheLowestLevel) {
  testenv::UseMachine(R"({"checks": {"memory": {"stuckAddr": -8, "board": 3, "bitFlip": -5}}})");
  ASSERT_NE(Text(u"IDS_HARDWARE_DIAGNOSE_FN_OPEN"), Text(u"IDS_HARDWARE_DIAGNOSE_LOG_ERROR"));
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseMemory);

  EXPECT_FALSE(verdict.passed);
  EXPECT_EQ(verdict.level, 0);
  EXPECT_EQ(verdict.text, Text(u"IDS_HARDWARE_DIAGNOSE_LOG_ERROR"));
  EXPECT_EQ(rec.SentEvents(), (Events{{"620000022", "4294967288,0,0,0,0,3,0,0,4294967291"}}));
}

TEST(DiagnoseKeyboard, LevelOneFailureDoesNotLowerTheLevel) {
  testenv::UseMachine(R"({"checks": {"keyboard": {
      "filterKey": {"code": 6, "passed": false, "level": 1, "messageKey": "IDS_HARDWARE_DIAGNOSE_FILTER_OPEN"},
      "hotKey": {"code": 0, "passed": true, "level": 1}}}})");
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseKeyboard);

  EXPECT_FALSE(verdict.passed);
  EXPECT_EQ(verdict.level, 1);
  EXPECT_EQ(verdict.text, Text(u"IDS_HARDWARE_DIAGNOSE_FILTER_OPEN"));
  EXPECT_EQ(rec.lines.size(), 2u);
}

TEST(DiagnoseGpu, MissingDeviceStopsTheRoutineWithItsMessage) {
  testenv::UseMachine(R"({"checks": {"video": {"device": 5, "status": 9}}})");
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseGpu);

  EXPECT_EQ(rec.messages, std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_GPU_UNKNOWN")});
  EXPECT_EQ(rec.order, (std::vector<std::string>{"start", "line", "message", "result"}));
  EXPECT_EQ(rec.CallsTo("CVideoCardDetect::CheckDeviceStatus"), 0);
  EXPECT_FALSE(verdict.passed);
  EXPECT_EQ(rec.SentEvents(), (Events{{"620000025", "5,0"}}));
}

TEST(DiagnoseNetcard, WirelessCardsAreCheckedInFullWiredOnesWithoutSwitchAndSignal) {
  const std::vector<std::u16string> allFour = {
      Text(u"IDS_HARDWARE_DIAGNOSE_AUDIO_DEVICE"), Text(u"IDS_HARDWARE_DIAGNOSE_NETCARD_ADAPTER"),
      Text(u"IDS_HARDWARE_DIAGNOSE_WIFI_SWITCH"), Text(u"IDS_HARDWARE_DIAGNOSE_NETCARD_SIGNAL")};
  const struct {
    const char* name;
    const char* profile;
    std::vector<std::u16string> announced;
    std::vector<std::u16string> messages;
    std::string payload;
    bool passed;
  } cases[] = {
      {"wireless", R"({"checks": {"wifi": {"networkCard": 2, "switch": 3, "signal": 4}}})", allFour, {}, "0,2,3,4",
       false},
      {"wired", R"({"hardware": {"network": {"notSupportWireless": true}}})", {allFour[0], allFour[1]}, {}, "0,0,0,0",
       true},
      {"absent", R"({"checks": {"wifi": {"device": 5, "networkCard": 2}}})", {allFour[0]},
       {Text(u"IDS_HARDWARE_DIAGNOSE_WIFI_UNKNOWN")}, "5,0,0,0", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testenv::UseMachine(c.profile);
    RoutineRecorder rec;

    const tagDetectResult verdict = rec.Run(DiagnoseNetcard);

    EXPECT_EQ(rec.AnnouncedNames(), c.announced);
    ASSERT_EQ(rec.lines.size(), c.announced.size());
    EXPECT_EQ(rec.lines[0].name, Text(u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE"));  // the line keeps its own name
    EXPECT_EQ(rec.announcements[0].repairName, u"RepairWifiDriver");
    EXPECT_EQ(rec.messages, c.messages);
    EXPECT_EQ(rec.SentEvents(), (Events{{"620000028", c.payload}}));
    EXPECT_EQ(verdict.passed, c.passed);
  }
}

TEST(DiagnoseBattery, MissingBatteryWritesOnesForSkippedTests) {
  testenv::UseMachine(R"({"checks": {"battery": {"device": 1}}})");
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseBattery);

  EXPECT_EQ(rec.SentEvents(), (Events{{"620000029", "1,1,1"}}));
  EXPECT_FALSE(verdict.passed);
  EXPECT_EQ(rec.messages, std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_BATTERY_UNKNOWN")});
  EXPECT_EQ(rec.CallsTo("CBatteryDetect::TestVoltage"), 0);
}

TEST(DiagnoseBattery, FailingLossTestIsFoldedButNeverAnnounced) {
  testenv::UseMachine(R"({"checks": {"battery": {"loss": 9}}})");
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseBattery);

  EXPECT_EQ(rec.AnnouncedNames(), (std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE"),
                                                               Text(u"IDS_HARDWARE_DIAGNOSE_BAT_VOLTAGE")}));
  ASSERT_EQ(rec.lines.size(), 2u);
  EXPECT_TRUE(rec.lines[1].passed);  // the voltage line: only the unshown loss test failed
  EXPECT_EQ(rec.CallsTo("CBatteryDetect::TestLoss"), 1);
  EXPECT_FALSE(verdict.passed);
  EXPECT_EQ(verdict.text, Text(u"IDS_HARDWARE_DIAGNOSE_BATTERY_LOWVOLT"));
  EXPECT_EQ(rec.SentEvents(), (Events{{"620000029", "0,0,9"}}));
}

TEST(DiagnoseAudio, ShortLoopBackReportsThreeEmptySampleLists) {
  testenv::UseMachine(R"({"checks": {"audio": {"loopBack": {"code": 3, "passed": false}}}})");
  RoutineRecorder rec;

  rec.Run(DiagnoseAudio);

  EXPECT_EQ(rec.SentEvents(), (Events{{"624000009", R"({"CpuUsage":"","CpuClock":"","DeviceTemper":""})"},
                                      {"620000027", "0,3"}}));
}

}  // namespace
}  // namespace zel::sysdiagnose
