// The running-machine backend's checks and repairs on recorded machines.
#include "machine/linux/linux_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "machine/linux/linux_checks.h"
#include "machine/machine.h"
#include "support/test_env.h"

namespace host::machine::linuxhost {
namespace {

namespace fs = std::filesystem;

LinuxMachine Recorded(const std::string& root, BetweenWriteAndVerify hook = {}) {
  LinuxMachine::Options options;
  options.root = root;
  options.memoryTestBytes = size_t{1} << 20;
  options.memoryHook = std::move(hook);
  return LinuxMachine(std::move(options));
}

// A private copy of a recorded machine that a test may change.
class CopiedMachine {
 public:
  explicit CopiedMachine(std::string_view name)
      : root_(fs::path(testing::TempDir()) / ("machine-" + std::to_string(::getpid()) + "-" + std::string(name))) {
    fs::remove_all(root_);
    fs::copy(testenv::RecordedMachinePath(name), root_, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  }
  ~CopiedMachine() { fs::remove_all(root_); }
  std::string root() const { return root_.string(); }
  std::string Read(const std::string& path) const {
    std::ifstream in(root_.string() + path);
    std::string text;
    std::getline(in, text);
    return text;
  }
  void Write(const std::string& path, const std::string& text) const {
    fs::create_directories(fs::path(root_.string() + path).parent_path());
    std::ofstream(root_.string() + path) << text;
  }

 private:
  fs::path root_;
};

// Every check of the recorded notebook passes but the switched-off Bluetooth; the desktop and an
// empty tree lack what they lack. No recorded tree has a sound configuration: none plays a tone.
TEST(LinuxMachine, ChecksOfTheRecordedMachinesAndOfAnEmptyTree) {
  const std::string none = testing::TempDir() + "/no-such-machine";
  const struct {
    std::string root;
    std::vector<const char*> passing;
    std::vector<std::pair<const char*, const char16_t*>> failing;  // code 1 with this message
    std::vector<std::pair<const char*, const char16_t*>> notChecked = {
        {"audio.loopBack", u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_SOUND_CONFIG"}};
  } machines[] = {
      {testenv::RecordedMachinePath("notebook"),
       {"video.device", "video.status", "audio.device", "wifi.device", "wifi.networkCard", "wifi.switch",
        "wifi.signal", "battery.device", "battery.voltage", "battery.loss", "bluetooth.device", "biometric.device",
        "memory.random", "cpu.codes.sse2"},
       {{"bluetooth.state", u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_OFF"}}},
      {testenv::RecordedMachinePath("desktop"),
       {"video.device", "audio.device", "wifi.device", "wifi.switch"},
       {{"battery.device", u""},
        {"bluetooth.device", u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_UNKNOWN"},
        {"biometric.device", u"IDS_HARDWARE_DIAGNOSE_FINGERPRINT_UNKNOWN"}}},
      {none,
       {"battery.loss"},
       {{"video.device", u"IDS_HARDWARE_DIAGNOSE_GPU_UNKNOWN"},
        {"audio.device", u"IDS_HARDWARE_DIAGNOSE_AUDIO_UNKNOWN"},
        {"wifi.device", u"IDS_HARDWARE_DIAGNOSE_WIFI_UNKNOWN"},
        {"battery.device", u""}}},
  };
  for (const auto& m : machines) {
    auto machine = Recorded(m.root);
    const auto check = [&](const char* path) {
      const CheckResult r = machine.Check(path);
      return std::tuple(r.code, r.messageKey, r.passed);
    };
    for (const char* path : m.passing) EXPECT_EQ(check(path), std::tuple(0u, u"", true)) << m.root << " " << path;
    for (const auto& [path, message] : m.failing) {
      EXPECT_EQ(check(path), std::tuple(1u, message, false)) << m.root << " " << path;
    }
    for (const auto& [path, message] : m.notChecked) {
      EXPECT_EQ(check(path), std::tuple(kNotCheckedCode, message, false)) << m.root << " " << path;
    }
  }
}

// The wear is the full capacity over the design capacity of the same counter; the charge left
// now (energy_now) and the other counter's design value must not enter it.
TEST(LinuxMachine, BatteryWearAndVoltageAreJudgedFromTheirOwnFiles) {
  struct Case {
    const char* label;
    std::vector<std::pair<const char*, const char*>> files;
    uint32_t loss, voltage;
  };
  const std::vector<Case> cases = {
      {"energy, 80 % left, nearly empty now",
       {{"energy_full_design", "57000000"}, {"energy_full", "45600000"}, {"energy_now", "5000000"}}, 0, 0},
      {"energy, 50 % left", {{"energy_full_design", "57000000"}, {"energy_full", "28500000"}, {"energy_now", "28500000"}}, 1, 0},
      {"charge, 55 % left", {{"charge_full_design", "4000000"}, {"charge_full", "2200000"}, {"energy_full_design", "1000"}}, 1, 0},
      {"charge, 90 % left", {{"charge_full_design", "4000000"}, {"charge_full", "3600000"}}, 0, 0},
      {"voltage below its design minimum", {{"voltage_min_design", "11580000"}, {"voltage_now", "10900000"}}, 0, 1},
      {"voltage at its design minimum", {{"voltage_min_design", "11580000"}, {"voltage_now", "11580000"}}, 0, 0},
  };
  for (const Case& c : cases) {
    CopiedMachine tree("notebook");
    for (const char* file : {"energy_full_design", "energy_full", "energy_now", "voltage_min_design", "voltage_now"}) {
      fs::remove(tree.root() + "/sys/class/power_supply/BAT0/" + file);
    }
    for (const auto& [file, value] : c.files) tree.Write("/sys/class/power_supply/BAT0/" + std::string(file), value);
    auto machine = Recorded(tree.root());
    EXPECT_EQ(machine.Check("battery.loss").code, c.loss) << c.label;
    EXPECT_EQ(machine.Check("battery.voltage").code, c.voltage) << c.label;
  }
}

TEST(LinuxMachine, AMemoryCheckFailsOnOneFlippedBitAndSaysWhereAndWhichPattern) {
  auto machine = Recorded(testenv::RecordedMachinePath("notebook"), [](std::span<uint64_t> words) { words[4097] ^= 1u << 9; });
  for (const char* path : {"memory.stuckAddr", "memory.bitFlip"}) {
    const CheckResult result = machine.Check(path);
    EXPECT_EQ(result.code, 1u) << path;
    EXPECT_NE(result.messageKey.find(u": 0x"), std::u16string::npos) << path;
  }
  EXPECT_NE(machine.Check("memory.board").messageKey.find(u"checkerboard: 0x"), std::u16string::npos);
}

TEST(LinuxMachine, SwitchingBluetoothBackOnIsARealRepair) {
  CopiedMachine tree("notebook");
  auto machine = Recorded(tree.root());
  ASSERT_FALSE(machine.Check("bluetooth.state").passed);

  const RepairOutcome outcome = machine.Repair("RepairBTProblems");

  EXPECT_TRUE(outcome.succeeded);
  EXPECT_EQ(outcome.message, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS");
  EXPECT_EQ(tree.Read("/sys/class/rfkill/rfkill1/soft"), "0");
  EXPECT_TRUE(machine.Check("bluetooth.state").passed);
  EXPECT_EQ(tree.Read("/sys/class/rfkill/rfkill0/soft"), "0");  // Wi-Fi left as it was
}

TEST(LinuxMachine, AHardwareRadioSwitchIsNotOverriddenAndOtherRepairsChangeNothing) {
  CopiedMachine tree("notebook");
  tree.Write("/sys/class/rfkill/rfkill0/hard", "1\n");
  auto machine = Recorded(tree.root());

  const RepairOutcome wifi = machine.Repair("RepairWifiProblem");
  EXPECT_FALSE(wifi.succeeded);
  EXPECT_EQ(wifi.message, u"IDS_HARDWARE_DIAGNOSE_REPAIR_HARDWARE_SWITCH");
  EXPECT_EQ(machine.Check("wifi.switch").messageKey, u"IDS_HARDWARE_DIAGNOSE_WIFI_SWITCH_OFF");

  for (std::string_view name : {"RepairHotkey", "CloseFilterKey", "RepairByErrorCode"}) {
    const RepairOutcome outcome = machine.Repair(name);
    EXPECT_FALSE(outcome.succeeded) << name;
    EXPECT_EQ(outcome.message, u"IDS_HARDWARE_DIAGNOSE_REPAIR_UNAVAILABLE") << name;
  }
  EXPECT_EQ(tree.Read("/sys/class/rfkill/rfkill1/soft"), "1");
}

TEST(LinuxMachine, UnreadableSmartIsTheLibrarysNotAvailableCodeAndALimitSaidOnce) {
  auto machine = Recorded(testenv::RecordedMachinePath("notebook"));
  const uint8_t record[] = {0x05, 0xE8};

  EXPECT_EQ(machine.CheckDisk(std::nullopt, u"11170101", record).code, 2u);
  EXPECT_EQ(machine.CheckDisk(std::nullopt, u"11170101", record).code, 2u);
  EXPECT_EQ(machine.CheckDisk(std::nullopt, u"no such firmware", record).code, 2u);

  const auto limits = machine.Limits();
  ASSERT_EQ(limits.size(), 1u);
  EXPECT_NE(limits[0].find("nvme0n1"), std::string::npos);
}

TEST(LinuxMachine, EveryCheckAndRepairOfTheProfileHasOneEntryInItsTable) {
  for (std::string_view path : CheckPaths()) {
    EXPECT_NE(FindLinuxCheck(path), nullptr) << path;
  }
  EXPECT_EQ(LinuxChecks().size(), CheckPaths().size());
  for (std::string_view name : RepairNames()) EXPECT_NE(FindLinuxRepair(name), nullptr) << name;
}

}  // namespace
}  // namespace host::machine::linuxhost
