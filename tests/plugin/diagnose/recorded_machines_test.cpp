// A diagnosis of every category on the recorded machines, read as the running machine.
#include <gtest/gtest.h>

#include "diagnose/category_routines.h"
#include "plugin/diagnose/routine_recorder.h"
#include "platform/encoding.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

using testing::RoutineRecorder;
using testing::Text;

struct Verdict {
  bool passed;
  std::u16string text;
  bool operator==(const Verdict&) const = default;
  friend void PrintTo(const Verdict& v, std::ostream* out) {
    *out << (v.passed ? "passed" : "not passed") << " \"" << platform::Utf16ToUtf8(v.text) << '"';
  }
};

std::map<int32_t, Verdict> DiagnoseEveryCategory() {
  std::map<int32_t, Verdict> verdicts;
  for (int32_t category = 0; category < kHardwareCategoryCount; ++category) {
    RoutineRecorder recorder;
    const tagDetectResult verdict = recorder.Run(RoutineFor(category));
    verdicts[category] = {verdict.passed, verdict.text};
  }
  return verdicts;
}

std::map<int32_t, Verdict> AllPassing() {
  std::map<int32_t, Verdict> verdicts;
  for (int32_t category = 0; category < kHardwareCategoryCount; ++category) verdicts[category] = {true, u""};
  return verdicts;
}

TEST(RecordedMachines, TheNotebookHasOnlyItsBluetoothSwitchedOff) {
  testenv::UseRecordedMachine("notebook");
  auto expected = AllPassing();
  expected[HARDWARE_BLUETOOTH] = {false, Text(u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_OFF")};

  EXPECT_EQ(DiagnoseEveryCategory(), expected);
}

TEST(RecordedMachines, TheDesktopLacksBatteryBluetoothAndFingerprintReader) {
  testenv::UseRecordedMachine("desktop");
  auto expected = AllPassing();
  expected[HARDWARE_BATTERY] = {false, Text(u"IDS_HARDWARE_DIAGNOSE_BATTERY_UNKNOWN")};
  expected[HARDWARE_BLUETOOTH] = {false, Text(u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_UNKNOWN")};
  expected[HARDWARE_FINGERPRINT] = {false, Text(u"IDS_HARDWARE_DIAGNOSE_FINGERPRINT_UNKNOWN")};

  EXPECT_EQ(DiagnoseEveryCategory(), expected);
}

TEST(RecordedMachines, OneFlippedBitFailsTheMemoryCategoryLineByLine) {
  testenv::UseRecordedMachine("notebook", [](std::span<uint64_t> words) { words[words.size() / 2] ^= 1; });

  RoutineRecorder recorder;
  const tagDetectResult verdict = recorder.Run(RoutineFor(HARDWARE_MEMORY));

  EXPECT_FALSE(verdict.passed);
  ASSERT_EQ(recorder.lines.size(), 9u);
  for (const auto& line : recorder.lines) EXPECT_FALSE(line.passed) << platform::Utf16ToUtf8(line.name);
  EXPECT_EQ(RoutineRecorder::SentEvents().back(), (std::pair<std::string, std::string>{"620000022", "1,1,1,1,1,1,1,1,1"}));
}

TEST(RecordedMachines, DisksWhoseHealthCannotBeReadAreAnnouncedButNotCounted) {
  testenv::UseRecordedMachine("desktop");

  RoutineRecorder recorder;
  recorder.Run(RoutineFor(HARDWARE_DISK));

  EXPECT_EQ(recorder.AnnouncedNames(), (std::vector<std::u16string>{u"ST2000DM008-2FR1", u"Samsung SSD 870"}));
  EXPECT_EQ(RoutineRecorder::SentEvents().back(), (std::pair<std::string, std::string>{"620000030", "0"}));
}

}  // namespace
}  // namespace zel::sysdiagnose
