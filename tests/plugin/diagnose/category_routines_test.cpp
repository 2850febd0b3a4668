#include "diagnose/category_routines.h"

#include <gtest/gtest.h>

#include "diagnose/disk_health.h"
#include "diagnose/item_tests.h"
#include "plugin/diagnose/routine_recorder.h"

namespace zel::sysdiagnose {
namespace {

using testing::Events;
using testing::RoutineRecorder;
using testing::Text;

TEST(ItemTest, EachKindWritesItsLineAndReturnsTheLibrarysCode) {
  const struct {
    const char* what;
    const char* profile;
    uint32_t (*test)(FaultDetectors&, tagHardwareDetectInfo&);
    uint32_t code;
    bool passed;
    std::u16string text;
    int32_t lineCode;
  } cases[] = {
      {"a failing memory check carries the text of its signed code",
       R"({"checks": {"memory": {"stuckAddr": 4294967291}}})", TestMemStuckAddr, 4294967291u, false,
       Text(u"IDS_HARDWARE_DIAGNOSE_LOG_ERROR"), -5},
      {"a processor test passes whatever its code", R"({"checks": {"cpu": {"codes": {"sse42": 4294967291}}}})",
       TestCpuSse42, 4294967291u, true, u"", -5},
      {"a passing battery line still carries its fixed text", R"({})", TestBatteryVoltage, 0, true,
       Text(u"IDS_HARDWARE_DIAGNOSE_BATTERY_LOWVOLT"), 0},
  };
  for (const auto& c : cases) {
    testenv::UseMachine(c.profile);
    FaultDetectors detectors;
    tagHardwareDetectInfo line = FreshLine();

    EXPECT_EQ(c.test(detectors, line), c.code) << c.what;

    EXPECT_EQ(line.passed, c.passed) << c.what;
    EXPECT_EQ(line.text, c.text) << c.what;
    EXPECT_EQ(line.code, c.lineCode) << c.what;
  }
}

TEST(DiagnoseCpu, WritesSsse3BeforeSse3AndPassesEveryLine) {
  RoutineRecorder rec(R"({"checks": {"cpu": {"codes":
      {"sse": 1, "sse2": 2, "sse3": 3, "ssse3": 4, "sse41": 5, "sse42": 6}}}})");

  EXPECT_TRUE(rec.Run(DiagnoseCpu).passed);

  EXPECT_EQ(rec.SentEvents(), (Events{{"620000020", "1,2,4,3,5,6"}}));
  ASSERT_EQ(rec.lines.size(), 6u);
  for (const auto& line : rec.lines) EXPECT_TRUE(line.passed);
}

TEST(DiagnoseCpu, NeitherAnnouncesNorRunsATestWhoseSupportIsMissing) {
  RoutineRecorder rec(R"({"checks": {"cpu": {
      "support": {"sse": false, "sse2": true, "ssse3": true, "sse41": false, "sse42": true},
      "codes": {"sse": 1, "sse2": 2, "sse3": 3, "ssse3": 4, "sse41": 5, "sse42": 6}}}})");

  rec.Run(DiagnoseCpu);

  EXPECT_EQ(rec.AnnouncedNames(),
            (std::vector<std::u16string>{Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSE2"), Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSSE3"),
                                         Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSE42")}));
  EXPECT_EQ(rec.lines.size(), 3u);
  EXPECT_EQ(rec.CallsTo("CCpuTest::TestSSE3"), 0);  // gated by the SSE query
  EXPECT_EQ(rec.SentEvents(), (Events{{"620000020", "0,2,4,0,0,6"}}));
}

TEST(DiagnoseMemory, VerdictCarriesTheLastFailingTextAndTheLowestLevel) {
  RoutineRecorder rec(R"({"checks": {"memory": {"stuckAddr": -8, "board": 3, "bitFlip": -5}}})");
  ASSERT_NE(Text(u"IDS_HARDWARE_DIAGNOSE_FN_OPEN"), Text(u"IDS_HARDWARE_DIAGNOSE_LOG_ERROR"));

  const tagDetectResult verdict = rec.Run(DiagnoseMemory);

  EXPECT_FALSE(verdict.passed);
  EXPECT_EQ(verdict.level, 0);
  EXPECT_EQ(verdict.text, Text(u"IDS_HARDWARE_DIAGNOSE_LOG_ERROR"));
  EXPECT_EQ(rec.SentEvents(), (Events{{"620000022", "4294967288,0,0,0,0,3,0,0,4294967291"}}));
}

TEST(DiagnoseKeyboard, LevelOneFailureDoesNotLowerTheLevel) {
  RoutineRecorder rec(R"({"checks": {"keyboard": {
      "filterKey": {"code": 6, "passed": false, "level": 1, "messageKey": "IDS_HARDWARE_DIAGNOSE_FILTER_OPEN"},
      "hotKey": {"code": 0, "passed": true, "level": 1}}}})");

  const tagDetectResult verdict = rec.Run(DiagnoseKeyboard);

  EXPECT_FALSE(verdict.passed);
  EXPECT_EQ(verdict.level, 1);
  EXPECT_EQ(verdict.text, Text(u"IDS_HARDWARE_DIAGNOSE_FILTER_OPEN"));
  EXPECT_EQ(rec.lines.size(), 2u);
}

// A missing device stops the routine with its message; the tests it skips are never called and
// are reported with the skipped value of the category's event.
TEST(CategoryRoutine, AMissingDeviceStopsTheRoutineWithItsMessage) {
  const struct {
    DiagnoseRoutine routine;
    const char* profile;
    const char16_t* message;
    const char* skippedCall;
    Events events;
  } cases[] = {
      {DiagnoseGpu, R"({"checks": {"video": {"device": 5, "status": 9}}})", u"IDS_HARDWARE_DIAGNOSE_GPU_UNKNOWN",
       "CVideoCardDetect::CheckDeviceStatus", {{"620000025", "5,0"}}},
      {DiagnoseBattery, R"({"checks": {"battery": {"device": 1}}})", u"IDS_HARDWARE_DIAGNOSE_BATTERY_UNKNOWN",
       "CBatteryDetect::TestVoltage", {{"620000029", "1,1,1"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.skippedCall);
    RoutineRecorder rec(c.profile);

    EXPECT_FALSE(rec.Run(c.routine).passed);

    EXPECT_EQ(rec.messages, std::vector<std::u16string>{Text(c.message)});
    EXPECT_EQ(rec.order, (std::vector<std::string>{"start", "line", "message", "result"}));
    EXPECT_EQ(rec.CallsTo(c.skippedCall), 0);
    EXPECT_EQ(rec.SentEvents(), c.events);
  }
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
    RoutineRecorder rec(c.profile);

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

TEST(DiagnoseBattery, FailingLossTestIsFoldedButNeverAnnounced) {
  RoutineRecorder rec(R"({"checks": {"battery": {"loss": 9}}})");

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
  RoutineRecorder rec(R"({"checks": {"audio": {"loopBack": {"code": 3, "passed": false}}}})");

  rec.Run(DiagnoseAudio);

  EXPECT_EQ(rec.SentEvents(), (Events{{"624000009", R"({"CpuUsage":"","CpuClock":"","DeviceTemper":""})"},
                                      {"620000027", "0,3"}}));
}

// `count` zeros, each followed by a comma, then `last`.
std::string Zeros(int count, const std::string& last) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "0,";
  return text + last;
}

TEST(DiagnoseDisk, NoDiskGivesOneBlankLineAndNoEvent) {
  RoutineRecorder rec(R"({})");

  EXPECT_EQ(rec.Run(DiagnoseDisk, {false, false, u"stale", 0}), FreshVerdict());

  EXPECT_EQ(rec.lines, std::vector<tagHardwareDetectInfo>{FreshLine()});
  EXPECT_TRUE(rec.results.empty());
  EXPECT_TRUE(rec.SentEvents().empty());
}

// Two disks of one model share their firmware revision, and many report none: each disk's check
// must still answer for that disk. A disk the library does not list (code 2) is announced and
// reported but shows no attributes and is not counted.
TEST(DiagnoseDisk, EachDiskIsAnsweredForItselfWhateverItsFirmware) {
  RoutineRecorder rec(R"({"hardware": {"disks": [{"caption": "A"}, {"caption": "B", "ssd": true}, {"caption": "C"}]},
                          "checks": {"disks": [{"code": 1, "smart": [0, 0, 0, 7]}, {"code": 0, "smart": [0, 5]},
                                               {"code": 2}]}})");

  rec.Run(DiagnoseDisk);

  EXPECT_EQ(rec.SentEvents(), (Events{{"620000023", "0,0,0,7," + Zeros(20, "0")},
                                      {"620000024", "0,5," + Zeros(20, "4294967295")},
                                      {"620000023", Zeros(24, "1")},
                                      {"620000030", "1"}}));
  ASSERT_EQ(rec.lines.size(), 1u + 24 + 1 + 22 + 1);  // C: its blank line only
  EXPECT_FALSE(rec.lines[1 + 3].passed);               // A's attribute 0x05
  EXPECT_FALSE(rec.lines[1 + 24 + 1 + 1].passed);      // B's attribute 0x05
  EXPECT_EQ(rec.AnnouncedNames()[1 + 24], u"B");
  EXPECT_EQ(rec.announcements.back().name, u"C");
  EXPECT_EQ(rec.lines.back(), FreshLine());
}

TEST(DiagnoseDisk, NegativeCountSendsOnlyTheZeroCount) {
  RoutineRecorder rec(R"({"hardware": {"diskCount": -1, "disks": [{"firmware": "F1"}]}})");

  EXPECT_TRUE(rec.Run(DiagnoseDisk).passed);

  EXPECT_TRUE(rec.lines.empty());
  EXPECT_EQ(rec.SentEvents(), (Events{{"620000030", "0"}}));
}

}  // namespace
}  // namespace zel::sysdiagnose
