// Feeds arbitrary text to the running machine's parsers of the kernel's text files (procfs and
// sysfs) and to the PCI id list's lookups. The first byte picks the parser; the rest is the file.
#include <cstdint>
#include <string_view>

#include "machine/linux/pci_names.h"
#include "machine/linux/proc_parsers.h"

using namespace host::machine::linuxhost;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 8) {
    case 0: ParseCpuInfo(text); break;
    case 1: ParseMemTotalKiB(text); break;
    case 2: ParseSoundCards(text); break;
    case 3:
      for (const InputDevice& device : ParseInputDevices(text)) IsKeyboard(device);
      break;
    case 4: ParseWirelessLevels(text); break;
    case 5: ParseUevent(text); break;
    case 6: ParseCpuList(text); break;
    default:
      ParseCacheSizeKiB(text);
      // A recorded tree's pci.ids: a vendor, its devices, and an id that is no vendor's.
      for (const uint16_t vendor : {0x8086, 0x10de, 0xffff}) {
        PciIdName(text, 0, vendor);
        PciIdName(PciVendorBlock(text, vendor), 1, 0x1c8d);
      }
      break;
  }
  return 0;
}
