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

TEST(DiagnoseDisk, NoDiskGivesOneBlankLineAndNoEvent) {
  testenv::UseEmptyMachine();
  RoutineRecorder rec;

  const tagDetectResult verdict = rec.Run(DiagnoseDisk, {false, false, u"stale", 0});

  EXPECT_EQ(rec.lines, std::vector<tagHardwareDetectInfo>{FreshLine()});
  EXPECT_TRUE(rec.results.empty());
  EXPECT_TRUE(rec.SentEvents().empty());
  EXPECT_EQ(verdict, FreshVerdict());
}

// Two disks of one model share their firmware revision, and many report none: each disk's check
// must still answer for that disk. A disk the library does not list (code 2) is announced and
// reported but shows no attributes and is not counted.
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
  EXPECT_EQ(rec.AnnouncedNames()[1 + 24], u"B");
  EXPECT_EQ(rec.announcements.back().name, u"C");
  EXPECT_EQ(rec.lines.back(), FreshLine());
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
