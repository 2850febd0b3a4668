#pragma once
// Parsers of the binary records the kernel hands out: a monitor's EDID, the firmware's DMI
// structures and an NVMe drive's health log.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace host::machine::linuxhost {

// EDID 1.x (/sys/class/drm/<connector>/edid): the base block and its extension blocks.
struct Edid {
  std::string monitorName;    // the display product name descriptor (tag 0xFC), trimmed; empty when none
  std::string manufacturer;   // the three-letter PNP id ("AUO")
  uint16_t productCode = 0;
  // The preferred mode: the base block's first detailed timing, else the first (or the one marked
  // preferred) of the extension blocks' detailed timings, CTA-861's and DisplayID's. The frame's
  // size, an interlaced mode's two fields together; the refresh rate is the field rate.
  uint32_t width = 0, height = 0;
  uint32_t refreshHz = 0;
  bool interlaced = false;
};
// nullopt when the block is shorter than 128 bytes or its header is wrong. Extension blocks that
// the bytes do not hold whole are left out.
std::optional<Edid> ParseEdid(std::span<const uint8_t> bytes);

// One SMBIOS structure (/sys/firmware/dmi/entries/<type>-<n>/raw).
struct DmiStructure {
  uint8_t type = 0;
  std::vector<uint8_t> formatted;    // the formatted area, header included
  std::vector<std::string> strings;  // string 1 is strings[0]
  uint16_t Word(size_t offset) const;
  uint32_t Dword(size_t offset) const;
  uint8_t Byte(size_t offset) const;
  // The string a formatted-area byte points at; empty for 0 or past the set.
  std::string String(size_t offset) const;
};
std::optional<DmiStructure> ParseDmiStructure(std::span<const uint8_t> bytes);

// Type 17, memory device. nullopt for an empty slot.
struct DmiMemoryDevice {
  uint64_t sizeMB = 0;
  uint32_t speedMHz = 0;
  std::string locator, manufacturer, partNumber;
};
std::optional<DmiMemoryDevice> MemoryDeviceOf(const DmiStructure& structure);

// Type 4, processor: the external clock in MHz, 0 when unknown.
uint32_t ExternalClockOf(const DmiStructure& structure);

// The NVMe SMART / health information log page (log id 0x02, 512 bytes).
struct NvmeHealth {
  uint8_t criticalWarning = 0;
  uint8_t availableSpare = 0, spareThreshold = 0, percentageUsed = 0;
  uint64_t mediaErrors = 0;  // media and data integrity errors; the 128-bit counter, saturated
};
std::optional<NvmeHealth> ParseNvmeHealthLog(std::span<const uint8_t> bytes);

}  // namespace host::machine::linuxhost
