// Feeds arbitrary bytes to the running machine's parsers of the kernel's binary records: a
// monitor's EDID, a DMI structure (with what is read from a memory device and a processor, and
// every string a byte may point at) and an NVMe health log. The first byte picks the record.
#include <cstdint>
#include <span>

#include "machine/linux/binary_parsers.h"

using namespace host::machine::linuxhost;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> record(data + 1, size - 1);
  switch (data[0] % 3) {
    case 0:
      ParseEdid(record);
      break;
    case 1:
      if (const auto structure = ParseDmiStructure(record)) {
        MemoryDeviceOf(*structure);
        ExternalClockOf(*structure);
        for (size_t offset = 0; offset <= structure->formatted.size() + 4; ++offset) {
          structure->String(offset);
          structure->Dword(offset);
        }
      }
      break;
    default:
      ParseNvmeHealthLog(record);
      break;
  }
  return 0;
}
