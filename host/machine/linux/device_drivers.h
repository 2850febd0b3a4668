#pragma once
// Devices on the PCI bus that need a kernel driver, by family, and whether each has one. A graphics
// card or network adapter without its driver has no DRM card or network interface at all, so only
// the bus shows it.
#include <cstdint>
#include <string>
#include <vector>

namespace host::machine::linuxhost {

class SysfsRoot;

enum class DeviceFamily { Graphics, Network, Audio };

struct PciDevice {
  std::string address;   // "0000:00:14.3"
  uint32_t classCode = 0;  // 0x028000
  uint16_t vendor = 0, device = 0;
  std::string modalias;  // "pci:v00008086d0000A0F0sv..."
  std::string driver;    // the bound driver; empty when none

  std::string Describe() const;  // "0000:00:14.3 (8086:a0f0) driver iwlwifi", "... without a driver"
};

// The family's devices on the PCI bus in address order: display controllers (class 0x03), network
// controllers (0x02, Wi-Fi's 0x0280 among them), audio (0x0401 multimedia audio, 0x0403 HD Audio).
std::vector<PciDevice> PciDevicesOf(const SysfsRoot& root, DeviceFamily family);

// Whether some device of the family has no driver bound (for sound: a PCI sound device lacks its driver).
bool LacksDriver(const SysfsRoot& root, DeviceFamily family);

}  // namespace host::machine::linuxhost
