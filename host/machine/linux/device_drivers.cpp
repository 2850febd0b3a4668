#include "machine/linux/device_drivers.h"

#include <algorithm>
#include <cstdio>

#include "machine/linux/source_places.h"
#include "machine/linux/sysfs_root.h"

namespace host::machine::linuxhost {
namespace {

struct FamilyClass {
  DeviceFamily family;
  uint32_t mask, value;  // over the 24-bit class code: base class, subclass, interface
};
constexpr FamilyClass kFamilyClasses[] = {
    {DeviceFamily::Graphics, 0xFF0000, 0x030000},
    {DeviceFamily::Network, 0xFF0000, 0x020000},
    {DeviceFamily::Audio, 0xFFFF00, 0x040100},
    {DeviceFamily::Audio, 0xFFFF00, 0x040300},
};

bool IsOf(DeviceFamily family, uint32_t classCode) {
  return std::any_of(std::begin(kFamilyClasses), std::end(kFamilyClasses), [&](const FamilyClass& c) {
    return c.family == family && (classCode & c.mask) == c.value;
  });
}

constexpr const char* kPciDevices = "/sys/bus/pci/devices";

}  // namespace

std::string PciDevice::Describe() const {
  char ids[16];
  std::snprintf(ids, sizeof ids, "%04x:%04x", vendor, device);
  return address + " (" + ids + ") " + (driver.empty() ? std::string("without a driver") : "driver " + driver);
}

std::vector<PciDevice> PciDevicesOf(const SysfsRoot& root, DeviceFamily family) {
  std::vector<PciDevice> devices;
  for (const std::string& address : root.List(kPciDevices)) {
    const std::string dir = Join(kPciDevices, address);
    const auto classCode = root.HexNumber(Join(dir, "class"));
    if (!classCode || !IsOf(family, static_cast<uint32_t>(*classCode))) continue;
    PciDevice device;
    device.address = address;
    device.classCode = static_cast<uint32_t>(*classCode);
    device.vendor = static_cast<uint16_t>(root.HexNumber(Join(dir, "vendor")).value_or(0));
    device.device = static_cast<uint16_t>(root.HexNumber(Join(dir, "device")).value_or(0));
    device.modalias = root.Text(Join(dir, "modalias"));
    device.driver = root.LinkName(Join(dir, "driver"));
    devices.push_back(std::move(device));
  }
  return devices;
}

bool LacksDriver(const SysfsRoot& root, DeviceFamily family) {
  const auto devices = PciDevicesOf(root, family);
  return std::any_of(devices.begin(), devices.end(), [](const PciDevice& d) { return d.driver.empty(); });
}


}  // namespace host::machine::linuxhost
