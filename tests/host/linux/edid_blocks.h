#pragma once
// EDIDs built in the tests, a block of 128 bytes each: the base block (header, maker "ACM", four
// descriptors) and extension blocks of CTA-861 and DisplayID.
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace edid {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<uint8_t>(value);
  bytes[at + 1] = static_cast<uint8_t>(value >> 8);
}

// An 18-byte detailed timing: clock in 10 kHz, sizes of one field when interlaced.
inline Bytes Timing(uint32_t clock10kHz, uint32_t hActive, uint32_t hBlank, uint32_t vActive, uint32_t vBlank,
                    bool interlaced = false) {
  Bytes d(18, 0);
  Put16(d, 0, clock10kHz);
  d[2] = hActive & 0xFF, d[3] = hBlank & 0xFF, d[4] = static_cast<uint8_t>((hActive >> 8) << 4 | hBlank >> 8);
  d[5] = vActive & 0xFF, d[6] = vBlank & 0xFF, d[7] = static_cast<uint8_t>((vActive >> 8) << 4 | vBlank >> 8);
  d[17] = interlaced ? 0x80 : 0x18;
  return d;
}

// A display name descriptor holding exactly these 13 bytes.
inline Bytes Name(std::string_view thirteen) {
  Bytes d(18, 0);
  d[3] = 0xFC;
  thirteen = thirteen.substr(0, 13);
  std::copy(thirteen.begin(), thirteen.end(), d.begin() + 5);
  return d;
}

inline Bytes Dummy() {
  Bytes d(18, 0);
  d[3] = 0x10;  // a dummy descriptor
  return d;
}

inline Bytes Base(const std::vector<Bytes>& descriptors, uint8_t extensions = 0) {
  Bytes block(128, 0);
  const uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
  std::copy(std::begin(header), std::end(header), block.begin());
  block[8] = 0x04, block[9] = 0x6D;  // A C M
  for (size_t i = 0; i < 4; ++i) {
    const Bytes d = i < descriptors.size() ? descriptors[i] : Dummy();
    std::copy(d.begin(), d.end(), block.begin() + 54 + 18 * static_cast<long>(i));
  }
  block[126] = extensions;
  return block;
}

// CTA-861: a data block collection of `collection` bytes, then the timings.
inline Bytes Cta(const std::vector<Bytes>& timings, uint8_t collection = 4) {
  Bytes block(128, 0);
  block[0] = 0x02, block[1] = 0x03;
  block[2] = timings.empty() ? 0 : static_cast<uint8_t>(4 + collection);
  size_t at = 4 + collection;
  for (const Bytes& t : timings) {
    std::copy(t.begin(), t.end(), block.begin() + static_cast<long>(at));
    at += 18;
  }
  return block;
}

// A DisplayID timing of 20 bytes: sizes less one, the clock less one in the block's unit.
inline Bytes DisplayIdTiming(uint32_t clock, bool preferred, uint32_t hActive, uint32_t hBlank, uint32_t vActive,
                             uint32_t vBlank) {
  Bytes t(20, 0);
  t[0] = (clock - 1) & 0xFF, t[1] = ((clock - 1) >> 8) & 0xFF, t[2] = ((clock - 1) >> 16) & 0xFF;
  t[3] = preferred ? 0x80 : 0x00;
  Put16(t, 4, hActive - 1), Put16(t, 6, hBlank - 1), Put16(t, 8, 47), Put16(t, 10, 31);
  Put16(t, 12, vActive - 1), Put16(t, 14, vBlank - 1), Put16(t, 16, 2), Put16(t, 18, 4);
  return t;
}

// DisplayID with one detailed timing block: tag 0x03 (type I, 10 kHz) or 0x22 (type VII, kHz).
inline Bytes DisplayId(uint8_t tag, const std::vector<Bytes>& timings) {
  Bytes block(128, 0);
  block[0] = 0x70, block[1] = tag == 0x22 ? 0x20 : 0x12;
  Bytes data = {tag, 0, static_cast<uint8_t>(20 * timings.size())};
  for (const Bytes& t : timings) data.insert(data.end(), t.begin(), t.end());
  block[2] = static_cast<uint8_t>(data.size());
  std::copy(data.begin(), data.end(), block.begin() + 5);
  return block;
}

inline Bytes Joined(const std::vector<Bytes>& blocks) {
  Bytes all;
  for (const Bytes& b : blocks) all.insert(all.end(), b.begin(), b.end());
  return all;
}

}  // namespace edid
