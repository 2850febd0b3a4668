// What the running-machine backend reads from the recorded notebook and desktop.
#include "machine/linux/hardware_reader.h"

#include <gtest/gtest.h>

#include "host/linux/edid_blocks.h"
#include "machine/linux/sysfs_root.h"
#include "support/recorded_tree.h"
#include "support/test_env.h"

namespace host::machine::linuxhost {
namespace {

Inventory Read(std::string_view machine) { return ReadInventory(SysfsRoot(testenv::RecordedMachinePath(machine))); }

struct DiskSeen {
  std::u16string caption, firmware;
  uint64_t capacityGB;
  bool ssd;
  bool operator==(const DiskSeen&) const = default;
};

std::vector<DiskSeen> DisksOf(const Inventory& inventory) {
  std::vector<DiskSeen> seen;
  for (const Disk& d : inventory.facts->hardware.disks) seen.push_back({d.caption, d.firmware, d.capacityGB, d.ssd});
  return seen;
}

// Partitions (nvme0n1p1, sda1), loop, zram and optical devices are no disks; the rotational
// flag alone tells a solid-state disk from a hard disk.
TEST(HardwareReader, DisksAreTheWholeDisksWithTheirKind) {
  const Inventory notebook = Read("notebook");
  EXPECT_EQ(DisksOf(notebook), (std::vector<DiskSeen>{{u"WDC PC SN730 SDBPNTY-512G-1101", u"11170101", 512, true}}));
  EXPECT_EQ(DisksOf(Read("desktop")), (std::vector<DiskSeen>{{u"ST2000DM008-2FR1", u"0001", 2000, false},
                                                              {u"Samsung SSD 870", u"SVT0", 500, true}}));
  ASSERT_EQ(notebook.disks.size(), 1u);
  EXPECT_EQ(notebook.disks[0].name, "nvme0n1");
  EXPECT_TRUE(notebook.disks[0].nvme);
}

TEST(HardwareReader, ProcessorCachesCountEachCacheOnceAndClocksComeFromCpufreq) {
  struct Case {
    const char* machine;
    uint32_t l1, l2, l3, base, current, external;
  };
  for (const Case& c : {Case{"notebook", 320, 5120, 12288, 2800, 1197, 100}, Case{"desktop", 384, 3072, 16384, 0, 3900, 0}}) {
    const Cpu cpu = Read(c.machine).facts->hardware.cpu;
    EXPECT_EQ(std::tie(cpu.l1KB, cpu.l2KB, cpu.l3KB, cpu.baseMHz, cpu.currentMHz, cpu.extClockMHz),
              std::tie(c.l1, c.l2, c.l3, c.base, c.current, c.external))
        << c.machine;
  }
}

// Without cpufreq (a virtual machine) the kernel's reading in /proc/cpuinfo is the clock now.
TEST(HardwareReader, WithoutCpufreqTheClockIsTheOneProcCpuinfoSays) {
  testenv::CopiedMachine machine("desktop");
  machine.Remove("/sys/devices/system/cpu/cpu0/cpufreq");
  machine.Write("/proc/cpuinfo", "processor\t: 0\nvendor_id\t: AuthenticAMD\nmodel name\t: QEMU Virtual CPU\n"
                                 "cpu MHz\t\t: 2894.562\n");
  const Cpu cpu = ReadInventory(SysfsRoot(machine.root())).facts->hardware.cpu;
  EXPECT_EQ(std::tie(cpu.baseMHz, cpu.currentMHz), std::make_tuple(0u, 2895u));
}

// The panel's mode as its EDID says it, written into a copy of the recorded notebook.
TEST(HardwareReader, TheMonitorShowsTheFrameOfItsPreferredModeWhereverTheEdidKeepsIt) {
  using namespace edid;
  testenv::CopiedMachine machine("notebook");
  const struct {
    const char* what;
    Bytes bytes;
    std::u16string caption, resolution;
    uint32_t refresh;
  } cases[] = {
      {"interlaced", Base({Timing(7425, 1920, 280, 540, 22, true), Name("  TV-1080i \n ")}), u"TV-1080i", u"1920*1080", 60},
      {"in a CTA-861 extension", Joined({Base({Name("Q27G2\n       ")}, 1), Cta({Timing(59400, 3840, 560, 2160, 90)})}),
       u"Q27G2", u"3840*2160", 60},
  };
  for (const auto& c : cases) {
    machine.Write("/sys/class/drm/card0-eDP-1/edid", std::string(c.bytes.begin(), c.bytes.end()));
    const Monitor monitor = ReadInventory(SysfsRoot(machine.root())).facts->hardware.video.monitor;
    EXPECT_EQ(std::tie(monitor.caption, monitor.resolution, monitor.refreshRate), std::tie(c.caption, c.resolution, c.refresh))
        << c.what;
  }
}

TEST(HardwareReader, MemoryModulesComeFromDmiElseOneModuleOfTheOnlineMemory) {
  const Memory notebook = Read("notebook").facts->hardware.memory;
  ASSERT_EQ(notebook.modules.size(), 2u);  // the empty slot is left out
  EXPECT_EQ(notebook.totalMB, 16384u);
  EXPECT_EQ(notebook.modules[1].locator, u"ChannelB-DIMM0");
  EXPECT_EQ(notebook.modules[1].partNumber, u"MTA8ATF1G64HZ-3G2J1");

  const Memory desktop = Read("desktop").facts->hardware.memory;  // 8 of 9 blocks of 1 GiB online
  EXPECT_EQ(desktop.totalMB, 8192u);
  ASSERT_EQ(desktop.modules.size(), 1u);
  EXPECT_EQ(desktop.modules[0].capacityMB, 8192u);
}

TEST(HardwareReader, GraphicsAreToldInternalOrIndependentAndNamedThroughThePciDatabase) {
  const Video notebook = Read("notebook").facts->hardware.video;
  EXPECT_EQ(notebook.internal.name, u"TigerLake-LP GT2 [Iris Xe Graphics]");
  EXPECT_EQ(notebook.internal.driverVersion, u"i915 6.1.0-18-amd64");
  EXPECT_EQ(notebook.independent.name, u"");
  EXPECT_EQ(notebook.monitor.caption, u"B140HAN04.2");
  EXPECT_EQ(notebook.monitor.resolution, u"1920*1080");

  const Inventory desktop = Read("desktop");
  const Video& video = desktop.facts->hardware.video;
  EXPECT_EQ(video.independent.name, u"GA106 [GeForce RTX 3060 Lite Hash Rate]");
  EXPECT_EQ(video.independent.driverVersion, u"nvidia 535.154.05");  // an out-of-tree module says its own
  EXPECT_EQ(video.internal.name, u"Cezanne [Radeon Vega Series / Radeon Vega Mobile Series]");
  EXPECT_EQ(video.internal.memoryMB, 512u);
  EXPECT_EQ(video.monitor.caption, u"DELL U2720Q");
  EXPECT_EQ(video.monitor.refreshRate, 60u);
  EXPECT_EQ(desktop.facts->videoDeviceReturn, 0);
}

TEST(HardwareReader, NetworkAdaptersAreThePhysicalOnesByKind) {
  const Inventory notebook = Read("notebook");
  const Network& wifi = notebook.facts->hardware.network;
  EXPECT_EQ(wifi.wireless.caption, u"Wi-Fi 6 AX201");
  EXPECT_EQ(wifi.wireless.manufacturer, u"Intel Corporation");
  EXPECT_EQ(wifi.wireless.driver, u"iwlwifi");
  EXPECT_EQ(wifi.wireless.hardIds, (std::vector<std::u16string>{u"PCI\\VEN_8086&DEV_A0F0&SUBSYS_02448086"}));
  EXPECT_TRUE(wifi.wired.hardIds.empty());  // lo and docker0 are no adapters
  EXPECT_FALSE(wifi.notSupportWireless);

  const Inventory desktop = Read("desktop");
  const Network& wired = desktop.facts->hardware.network;
  EXPECT_EQ(wired.internalHardIds.size(), 1u);
  EXPECT_EQ(wired.wired.driver, u"r8169");
  EXPECT_TRUE(wired.notSupportWireless);
}

TEST(HardwareReader, SingleDevicesOfTheNotebook) {
  const Inventory notebook = Read("notebook");
  const Hardware& hw = notebook.facts->hardware;
  EXPECT_EQ(hw.cpu.name, u"11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz");
  EXPECT_EQ(hw.baseboard.product, u"20XWCTO1WW");
  EXPECT_EQ(hw.baseboard.serialNumber, u"");
  EXPECT_EQ(hw.battery.name, u"5B10W13975");
  EXPECT_EQ(hw.battery.designCapacityMWh, 57000u);
  EXPECT_EQ(notebook.batteries, std::vector<std::string>{"/sys/class/power_supply/BAT0"});
  EXPECT_EQ(hw.keyboard.name, u"AT Translated Set 2 keyboard");  // the built-in one before the USB one
  EXPECT_EQ(hw.audio.devices.size(), 1u);
  EXPECT_EQ(hw.audio.devices[0].manufacturer, u"Intel Corporation");
  EXPECT_TRUE(hw.hasBluetooth);
  EXPECT_EQ(hw.bluetooth.name, u"AX201 Bluetooth");
  EXPECT_TRUE(notebook.facts->flags.at("bluetooth.supported"));
  // The ELAN touch screen sits before the reader on the bus but is not in the readers' range.
  EXPECT_TRUE(hw.hasBiometric);
  EXPECT_EQ(hw.biometric.manufacturer, u"Synaptics");
}

TEST(HardwareReader, TheDesktopHasNoBatteryBluetoothOrReader) {
  const Inventory desktop = Read("desktop");
  const Hardware& hw = desktop.facts->hardware;
  EXPECT_TRUE(desktop.batteries.empty());
  EXPECT_EQ(hw.battery.name, u"");
  EXPECT_FALSE(hw.hasBluetooth);
  EXPECT_FALSE(hw.hasBiometric);
  EXPECT_FALSE(desktop.facts->flags.at("bluetooth.supported"));
  EXPECT_EQ(hw.baseboard.serialNumber, u"Default string");
  EXPECT_EQ(hw.audio.name, u"HDA NVidia");
}

TEST(HardwareReader, AnEmptyTreeIsAMachineWithoutDevicesAndNoError) {
  const Inventory nothing = ReadInventory(SysfsRoot(testing::TempDir() + "/no-such-machine"));
  EXPECT_EQ(nothing.facts->hardware.cpu.name, u"");
  EXPECT_TRUE(nothing.facts->hardware.disks.empty());
  EXPECT_EQ(nothing.facts->videoDeviceReturn, 1);
  EXPECT_TRUE(nothing.interfaces.empty());
}

TEST(HardwareReader, LanguageOfTheLocale) {
  for (const auto& [locale, language] : std::vector<std::pair<std::string, std::string>>{
           {"zh_CN.UTF-8", "zh-CN"}, {"en_GB.UTF-8@euro", "en-GB"}, {"C", "en-US"}, {"POSIX", "en-US"}, {"", "en-US"}}) {
    EXPECT_EQ(LanguageOfLocale(locale), language) << locale;
  }
}

}  // namespace
}  // namespace host::machine::linuxhost
