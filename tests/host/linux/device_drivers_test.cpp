// Devices on the PCI bus by family, whether each has its driver, and finding the driver a
// driverless one asks for, on recorded machines.
#include "machine/linux/driver_loading.h"

#include <gtest/gtest.h>

#include "machine/linux/source_places.h"
#include "machine/linux/sysfs_root.h"
#include "support/recorded_tree.h"
#include "support/test_env.h"

namespace host::machine::linuxhost {
namespace {

// A recorded machine's refusal to load, as this process hears it.
ModuleLoad::Result Refused() {
  return testenv::MayLoadModulesHere() ? ModuleLoad::Result::RecordedKernel : ModuleLoad::Result::NotPermitted;
}

using Result = ModuleLoad::Result;

std::vector<std::string> Described(const std::string& root, DeviceFamily family) {
  std::vector<std::string> described;
  for (const PciDevice& device : PciDevicesOf(SysfsRoot(root), family)) described.push_back(device.Describe());
  return described;
}

TEST(DeviceDrivers, EachFamilyIsItsPciClassesWithTheirDrivers) {
  const std::string notebook = testenv::RecordedMachinePath("notebook"), desktop = testenv::RecordedMachinePath("desktop");
  const struct {
    std::string root;
    DeviceFamily family;
    std::vector<std::string> devices;
  } cases[] = {
      {notebook, DeviceFamily::Graphics, {"0000:00:02.0 (8086:9a49) driver i915"}},
      {notebook, DeviceFamily::Network, {"0000:00:14.3 (8086:a0f0) driver iwlwifi"}},
      {notebook, DeviceFamily::Audio, {"0000:00:1f.3 (8086:a0c8) driver snd_hda_intel"}},
      {desktop, DeviceFamily::Graphics, {"0000:01:00.0 (10de:2504) driver nvidia", "0000:07:00.0 (1002:1638) driver amdgpu"}},
      {desktop, DeviceFamily::Network, {"0000:05:00.0 (10ec:8168) driver r8169"}},
      {desktop, DeviceFamily::Audio, {"0000:01:00.1 (10de:228e) driver snd_hda_intel", "0000:07:00.6 (1022:15e3) driver snd_hda_intel"}},
      {testing::TempDir() + "/no-such-machine", DeviceFamily::Graphics, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Described(c.root, c.family), c.devices) << c.root;
}

// Which family lacks a driver once one device without its driver joins the notebook.
TEST(DeviceDrivers, ADeviceWithoutItsDriverIsMissedByItsFamilyOnly) {
  const struct {
    const char* label;
    uint32_t classCode;
    uint16_t vendor, device;
    std::vector<DeviceFamily> lacking;
  } cases[] = {
      {"a discrete 3D controller beside the bound integrated card", 0x030200, 0x10de, 0x25a2, {DeviceFamily::Graphics}},
      {"a wired adapter", 0x020000, 0x10ec, 0x8168, {DeviceFamily::Network}},
      {"a Wi-Fi adapter (other network controller)", 0x028000, 0x8086, 0x2723, {DeviceFamily::Network}},
      {"an HD Audio controller", 0x040300, 0x10de, 0x228e, {DeviceFamily::Audio}},
      {"a multimedia audio controller", 0x040100, 0x8086, 0x51c8, {DeviceFamily::Audio}},
      {"a USB controller, no family's", 0x0c0330, 0x8086, 0xa0ed, {}},
  };
  testenv::CopiedMachine tree("notebook");
  for (const auto& c : cases) {
    tree.AddPciDevice("0000:05:00.0", c.classCode, c.vendor, c.device, "");
    std::vector<DeviceFamily> lacking;
    for (DeviceFamily family : {DeviceFamily::Graphics, DeviceFamily::Network, DeviceFamily::Audio}) {
      if (LacksDriver(SysfsRoot(tree.root()), family)) lacking.push_back(family);
    }
    EXPECT_EQ(lacking, c.lacking) << c.label;
    tree.Restore("/sys/bus/pci/devices");
    tree.Restore("/sys/devices/pci0000:00/0000:05:00.0");
  }
}

// The recorded notebook's kernel is 6.1.0-18-amd64: its modules tree sits where the places say.
std::string WriteNotebookModules(const testenv::CopiedMachine& tree) {
  return testenv::WriteModulesTree(tree.root(), "6.1.0-18-amd64",
                                   {{"r8169", {"pci:v000010ECd00008168sv*sd*bc*sc*i*"}},
                                    {"nouveau", {"pci:v000010DEd*sv*sd*bc03sc*i*"}}});
}

TEST(DeviceDrivers, TheDriverlessDevicesModulesAreFoundButARecordedMachineLoadsNone) {
  const struct {
    const char* label;
    DeviceFamily family;
    std::vector<std::tuple<const char*, uint32_t, uint16_t, uint16_t>> driverless;  // address, class, vendor, device
    Result result;
    std::string modules;
  } cases[] = {
      {"every device bound", DeviceFamily::Network, {}, Result::AlreadyLoaded, ""},
      {"a wired adapter", DeviceFamily::Network, {{"0000:05:00.0", 0x020000, 0x10ec, 0x8168}}, Refused(), "r8169"},
      {"an adapter no module claims", DeviceFamily::Network, {{"0000:05:00.0", 0x020000, 0x10ec, 0x8125}}, Result::NotFound, ""},
      {"one claimed, one not",
       DeviceFamily::Network,
       {{"0000:05:00.0", 0x020000, 0x10ec, 0x8168}, {"0000:06:00.0", 0x020000, 0x10ec, 0x8125}},
       Result::NotFound,
       "r8169"},
      {"hybrid graphics' discrete card", DeviceFamily::Graphics, {{"0000:01:00.0", 0x030200, 0x10de, 0x25a2}}, Refused(), "nouveau"},
  };
  testenv::CopiedMachine tree("notebook");
  WriteNotebookModules(tree);
  const SysfsRoot root(tree.root());
  for (const auto& c : cases) {
    for (const auto& [address, classCode, vendor, device] : c.driverless) tree.AddPciDevice(address, classCode, vendor, device, "");

    const ModuleLoad load = LoadDriversFor(root, SourcePlaces::For(root), c.family);

    EXPECT_EQ(load.result, c.result) << c.label << ": " << load.said;
    EXPECT_EQ(load.modules, c.modules) << c.label;
    for (const auto& [address, classCode, vendor, device] : c.driverless) {
      EXPECT_NE(load.said.find(address), std::string::npos) << c.label << ": " << load.said;
      tree.Restore("/sys/devices/pci0000:00/" + std::string(address));
    }
    tree.Restore("/sys/bus/pci/devices");
  }
  const SysfsRoot empty(testing::TempDir() + "/no-such-machine");
  EXPECT_EQ(LoadDriversFor(empty, SourcePlaces::For(empty), DeviceFamily::Network).result, Result::Unavailable);
}

}  // namespace
}  // namespace host::machine::linuxhost
