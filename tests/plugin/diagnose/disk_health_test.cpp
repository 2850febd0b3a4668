#include "diagnose/disk_health.h"
#include "diagnose/item_tests.h"

#include <gtest/gtest.h>

#include "plugin/diagnose/routine_recorder.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

using testing::Events;
using testing::RoutineRecorder;

// `count` zeros, each followed by a comma, then `last`.
std::string Zeros(int count, const std::string& last) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "0,";
  return text + last;
}

TEST(EvaluateHddSmart, CodeZeroEndsInTheUnsignedMinusOne) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"firmware": "F1"}]}, "checks": {"disks": [{"code": 0}]}})");
  FaultDetectors detectors;
  std::vector<tagHardwareDetectInfo> lines;
  std::string payload;

  EXPECT_EQ(EvaluateHddSmart(detectors, 0, lines, payload), 0u);

  EXPECT_EQ(payload, Zeros(24, "4294967295"));
}

TEST(DiagnoseDisk, NoDiskGivesOneBlankLineAndNoEvent) {
  testenv::UseEmptyMachine();
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseDisk, {false, false, u"stale", 0});

  EXPECT_EQ(rec.lines, std::vector<tagHardwareDetectInfo>{FreshLine()});
  EXPECT_TRUE(rec.results.empty());
  EXPECT_TRUE(rec.SentEvents().empty());
  EXPECT_EQ(verdict, FreshVerdict());
}

TEST(DiagnoseDisk, UnlistedDiskIsAnnouncedButShowsNoAttributesAndIsNotCounted) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"caption": "A", "firmware": "F1"},
                                                  {"caption": "B", "firmware": "F2"},
                                                  {"caption": "C", "firmware": "F3", "ssd": true}]},
                          "checks": {"disks": [{"code": 1}, {"code": 2}, {"code": 1}]}})");
  RoutineRecorder rec;

  rec.Run(DiagnoseDisk);

  // A: blank line + 24 attributes, B: blank line only, C: blank line + 22 attributes
  ASSERT_EQ(rec.announcements.size(), 49u);
  EXPECT_EQ(rec.announcements[25].name, u"B");
  EXPECT_EQ(rec.announcements[26].name, u"C");
  ASSERT_EQ(rec.lines.size(), 49u);
  EXPECT_EQ(rec.lines[25], FreshLine());
  const Events events = rec.SentEvents();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1], (std::pair<std::string, std::string>{"620000023", Zeros(24, "1")}));
  EXPECT_EQ(events[2].first, "620000024");
  EXPECT_EQ(events[3], (std::pair<std::string, std::string>{"620000030", "0"}));
}

// Two disks of one model share their firmware revision, and many report none: each disk's check
// must still answer for that disk.
TEST(DiagnoseDisk, EachDiskIsAnsweredForItselfWhateverItsFirmware) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"caption": "A"}, {"caption": "B", "ssd": true}, {"caption": "C"}]},
                          "checks": {"disks": [{"code": 1, "smart": [0, 0, 0, 7]}, {"code": 0, "smart": [0, 5]},
                                               {"code": 2}]}})");
  RoutineRecorder rec;

  rec.Run(DiagnoseDisk);

  EXPECT_EQ(rec.SentEvents(), (Events{{"620000023", "0,0,0,7," + Zeros(20, "0")},
                                      {"620000024", "0,5," + Zeros(20, "4294967295")},
                                      {"620000023", Zeros(24, "1")},
                                      {"620000030", "1"}}));
  ASSERT_EQ(rec.lines.size(), 1u + 24 + 1 + 22 + 1);  // C: its blank line only
  EXPECT_FALSE(rec.lines[1 + 3].passed);               // A's attribute 0x05
  EXPECT_FALSE(rec.lines[1 + 24 + 1 + 1].passed);      // B's attribute 0x05
  EXPECT_EQ(rec.announcements.back().name, u"C");
}

TEST(DiagnoseDisk, NegativeCountSendsOnlyTheZeroCount) {
  testenv::UseMachine(R"({"hardware": {"diskCount": -1, "disks": [{"firmware": "F1"}]}})");
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseDisk);

  EXPECT_TRUE(rec.lines.empty());
  EXPECT_EQ(rec.SentEvents(), (Events{{"620000030", "0"}}));
  EXPECT_TRUE(verdict.passed);
}

}  // namespace
}  // namespace zel::sysdiagnose
