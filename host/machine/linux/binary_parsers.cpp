#include "machine/linux/binary_parsers.h"

#include <algorithm>

namespace host::machine::linuxhost {
namespace {

constexpr uint8_t kEdidHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
constexpr size_t kEdidDescriptors[4] = {54, 72, 90, 108};
constexpr uint8_t kMonitorNameTag = 0xFC;

uint16_t Le16(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// Descriptor text: up to 13 bytes, ended by a line feed, padded with blanks.
std::string DescriptorText(std::span<const uint8_t> descriptor) {
  std::string text;
  for (size_t i = 5; i < 18 && descriptor[i] != 0x0A; ++i) text += static_cast<char>(descriptor[i]);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

// A detailed timing descriptor has a nonzero pixel clock; a display descriptor starts 00 00.
bool IsTiming(std::span<const uint8_t> descriptor) { return Le16(descriptor, 0) != 0; }

void ReadTiming(std::span<const uint8_t> d, Edid& edid) {
  const uint64_t pixelClockHz = uint64_t{Le16(d, 0)} * 10000;
  const uint32_t hActive = d[2] | (d[4] & 0xF0) << 4, hBlank = d[3] | (d[4] & 0x0F) << 8;
  const uint32_t vActive = d[5] | (d[7] & 0xF0) << 4, vBlank = d[6] | (d[7] & 0x0F) << 8;
  edid.width = hActive;
  edid.height = vActive;
  const uint64_t total = uint64_t{hActive + hBlank} * (vActive + vBlank);
  // Rounded to the nearest hertz: 148.5 MHz over 2200 x 1125 is 60 Hz.
  edid.refreshHz = total == 0 ? 0 : static_cast<uint32_t>((pixelClockHz + total / 2) / total);
}

}  // namespace

std::optional<Edid> ParseEdid(std::span<const uint8_t> bytes) {
  if (bytes.size() < 128 || !std::equal(std::begin(kEdidHeader), std::end(kEdidHeader), bytes.begin())) {
    return std::nullopt;
  }
  Edid edid;
  const uint16_t id = static_cast<uint16_t>(bytes[8] << 8 | bytes[9]);  // big-endian, 5 bits a letter
  for (int shift : {10, 5, 0}) edid.manufacturer += static_cast<char>('A' - 1 + ((id >> shift) & 0x1F));
  edid.productCode = Le16(bytes, 10);
  bool timingRead = false;
  for (size_t at : kEdidDescriptors) {
    const auto descriptor = bytes.subspan(at, 18);
    if (IsTiming(descriptor)) {
      if (!timingRead) ReadTiming(descriptor, edid);
      timingRead = true;
    } else if (descriptor[3] == kMonitorNameTag && edid.monitorName.empty()) {
      edid.monitorName = DescriptorText(descriptor);
    }
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
