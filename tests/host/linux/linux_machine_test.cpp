// The running-machine backend's checks and repairs on recorded machines.
#include "machine/linux/linux_machine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <nlohmann/json.hpp>

#include "host/linux/notebook_on_bus.h"
#include "host/scoped_env.h"
#include "machine/linux/linux_checks.h"
#include "machine/machine.h"
#include "support/host_program.h"
#include "support/recorded_tree.h"
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

using testenv::CopiedMachine;

// Every check of the recorded notebook passes but the switched-off Bluetooth; the desktop and an
// empty tree lack what they lack. None keeps keyboard settings in its home, has a display or a
// sound configuration (none plays a tone).
TEST(LinuxMachine, ChecksOfTheRecordedMachinesAndOfAnEmptyTree) {
  const std::string none = testing::TempDir() + "/no-such-machine";
  const struct {
    std::string root;
    std::vector<const char*> passing;
    std::vector<std::pair<const char*, const char16_t*>> failing;  // code 1 with this message
    std::vector<std::pair<const char*, const char16_t*>> notChecked;
  } machines[] = {
      {testenv::RecordedMachinePath("notebook"),
       {"video.device", "video.status", "audio.device", "wifi.device", "wifi.networkCard", "wifi.switch",
        "wifi.signal", "battery.device", "battery.voltage", "battery.loss", "keyboard.hotKey", "bluetooth.device",
        "biometric.device", "memory.random", "cpu.codes.sse2"},
       {{"bluetooth.state", u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_OFF"}},
       {{"keyboard.filterKey", u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_KEYBOARD_SETTINGS"},
        {"audio.loopBack", u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_SOUND_CONFIG"}}},
      {testenv::RecordedMachinePath("desktop"),
       {"video.device", "video.status", "audio.device", "wifi.device", "wifi.networkCard", "wifi.switch", "keyboard.hotKey"},
       {{"battery.device", u""},
        {"bluetooth.device", u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_UNKNOWN"},
        {"biometric.device", u"IDS_HARDWARE_DIAGNOSE_FINGERPRINT_UNKNOWN"}},
       {{"keyboard.filterKey", u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_KEYBOARD_SETTINGS"},
        {"audio.loopBack", u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_SOUND_CONFIG"}}},
      {none,
       {"battery.loss", "keyboard.hotKey"},
       {{"video.device", u"IDS_HARDWARE_DIAGNOSE_GPU_UNKNOWN"},
        {"audio.device", u"IDS_HARDWARE_DIAGNOSE_AUDIO_UNKNOWN"},
        {"wifi.device", u"IDS_HARDWARE_DIAGNOSE_WIFI_UNKNOWN"},
        {"battery.device", u""}},
       {{"keyboard.filterKey", u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_KEYBOARD_SETTINGS"},
        {"audio.loopBack", u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_SOUND_CONFIG"}}},
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
    std::vector<std::pair<const char*, const char*>> secondBattery = {};  // BAT1, when there is one
  };
  const std::vector<Case> cases = {
      {"energy, 80 % left, nearly empty now",
       {{"energy_full_design", "57000000"}, {"energy_full", "45600000"}, {"energy_now", "5000000"}}, 0, 0},
      {"energy, 50 % left", {{"energy_full_design", "57000000"}, {"energy_full", "28500000"}, {"energy_now", "28500000"}}, 1, 0},
      {"charge, 55 % left", {{"charge_full_design", "4000000"}, {"charge_full", "2200000"}, {"energy_full_design", "1000"}}, 1, 0},
      {"charge, 90 % left", {{"charge_full_design", "4000000"}, {"charge_full", "3600000"}}, 0, 0},
      {"voltage below its design minimum", {{"voltage_min_design", "11580000"}, {"voltage_now", "10900000"}}, 0, 1},
      {"voltage at its design minimum", {{"voltage_min_design", "11580000"}, {"voltage_now", "11580000"}}, 0, 0},
      {"a healthy first and a worn second battery",
       {{"energy_full_design", "57000000"}, {"energy_full", "56000000"}}, 1, 0,
       {{"energy_full_design", "24000000"}, {"energy_full", "9000000"}}},
      {"a second battery below its design voltage",
       {{"voltage_min_design", "11580000"}, {"voltage_now", "12000000"}}, 0, 1,
       {{"voltage_min_design", "11400000"}, {"voltage_now", "10000000"}}},
  };
  for (const Case& c : cases) {
    CopiedMachine tree("notebook");
    for (const char* file : {"energy_full_design", "energy_full", "energy_now", "voltage_min_design", "voltage_now"}) {
      fs::remove(tree.root() + "/sys/class/power_supply/BAT0/" + file);
    }
    for (const auto& [file, value] : c.files) tree.Write("/sys/class/power_supply/BAT0/" + std::string(file), value);
    if (!c.secondBattery.empty()) tree.Write("/sys/class/power_supply/BAT1/type", "Battery\n");
    for (const auto& [file, value] : c.secondBattery) tree.Write("/sys/class/power_supply/BAT1/" + std::string(file), value);
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

// The nine checks of a machine test one buffer, mapped once.
TEST(LinuxMachine, TheMemoryChecksShareOneBuffer) {
  std::set<const uint64_t*> buffers;
  auto machine = Recorded(testenv::RecordedMachinePath("notebook"), [&](std::span<uint64_t> words) { buffers.insert(words.data()); });
  for (const char* path : {"memory.stuckAddr", "memory.lineSeq", "memory.blockSeq", "memory.bit0Walk", "memory.random",
                           "memory.board", "memory.arith", "memory.logic", "memory.bitFlip"}) {
    EXPECT_EQ(machine.Check(path).code, 0u) << path;
  }
  EXPECT_EQ(buffers.size(), 1u);
}

// The recorded tree has no system bus: the radio switch is judged and repaired, BlueZ's part is
// said not to be checked.
TEST(LinuxMachine, SwitchingBluetoothBackOnIsARealRepair) {
  CopiedMachine tree("notebook");
  auto machine = Recorded(tree.root());
  ASSERT_EQ(machine.Check("bluetooth.state").messageKey, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_OFF");

  const RepairOutcome outcome = machine.Repair("RepairBTProblems");

  EXPECT_TRUE(outcome.succeeded);
  EXPECT_EQ(outcome.message, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS");
  EXPECT_EQ(tree.Read("/sys/class/rfkill/rfkill1/soft"), "0");
  const CheckResult after = machine.Check("bluetooth.state");
  EXPECT_EQ(std::tie(after.code, after.messageKey, after.level),
            std::make_tuple(kNotCheckedCode, u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_SYSTEM_BUS", 1u));
  EXPECT_EQ(machine.Check("biometric.function").messageKey, u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_SYSTEM_BUS");
  EXPECT_EQ(tree.Read("/sys/class/rfkill/rfkill0/soft"), "0");  // Wi-Fi left as it was
}

TEST(LinuxMachine, AHardwareRadioSwitchIsNotOverridden) {
  CopiedMachine tree("notebook");
  tree.Write("/sys/class/rfkill/rfkill0/hard", "1\n");
  auto machine = Recorded(tree.root());

  const RepairOutcome wifi = machine.Repair("RepairWifiProblem");
  EXPECT_FALSE(wifi.succeeded);
  EXPECT_EQ(wifi.message, u"IDS_HARDWARE_DIAGNOSE_REPAIR_HARDWARE_SWITCH");
  EXPECT_EQ(machine.Check("wifi.switch").messageKey, u"IDS_HARDWARE_DIAGNOSE_WIFI_SWITCH_OFF");
  EXPECT_EQ(tree.Read("/sys/class/rfkill/rfkill1/soft"), "1");
}

// A device without its driver shows only on the PCI bus; hotkeys hang on the maker's driver and
// the input devices' keys.
TEST(LinuxMachine, DriverAndHotkeyRowsOnChangedNotebooks) {
  using Result = std::tuple<uint32_t, std::u16string, bool, uint32_t>;  // code, message key, passed, level
  const Result passes{0, u"", true, 0};
  const Result wifiDriver{2, u"IDS_HARDWARE_DIAGNOSE_WIFI_DRIVER_ERROR", false, 0};
  const struct {
    const char* label;
    void (*change)(const CopiedMachine&);
    std::vector<const char*> touched;  // restored afterwards
    std::vector<std::pair<const char*, Result>> rows;
  } cases[] = {
      {"a wired adapter without its driver",
       [](const CopiedMachine& t) { t.AddPciDevice("0000:05:00.0", 0x020000, 0x10ec, 0x8168, ""); },
       {"/sys/bus/pci/devices", "/sys/devices/pci0000:00/0000:05:00.0"},
       {{"wifi.device", passes}, {"wifi.networkCard", {2, u"IDS_HARDWARE_DIAGNOSE_NETCARD_DRIVER_ERROR", false, 0}}, {"video.status", passes}}},
      {"the Wi-Fi adapter without its driver, so without an interface",
       [](const CopiedMachine& t) {
         t.Remove("/sys/class/net/wlp0s20f3");
         t.Remove("/sys/devices/pci0000:00/0000:00:14.3/driver");
       },
       {"/sys/class/net", "/sys/devices/pci0000:00/0000:00:14.3"},
       {{"wifi.device", passes}, {"wifi.networkCard", wifiDriver}}},
      {"hybrid graphics whose discrete card has no driver",
       [](const CopiedMachine& t) { t.AddPciDevice("0000:01:00.0", 0x030200, 0x10de, 0x25a2, ""); },
       {"/sys/bus/pci/devices", "/sys/devices/pci0000:00/0000:01:00.0"},
       {{"video.device", passes}, {"video.status", {2, u"IDS_HARDWARE_DIAGNOSE_GPU_DRIVER_ERROR", false, 0}}, {"wifi.networkCard", passes}}},
      {"the only graphics card without its driver, so without a DRM card",
       [](const CopiedMachine& t) {
         t.Remove("/sys/class/drm");
         t.Remove("/sys/devices/pci0000:00/0000:00:02.0/driver");
       },
       {"/sys/class/drm", "/sys/devices/pci0000:00/0000:00:02.0"},
       {{"video.device", passes}, {"video.status", {2, u"IDS_HARDWARE_DIAGNOSE_GPU_DRIVER_ERROR", false, 0}}}},
      {"the platform driver not loaded", [](const CopiedMachine& t) { t.Remove("/sys/module/thinkpad_acpi"); }, {"/sys/module"},
       {{"keyboard.hotKey", {static_cast<uint32_t>(-7), u"IDS_HARDWARE_DIAGNOSE_ERROR_HOTKEY", false, 0}}}},
      {"no input device list", [](const CopiedMachine& t) { t.Remove("/proc/bus/input/devices"); }, {"/proc/bus/input/devices"},
       {{"keyboard.hotKey", {kNotCheckedCode, u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_INPUT_LIST", false, 1}}}},
      {"a desktop chassis without a platform driver",
       [](const CopiedMachine& t) {
         t.Write("/sys/class/dmi/id/chassis_type", "3\n");
         t.Remove("/sys/module");
       },
       {"/sys/class/dmi/id/chassis_type", "/sys/module"}, {{"keyboard.hotKey", passes}}},
  };
  CopiedMachine tree("notebook");
  for (const auto& c : cases) {
    c.change(tree);
    auto machine = Recorded(tree.root());
    for (const auto& [path, expected] : c.rows) {
      const CheckResult r = machine.Check(path);
      EXPECT_EQ(std::tuple(r.code, r.messageKey, r.passed, r.level), expected) << c.label << ": " << path;
    }
    for (const char* path : c.touched) tree.Restore(path);
  }
}

// On a recorded machine a driver's module is found and named, never loaded; where there is
// nothing to load, or nothing that could be, the repair says so.
TEST(LinuxMachine, RepairsOfARecordedMachineLoadNothing) {
  const struct {
    const char* machine;
    bool driverlessAdapter, platformDriverLoaded;
    const char* repair;
    bool succeeded;
    const char16_t* message;
  } cases[] = {
      {"notebook", true, true, "RepairWifiDriver", false, testenv::RecordedLoadRefusalKey()},
      {"notebook", false, true, "RepairWifiDriver", true, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS"},
      {"notebook", true, true, "RepairWifiProblem", false, testenv::RecordedLoadRefusalKey()},
      {"notebook", true, true, "RepairVIDEOCARDProblems", true, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS"},
      {"notebook", false, false, "RepairHotkey", false, testenv::RecordedLoadRefusalKey()},
      {"notebook", false, true, "RepairHotkey", true, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS"},
      {"desktop", false, false, "RepairHotkey", false, u"IDS_HARDWARE_DIAGNOSE_REPAIR_UNAVAILABLE"},
      {"desktop", true, false, "RepairWifiDriver", false, u"IDS_HARDWARE_DIAGNOSE_REPAIR_DRIVER_FAIL"},  // no modules tree
      {"notebook", false, true, "RepairByErrorCode", false, u"IDS_HARDWARE_DIAGNOSE_REPAIR_UNAVAILABLE"},
  };
  const CopiedMachine notebook("notebook"), desktop("desktop");
  testenv::WriteModulesTree(notebook.root(), "6.1.0-18-amd64",
                            {{"r8169", {"pci:v000010ECd00008168sv*sd*bc*sc*i*"}}, {"thinkpad_acpi", {"acpi*:LEN0268:*"}}});
  for (const auto& c : cases) {
    const CopiedMachine& tree = c.machine == std::string_view("notebook") ? notebook : desktop;
    if (c.driverlessAdapter) tree.AddPciDevice("0000:09:00.0", 0x020000, 0x10ec, 0x8168, "");
    if (!c.platformDriverLoaded) tree.Remove("/sys/module/thinkpad_acpi");
    auto machine = Recorded(tree.root());

    const RepairOutcome outcome = machine.Repair(c.repair);

    EXPECT_EQ(outcome.succeeded, c.succeeded) << c.machine << " " << c.repair;
    EXPECT_EQ(outcome.message, c.message) << c.machine << " " << c.repair;
    for (const char* path : {"/sys/bus/pci/devices", "/sys/devices/pci0000:00/0000:09:00.0", "/sys/module"}) tree.Restore(path);
  }
}

// What the driver and hotkey rows look at here: the desktop's hotkeys do not apply, and a device
// without its driver is named with the module that would take it.
TEST(LinuxMachine, DriverAndHotkeyRowsSayWhatTheyLookAt) {
  const CopiedMachine desktop("desktop");
  desktop.AddPciDevice("0000:09:00.0", 0x028000, 0x8086, 0x2723, "");
  desktop.AddPciDevice("0000:0a:00.0", 0x020000, 0x10ec, 0x8125, "");
  testenv::WriteModulesTree(desktop.root(), desktop.Read("/proc/sys/kernel/osrelease"),
                            {{"iwlwifi", {"pci:v00008086d00002723sv*sd*bc*sc*i*"}}});
  using Here = std::pair<std::string, std::string>;  // runs, not applicable or cannot run; what or why
  std::map<std::string, Here> seen;
  for (const CheckDescription& check : Recorded(desktop.root()).DescribeChecks()) seen[check.name] = {check.here, check.why};

  EXPECT_EQ(seen["keyboard.hotKey"], Here("not applicable", "a desktop chassis (DMI chassis type 3)"));
  EXPECT_EQ(seen["wifi.networkCard"], Here("runs", "PCI 0000:05:00.0 (10ec:8168) driver r8169; 0000:09:00.0 (8086:2723) without a driver, "
                                                   "module iwlwifi; 0000:0a:00.0 (10ec:8125) without a driver, no module claims it"));
  EXPECT_EQ(seen["video.device"].second, "PCI 0000:01:00.0 (10de:2504) driver nvidia; 0000:07:00.0 (1002:1638) driver amdgpu");
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
