#include "diagnose/disk_health.h"
#include "diagnose/item_tests.h"

#include <gtest/gtest.h>

#include "plugin/diagnose/routine_recorder.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

using testing::RoutineRecorder;
using testing::Text;
using Events = std::vector<std::pair<std::string, std::string>>;

std::string Zeros(int count, const std::string& last) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "0,";
  return text + last;
}

TEST(EvaluateHddSmart, HealthyDiskGivesTwentyFourPassingLinesAndEndsInZero) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"caption": "HDD", "firmware": "F1"}]}})");
  FaultDetectors detectors;
  std::vector<tagHardwareDetectInfo> lines;
  std::string payload;

  EXPECT_EQ(EvaluateHddSmart(detectors, 0, lines, payload), 1u);

  ASSERT_EQ(lines.size(), 24u);
  for (const auto& line : lines) EXPECT_TRUE(line.passed && line.text.empty() && line.code == 0 && line.valid);
  EXPECT_EQ(lines[0].name, Text(u"IDS_HARDWARE_DIAGNOSE_DISK_01"));
  EXPECT_EQ(lines[6].name, Text(u"IDS_HARDWARE_DIAGNOSE_DISK_0A"));
  EXPECT_EQ(lines[12].name, Text(u"IDS_HARDWARE_DIAGNOSE_DISK_BD"));
  EXPECT_EQ(lines[23].name, Text(u"IDS_HARDWARE_DIAGNOSE_DISK_F2"));
  EXPECT_EQ(payload, Zeros(24, "0"));
}

TEST(EvaluateHddSmart, CodeZeroEndsInTheUnsignedMinusOne) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"firmware": "F1"}]}, "checks": {"disks": [{"code": 0}]}})");
  FaultDetectors detectors;
  std::vector<tagHardwareDetectInfo> lines;
  std::string payload;

  EXPECT_EQ(EvaluateHddSmart(detectors, 0, lines, payload), 0u);

  EXPECT_EQ(payload, Zeros(24, "4294967295"));
}

TEST(EvaluateSsdSmart, FailingAttributeFailsOnlyItsOwnLine) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"firmware": "S1", "ssd": true}]},
                          "checks": {"disks": [{"code": 1, "smart": [0, 3]}]}})");
  FaultDetectors detectors;
  std::vector<tagHardwareDetectInfo> lines = {FreshLine()};  // appended to, not replaced
  std::string payload;

  EXPECT_EQ(EvaluateSsdSmart(detectors, 0, lines, payload), 1u);

  ASSERT_EQ(lines.size(), 23u);
  EXPECT_EQ(lines[2].name, Text(u"IDS_HARDWARE_DIAGNOSE_DISK_05"));
  EXPECT_FALSE(lines[2].passed);
  EXPECT_TRUE(lines[2].text.empty());
  EXPECT_EQ(lines[22].name, Text(u"IDS_HARDWARE_DIAGNOSE_DISK_F2"));
  EXPECT_EQ(lines[5].name, Text(u"IDS_HARDWARE_DIAGNOSE_DISK_AA"));
  EXPECT_EQ(payload, "0,3," + Zeros(20, "0"));
}

TEST(DiagnoseDisk, NoDiskGivesOneBlankLineAndNothingElse) {
  testenv::UseEmptyMachine();
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseDisk, detectors, {false, false, u"stale", 0});

  EXPECT_EQ(rec.announcements, std::vector<tagDetectItemDetail>{tagDetectItemDetail{}});
  EXPECT_EQ(rec.lines, std::vector<tagHardwareDetectInfo>{FreshLine()});
  EXPECT_TRUE(rec.results.empty());
  EXPECT_TRUE(rec.Events().empty());
  EXPECT_EQ(verdict, FreshVerdict());
}

TEST(DiagnoseDisk, HealthyHardDiskReportsEveryAttributeAfterItsBlankLine) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"caption": "Disk One", "firmware": "F1"}]}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseDisk, detectors);

  EXPECT_EQ(rec.Events(), (Events{{"620000023", Zeros(24, "0")}, {"620000030", "0"}}));
  ASSERT_EQ(rec.announcements.size(), 25u);
  EXPECT_EQ(rec.announcements[0], (tagDetectItemDetail{u"Disk One", u"", u""}));
  EXPECT_EQ(rec.announcements[1].name, Text(u"IDS_HARDWARE_DIAGNOSE_DISK_01"));
  ASSERT_EQ(rec.lines.size(), 25u);
  EXPECT_EQ(rec.lines[0], FreshLine());
  EXPECT_EQ(rec.lines[1].name, rec.announcements[1].name);
  EXPECT_TRUE(rec.messages.empty());
  EXPECT_EQ(rec.results, std::vector<tagDetectResult>{verdict});
  EXPECT_TRUE(verdict.passed);
}

TEST(DiagnoseDisk, FailingAttributeNeverTouchesTheVerdict) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"firmware": "S1", "ssd": true}]},
                          "checks": {"disks": [{"code": 3, "smart": [9, 9, 9]}]}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseDisk, detectors);

  EXPECT_EQ(verdict, FreshVerdict());
  EXPECT_FALSE(rec.lines.at(1).passed);
  EXPECT_EQ(rec.Events(), (Events{{"620000024", "9,9,9," + Zeros(19, "2")}, {"620000030", "1"}}));
}

TEST(DiagnoseDisk, UnlistedDiskIsAnnouncedButShowsNoAttributesAndIsNotCounted) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"caption": "A", "firmware": "F1"},
                                                  {"caption": "B", "firmware": "F2"},
                                                  {"caption": "C", "firmware": "F3", "ssd": true}]},
                          "checks": {"disks": [{"code": 1}, {"code": 2}, {"code": 1}]}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  rec.Run(DiagnoseDisk, detectors);

  // A: 1 + 24, B: 1, C: 1 + 22
  ASSERT_EQ(rec.announcements.size(), 49u);
  EXPECT_EQ(rec.announcements[25].name, u"B");
  EXPECT_EQ(rec.announcements[26].name, u"C");
  EXPECT_EQ(rec.lines.size(), 49u);
  EXPECT_EQ(rec.lines[25], FreshLine());
  const Events events = rec.Events();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].first, "620000023");
  EXPECT_EQ(events[1], (std::pair<std::string, std::string>{"620000023", Zeros(24, "1")}));
  EXPECT_EQ(events[2].first, "620000024");
  EXPECT_EQ(events[3], (std::pair<std::string, std::string>{"620000030", "0"}));
}

TEST(DiagnoseDisk, CountsEveryKeptDiskWhoseCodeIsNotOne) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"firmware": "F1"}, {"firmware": "F2"}, {"firmware": "F3"}]},
                          "checks": {"disks": [{"code": 1}, {"code": 3}, {"code": 0}]}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  rec.Run(DiagnoseDisk, detectors);

  EXPECT_EQ(rec.Events().back(), (std::pair<std::string, std::string>{"620000030", "2"}));
}

TEST(DiagnoseDisk, NegativeCountSendsOnlyTheZeroCount) {
  testenv::UseMachine(R"({"hardware": {"diskCount": -1, "disks": [{"firmware": "F1"}]}})");
  FaultDetectors detectors;
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseDisk, detectors);

  EXPECT_TRUE(rec.announcements.empty());
  EXPECT_TRUE(rec.lines.empty());
  EXPECT_EQ(rec.Events(), (Events{{"620000030", "0"}}));
  EXPECT_EQ(rec.results, std::vector<tagDetectResult>{verdict});
  EXPECT_TRUE(verdict.passed);
}

}  // namespace
}  // namespace zel::sysdiagnose
