// A diagnosis of every category on the recorded machines, read as the running machine.
#include <gtest/gtest.h>

#include "diagnose/category_routines.h"
#include "plugin/diagnose/routine_recorder.h"
#include "platform/encoding.h"

namespace zel::sysdiagnose {
namespace {

using testing::RoutineRecorder;
using testing::Text;

using Verdict = std::pair<bool, std::u16string>;  // passed, text

// A recorded tree has no system bus running: what only a system service can tell is not checked.
TEST(RecordedMachines, OnlyWhatTheMachineLacksOrHasSwitchedOffFails) {
  const Verdict noKeyboardSettings{false, Text(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_KEYBOARD_SETTINGS")};
  // A recorded tree has no etc/asound.conf: its sound cannot be played.
  const Verdict soundNotChecked{false, Text(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_SOUND_CONFIG")};
  const struct {
    const char* machine;
    std::map<int32_t, Verdict> failing;  // every other category passes with no text
  } cases[] = {
      {"notebook",
       {{HARDWARE_AUDIO, soundNotChecked},
        {HARDWARE_BLUETOOTH, {false, Text(u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_OFF")}},
        {HARDWARE_KEYBOARD, noKeyboardSettings},
        {HARDWARE_FINGERPRINT, {false, Text(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_SYSTEM_BUS")}}}},
      {"desktop",
       {{HARDWARE_AUDIO, soundNotChecked},
        {HARDWARE_KEYBOARD, noKeyboardSettings},
        {HARDWARE_BATTERY, {false, Text(u"IDS_HARDWARE_DIAGNOSE_BATTERY_UNKNOWN")}},
        {HARDWARE_BLUETOOTH, {false, Text(u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_UNKNOWN")}},
        {HARDWARE_FINGERPRINT, {false, Text(u"IDS_HARDWARE_DIAGNOSE_FINGERPRINT_UNKNOWN")}}}},
  };
  for (const auto& c : cases) {
    testenv::UseRecordedMachine(c.machine);
    std::map<int32_t, Verdict> failing;
    for (int32_t category = 0; category < kHardwareCategoryCount; ++category) {
      const tagDetectResult verdict = RoutineRecorder().Run(RoutineFor(category));
      if (!verdict.passed || !verdict.text.empty()) failing[category] = {verdict.passed, verdict.text};
    }
    EXPECT_EQ(failing, c.failing) << c.machine;
  }
}

// Neither recorded home keeps keyboard settings and neither machine has a display: the Filter Keys
// line is a notice that says it could not look. The notebook's hotkeys work (its maker's platform
// driver is loaded); the desktop has none to look at.
TEST(RecordedMachines, FilterKeysAreNotCheckedWithoutSettingsAndHotkeysPassOrDoNotApply) {
  for (const char* machine : {"notebook", "desktop"}) {
    testenv::UseRecordedMachine(machine);
    RoutineRecorder recorder;
    recorder.Run(RoutineFor(HARDWARE_KEYBOARD));
    ASSERT_EQ(recorder.lines.size(), 2u) << machine;
    const tagHardwareDetectInfo& filterKeys = recorder.lines[0];
    EXPECT_EQ(std::tuple(filterKeys.passed, filterKeys.text, filterKeys.level),
              std::tuple(false, Text(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_KEYBOARD_SETTINGS"), 1))
        << machine;
    EXPECT_EQ(std::pair(recorder.lines[1].name, recorder.lines[1].passed), std::pair(Text(u"IDS_HARDWARE_DIAGNOSE_KEYBOARD_HOTKEY"), true))
        << machine;
  }
}

TEST(RecordedMachines, OneFlippedBitFailsTheMemoryCategoryLineByLine) {
  testenv::UseRecordedMachine("notebook", [](std::span<uint64_t> words) { words[words.size() / 2] ^= 1; });

  RoutineRecorder recorder;
  EXPECT_FALSE(recorder.Run(RoutineFor(HARDWARE_MEMORY)).passed);

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
