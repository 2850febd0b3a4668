// PCI names are found by id in the list's own text, as libpci and lspci read it.
#include "machine/linux/pci_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "machine/linux/sysfs_root.h"
#include "support/test_env.h"

namespace host::machine::linuxhost {
namespace {

// Comments and blank lines between entries, a device id that is also a vendor id, subsystem lines
// that hold other ids, a vendor without devices, the class list after the vendors, and no line
// end after the last line.
constexpr const char* kList =
    "# pci.ids as distributed\n"
    "\n"
    "10de  NVIDIA Corporation\n"
    "\t1c8d  GP107M [GeForce GTX 1050 Mobile]\n"
    "\t\t8086 2070  Intel made board\n"
    "# a comment inside a vendor\n"
    "\t8086  A device numbered like a vendor\n"
    "1234  A vendor without devices\n"
    "8086  Intel Corporation\n"
    "\t1c8d  Not NVIDIA's device\n"
    "\ta0f0  Wi-Fi 6 AX201 \n"
    "C 02  Network controller\n"
    "\t80  Network controller";

TEST(PciNames, NamesAreFoundByIdWithinTheirVendor) {
  testenv::ScopedDataDir dir;
  std::filesystem::create_directories(dir.path() / "usr/share/misc");
  std::ofstream(dir.path() / "usr/share/misc/pci.ids") << kList;
  PciNames names{SysfsRoot(dir.path().string())};
  const struct {
    uint16_t vendor;
    int device;  // -1: the vendor's name
    const char* name;
  } cases[] = {
      {0x10de, -1, "NVIDIA Corporation"},
      {0x10de, 0x1c8d, "GP107M [GeForce GTX 1050 Mobile]"},
      {0x8086, 0x1c8d, "Not NVIDIA's device"},
      {0x10de, 0x8086, "A device numbered like a vendor"},
      {0x8086, -1, "Intel Corporation"},
      {0x8086, 0xa0f0, "Wi-Fi 6 AX201"},
      {0x10de, 0x2070, ""},  // a subsystem, not a device
      {0x1234, 0x1c8d, ""},  // the next vendor's device is not this one's
      {0x1234, -1, "A vendor without devices"},
      {0x0002, -1, ""},      // the class list is no vendor
      {0xffff, -1, ""},
      {0xffff, 0xa0f0, ""},
  };
  for (const auto& c : cases) {
    const std::string found = c.device < 0 ? names.Vendor(c.vendor) : names.Device(c.vendor, static_cast<uint16_t>(c.device));
    EXPECT_EQ(found, c.name) << std::hex << c.vendor << ":" << c.device;
  }
}

TEST(PciNames, ATreeWithoutAListOfItsOwnIsNamedFromThisMachinesAndNoListNamesNothing) {
  testenv::ScopedDataDir dir;
  PciNames system{SysfsRoot(dir.path().string())};
  if (std::filesystem::exists("/usr/share/misc/pci.ids")) {
    EXPECT_EQ(system.Vendor(0x8086), "Intel Corporation");
  }
  EXPECT_EQ(PciIdName(std::string_view(), 0, 0x8086), "");  // no list at all: no memory behind it
  EXPECT_EQ(PciIdName(std::string_view(), 1, 0x8086), "");
  EXPECT_EQ(PciVendorBlock("8086  Intel Corporation", 0x8086), "");
}

}  // namespace
}  // namespace host::machine::linuxhost
