#pragma once
// Test helper: payload bytes written by hand, independent of the codec under test.
#include <cstdint>
#include <string>
#include <vector>

namespace testipc {

class WireBytes {
 public:
  WireBytes& U8(uint8_t value) {
    bytes_.push_back(value);
    return *this;
  }
  WireBytes& U16(uint16_t value) { return U8(value & 0xFF).U8(value >> 8); }
  WireBytes& U32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) U8(static_cast<uint8_t>(value >> shift));
    return *this;
  }
  WireBytes& Wide(const std::u16string& text) {
    U32(static_cast<uint32_t>(text.size()));
    for (char16_t unit : text) U16(unit);
    return *this;
  }
  WireBytes& Narrow(const std::string& text) {
    U32(static_cast<uint32_t>(text.size()));
    for (char c : text) U8(static_cast<uint8_t>(c));
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  operator std::vector<uint8_t>() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace testipc
