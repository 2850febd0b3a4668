#pragma once
// PCI vendor and device names from libpci's name database (pci.ids). A tree that carries its own
// /usr/share/misc/pci.ids is named from that one, so recorded machines read the same everywhere.
#include <cstdint>
#include <mutex>
#include <string>

struct pci_access;

namespace host::machine::linuxhost {

class SysfsRoot;

class PciNames {
 public:
  explicit PciNames(const SysfsRoot& root);
  ~PciNames();
  PciNames(const PciNames&) = delete;
  PciNames& operator=(const PciNames&) = delete;

  // Empty when the database does not know the id.
  std::string Vendor(uint16_t vendor);
  std::string Device(uint16_t vendor, uint16_t device);

 private:
  std::string Lookup(int flags, uint16_t vendor, uint16_t device);

  std::mutex lock_;  // libpci's access object is not thread-safe
  pci_access* access_ = nullptr;
};

}  // namespace host::machine::linuxhost
