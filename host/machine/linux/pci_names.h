#pragma once
// PCI vendor and device names from the PCI id list (pci.ids, as libpci and lspci read it). A tree
// that carries its own /usr/share/misc/pci.ids is named from that one, so recorded machines read
// the same everywhere.
//
// A scan names a handful of devices, and reading the list whole (libpci parses all of its tens of
// thousands of lines into a hash) costs far more than the scan: the lines of one id are found
// where they stand. Any thread.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace host::machine::linuxhost {

class SysfsRoot;

class PciNames {
 public:
  explicit PciNames(const SysfsRoot& root);

  // Empty when the list does not know the id, or there is no list.
  std::string Vendor(uint16_t vendor);
  std::string Device(uint16_t vendor, uint16_t device);

 private:
  // The list's text, read on first use.
  std::string_view List();
  // The list from the vendor's line on; empty when the list does not know the vendor.
  std::string_view VendorLines(uint16_t vendor);

  std::string path_;
  std::mutex lock_;
  std::optional<std::string> list_;
  std::map<uint16_t, std::string_view> vendorLines_;
};

// The name on the line of `id` among the lines of one level of the list: vendors at the top level
// (`indent` 0), a vendor's devices below it (`indent` 1). `lines` starts at a line; the search ends
// at the first line of a lower indent. Empty when none.
std::string_view PciIdName(std::string_view lines, int indent, uint16_t id);
// The lines below the vendor's line (its devices and their subsystems); empty when none.
std::string_view PciVendorBlock(std::string_view list, uint16_t vendor);

}  // namespace host::machine::linuxhost
