#pragma once
// The host's reading and writing of bus payloads: little-endian 32- and 16-bit numbers and bytes;
// a wide string is its count of UTF-16 units and the units, a narrow string its count of bytes and
// the bytes, a list its count and the elements. A payload that ends before its contents do, or a
// count larger than what is left, is a std::runtime_error of the reader; nothing is allocated for
// a count the payload cannot hold.
#include <cstdint>
#include <string>
#include <vector>

namespace app {

class PayloadReader {
 public:
  PayloadReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

  uint32_t U32();
  uint16_t U16();
  uint8_t Byte();
  std::u16string WString();
  std::string String();
  // A list's count, checked against what is left at `minElementSize` bytes an element.
  uint32_t Count(size_t minElementSize);
  // Reads the version word; anything but `expected` is an error.
  void Version(uint32_t expected);
  size_t Left() const { return size_ - pos_; }

 private:
  const uint8_t* Take(size_t n);

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

class PayloadWriter {
 public:
  void U32(uint32_t value);
  void Byte(uint8_t value);
  void String(const std::string& text);
  std::vector<uint8_t>& Bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace app
