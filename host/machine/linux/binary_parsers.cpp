#include "machine/linux/binary_parsers.h"

#include <algorithm>
#include <vector>

namespace host::machine::linuxhost {
namespace {

constexpr uint8_t kEdidHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr size_t kEdidBlock = 128;
constexpr size_t kEdidDescriptors[4] = {54, 72, 90, 108};
constexpr size_t kDescriptorSize = 18;
constexpr uint8_t kMonitorNameTag = 0xFC;
constexpr size_t kExtensionCount = 126;
constexpr uint8_t kCtaTag = 0x02;
constexpr uint8_t kDisplayIdTag = 0x70;
// DisplayID data blocks of detailed timings: type I (version 1, in 10 kHz) and type VII (version 2, in kHz).
constexpr uint8_t kDisplayIdTypeI = 0x03;
constexpr uint8_t kDisplayIdTypeVII = 0x22;
constexpr size_t kDisplayIdTimingSize = 20;

uint16_t Le16(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// Descriptor text: up to 13 bytes, ended by a line feed, padded with blanks (or, by some makers,
// with NULs or other bytes that print as nothing): the printable part, without blanks around it.
std::string DescriptorText(std::span<const uint8_t> descriptor) {
  std::string text;
  for (size_t i = 5; i < kDescriptorSize && descriptor[i] != 0x0A; ++i) {
    if (descriptor[i] >= 0x20 && descriptor[i] < 0x7F) text += static_cast<char>(descriptor[i]);
  }
  const size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A detailed timing descriptor has a nonzero pixel clock; a display descriptor starts 00 00.
bool IsTiming(std::span<const uint8_t> descriptor) { return Le16(descriptor, 0) != 0; }

struct Timing {
  uint64_t pixelClockHz = 0;
  uint32_t hActive = 0, hBlank = 0, vActive = 0, vBlank = 0;  // vertical: of one field when interlaced
  bool interlaced = false;
  bool preferred = false;
};

// An 18-byte detailed timing descriptor of EDID and of CTA-861.
Timing DetailedTiming(std::span<const uint8_t> d) {
  Timing timing;
  timing.pixelClockHz = uint64_t{Le16(d, 0)} * 10000;
  timing.hActive = d[2] | (d[4] & 0xF0) << 4;
  timing.hBlank = d[3] | (d[4] & 0x0F) << 8;
  timing.vActive = d[5] | (d[7] & 0xF0) << 4;
  timing.vBlank = d[6] | (d[7] & 0x0F) << 8;
  timing.interlaced = (d[17] & 0x80) != 0;
  return timing;
}

// A 20-byte DisplayID detailed timing: each size less one, the clock less one in `clockUnitHz`.
Timing DisplayIdTiming(std::span<const uint8_t> d, uint64_t clockUnitHz) {
  Timing timing;
  timing.pixelClockHz = (uint64_t{d[0]} | uint64_t{d[1]} << 8 | uint64_t{d[2]} << 16) * clockUnitHz + clockUnitHz;
  timing.preferred = (d[3] & 0x80) != 0;
  timing.interlaced = (d[3] & 0x10) != 0;
  timing.hActive = Le16(d, 4) + 1u;
  timing.hBlank = Le16(d, 6) + 1u;
  timing.vActive = Le16(d, 12) + 1u;
  timing.vBlank = Le16(d, 14) + 1u;
  return timing;
}

void TakeTiming(const Timing& timing, Edid& edid) {
  edid.width = timing.hActive;
  edid.height = timing.interlaced ? timing.vActive * 2 : timing.vActive;
  edid.interlaced = timing.interlaced;
  const uint64_t total = uint64_t{timing.hActive + timing.hBlank} * (timing.vActive + timing.vBlank);
  // Rounded to the nearest hertz: 148.5 MHz over 2200 x 1125 is 60 Hz.
  edid.refreshHz = total == 0 ? 0 : static_cast<uint32_t>((timing.pixelClockHz + total / 2) / total);
}

// CTA-861: the detailed timings follow the data block collection, from the offset in byte 2 up to
// the checksum; a descriptor with no clock ends them.
std::vector<Timing> CtaTimings(std::span<const uint8_t> block) {
  std::vector<Timing> timings;
  const size_t first = block[2];
  if (first < 4) return timings;  // 0: neither data blocks nor timings
  for (size_t at = first; at + kDescriptorSize < kEdidBlock; at += kDescriptorSize) {
    const auto descriptor = block.subspan(at, kDescriptorSize);
    if (!IsTiming(descriptor)) break;
    timings.push_back(DetailedTiming(descriptor));
  }
  return timings;
}

// DisplayID in an EDID extension: after the tag, a section header (version, length of its data
// blocks, product type, extension count), then data blocks of tag, revision and length.
std::vector<Timing> DisplayIdTimings(std::span<const uint8_t> block) {
  std::vector<Timing> timings;
  constexpr size_t kBlocksStart = 5;
  const size_t end = std::min(kBlocksStart + block[2], kEdidBlock - 1);  // the checksum is not a block
  for (size_t at = kBlocksStart; at + 3 <= end;) {
    const uint8_t tag = block[at];
    const size_t length = block[at + 2];
    if (at + 3 + length > end) break;
    if (tag == kDisplayIdTypeI || tag == kDisplayIdTypeVII) {
      const uint64_t unit = tag == kDisplayIdTypeI ? 10000 : 1000;
      for (size_t t = at + 3; t + kDisplayIdTimingSize <= at + 3 + length; t += kDisplayIdTimingSize) {
        timings.push_back(DisplayIdTiming(block.subspan(t, kDisplayIdTimingSize), unit));
      }
    }
    at += 3 + length;
  }
  return timings;
}

// The timing marked preferred among the extensions' timings, else the first of them.
std::optional<Timing> ExtensionTiming(std::span<const uint8_t> bytes) {
  const size_t blocks = std::min<size_t>(bytes[kExtensionCount], bytes.size() / kEdidBlock - 1);
  std::vector<Timing> timings;
  for (size_t i = 1; i <= blocks; ++i) {
    const auto block = bytes.subspan(i * kEdidBlock, kEdidBlock);
    const std::vector<Timing> found = block[0] == kCtaTag       ? CtaTimings(block)
                                      : block[0] == kDisplayIdTag ? DisplayIdTimings(block)
                                                                  : std::vector<Timing>();
    timings.insert(timings.end(), found.begin(), found.end());
  }
  if (timings.empty()) return std::nullopt;
  const auto preferred = std::find_if(timings.begin(), timings.end(), [](const Timing& t) { return t.preferred; });
  return preferred != timings.end() ? *preferred : timings.front();
}

}  // namespace

std::optional<Edid> ParseEdid(std::span<const uint8_t> bytes) {
  if (bytes.size() < kEdidBlock || !std::equal(std::begin(kEdidHeader), std::end(kEdidHeader), bytes.begin())) {
    return std::nullopt;
  }
  Edid edid;
  const uint16_t id = static_cast<uint16_t>(bytes[8] << 8 | bytes[9]);  // big-endian, 5 bits a letter
  for (int shift : {10, 5, 0}) edid.manufacturer += static_cast<char>('A' - 1 + ((id >> shift) & 0x1F));
  edid.productCode = Le16(bytes, 10);
  bool timingRead = false;
  for (size_t at : kEdidDescriptors) {
    const auto descriptor = bytes.subspan(at, kDescriptorSize);
    if (IsTiming(descriptor)) {
      if (!timingRead) TakeTiming(DetailedTiming(descriptor), edid);
      timingRead = true;
    } else if (descriptor[3] == kMonitorNameTag && edid.monitorName.empty()) {
      edid.monitorName = DescriptorText(descriptor);
    }
  }
  if (!timingRead) {
    if (const auto timing = ExtensionTiming(bytes)) TakeTiming(*timing, edid);
  }
  return edid;
}

uint8_t DmiStructure::Byte(size_t offset) const { return offset < formatted.size() ? formatted[offset] : 0; }
uint16_t DmiStructure::Word(size_t offset) const {
  return static_cast<uint16_t>(Byte(offset) | Byte(offset + 1) << 8);
}
uint32_t DmiStructure::Dword(size_t offset) const { return Word(offset) | uint32_t{Word(offset + 2)} << 16; }
std::string DmiStructure::String(size_t offset) const {
  const uint8_t index = Byte(offset);
  return index == 0 || index > strings.size() ? std::string() : strings[index - 1];
}

std::optional<DmiStructure> ParseDmiStructure(std::span<const uint8_t> bytes) {
  if (bytes.size() < 4 || bytes[1] < 4 || bytes[1] > bytes.size()) return std::nullopt;
  DmiStructure structure;
  structure.type = bytes[0];
  structure.formatted.assign(bytes.begin(), bytes.begin() + bytes[1]);
  // Strings follow, each ended by NUL; the set ends with a second NUL.
  std::string current;
  for (size_t i = bytes[1]; i < bytes.size(); ++i) {
    if (bytes[i] != 0) {
      current += static_cast<char>(bytes[i]);
      continue;
    }
    if (current.empty()) break;
    structure.strings.push_back(current);
    current.clear();
  }
  for (std::string& text : structure.strings) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
  }
  return structure;
}

std::optional<DmiMemoryDevice> MemoryDeviceOf(const DmiStructure& s) {
  if (s.type != 17) return std::nullopt;
  const uint16_t size = s.Word(0x0C);
  if (size == 0 || size == 0xFFFF) return std::nullopt;  // no module, or unknown
  DmiMemoryDevice device;
  if (size == 0x7FFF) {
    device.sizeMB = s.Dword(0x1C) & 0x7FFFFFFF;  // extended size, in MB
  } else {
    device.sizeMB = (size & 0x8000) ? (size & 0x7FFF) / 1024 : size;  // bit 15: KB units
  }
  const uint16_t speed = s.Word(0x15);
  device.speedMHz = speed == 0xFFFF ? s.Dword(0x54) : speed;
  device.locator = s.String(0x10);
  device.manufacturer = s.String(0x17);
  device.partNumber = s.String(0x1A);
  return device;
}

uint32_t ExternalClockOf(const DmiStructure& s) { return s.type == 4 ? s.Word(0x12) : 0; }

std::optional<NvmeHealth> ParseNvmeHealthLog(std::span<const uint8_t> bytes) {
  if (bytes.size() < 512) return std::nullopt;
  NvmeHealth health;
  health.criticalWarning = bytes[0];
  health.availableSpare = bytes[3];
  health.spareThreshold = bytes[4];
  health.percentageUsed = bytes[5];
  for (int i = 7; i >= 0; --i) health.mediaErrors = health.mediaErrors << 8 | bytes[160 + static_cast<size_t>(i)];
  const auto high = bytes.subspan(168, 8);
  if (std::any_of(high.begin(), high.end(), [](uint8_t b) { return b != 0; })) health.mediaErrors = UINT64_MAX;
  return health;
}

}  // namespace host::machine::linuxhost
