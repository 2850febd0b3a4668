#pragma once
// Disk health from the disk itself: ATA SMART through libatasmart, the NVMe health log through
// the kernel's admin-command ioctl. Both are judged as the field judges them (a normalized value at
// its threshold, the raw error counters that come before failures, the NVMe drive's own warnings and
// error counts) and laid onto the library's verdict bytes.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "machine/linux/binary_parsers.h"
#include "machine/linux/hardware_reader.h"
#include "machine/machine.h"

namespace host::machine::linuxhost {

class SysfsRoot;

// The library's disk codes.
inline constexpr uint32_t kDiskHealthy = 1;
inline constexpr uint32_t kDiskUnavailable = 2;  // no such disk, or its health cannot be read
inline constexpr uint32_t kDiskAbnormal = 3;

struct AtaAttribute {
  uint8_t id = 0;
  uint8_t value = 0, threshold = 0;
  bool valueValid = false, thresholdValid = false;
  uint64_t raw = 0;  // the 48-bit raw value
};

// One byte per requested attribute number: 1 when a rule marks that attribute as failing, else 0.
std::vector<uint8_t> VerdictsOfAta(const std::vector<AtaAttribute>& read, std::span<const uint8_t> attributes);
std::vector<uint8_t> VerdictsOfNvme(const NvmeHealth& health, std::span<const uint8_t> attributes);
// 1 when nothing is failing, else 3.
uint32_t CodeOf(std::span<const uint8_t> verdicts, bool selfAssessmentGood);

struct SmartReading {
  DiskCheck check;
  std::string limit;  // why the health could not be read; empty when it was
};
SmartReading ReadSmart(const SysfsRoot& root, const BlockDisk& disk, std::span<const uint8_t> attributes);

}  // namespace host::machine::linuxhost
