#include "machine/linux/pci_names.h"

#include <cstdlib>
#include <cstring>

extern "C" {
#include <pci/pci.h>
}

#include "machine/linux/sysfs_root.h"

namespace host::machine::linuxhost {
namespace {

// libpci would print its complaints (a missing pci.ids) on stderr; a missing name is simply empty.
void Quiet(char*, ...) {}
// libpci declares its error hook noreturn as a GNU attribute, which clang counts as part of the
// function type; the C++ attribute is not, and clang refuses the assignment.
__attribute__((noreturn)) void Fatal(char*, ...) { std::abort(); }

}  // namespace

PciNames::PciNames(const SysfsRoot& root) {
  access_ = pci_alloc();
  if (access_ == nullptr) return;
  // Without pci_init nothing sets the handlers, and the name lookup calls debug for a device the
  // list lacks: each must be ours.
  access_->warning = Quiet;
  access_->debug = Quiet;
  access_->error = Fatal;
  const std::string ids = root.Path("/usr/share/misc/pci.ids");
  if (!root.root().empty() && root.Exists("/usr/share/misc/pci.ids")) {
    pci_set_name_list_path(access_, strdup(ids.c_str()), 1);
  }
}

PciNames::~PciNames() {
  if (access_ != nullptr) pci_cleanup(access_);
}

std::string PciNames::Vendor(uint16_t vendor) { return Lookup(PCI_LOOKUP_VENDOR, vendor, 0); }

std::string PciNames::Device(uint16_t vendor, uint16_t device) { return Lookup(PCI_LOOKUP_DEVICE, vendor, device); }

std::string PciNames::Lookup(int flags, uint16_t vendor, uint16_t device) {
  if (access_ == nullptr) return {};
  std::lock_guard guard(lock_);
  char name[256];
  const char* found = pci_lookup_name(access_, name, sizeof name, flags | PCI_LOOKUP_NO_NUMBERS | PCI_LOOKUP_NO_HWDB,
                                      static_cast<unsigned>(vendor), static_cast<unsigned>(device));
  return found == nullptr ? std::string() : std::string(found);
}

}  // namespace host::machine::linuxhost
