#include "app/services/payload_codec.h"

#include <cstring>
#include <stdexcept>

namespace app {

const uint8_t* PayloadReader::Take(size_t n) {
  if (n > Left()) throw std::runtime_error("the payload ends early");
  const uint8_t* at = data_ + pos_;
  pos_ += n;
  return at;
}

uint32_t PayloadReader::U32() {
  const uint8_t* b = Take(4);
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

uint16_t PayloadReader::U16() {
  const uint8_t* b = Take(2);
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}

uint8_t PayloadReader::Byte() { return *Take(1); }

std::u16string PayloadReader::WString() {
  const uint32_t count = Count(2);
  const uint8_t* units = Take(size_t{count} * 2);
  std::u16string text(count, u'\0');
  for (uint32_t i = 0; i < count; ++i) text[i] = static_cast<char16_t>(units[2 * i] | units[2 * i + 1] << 8);
  return text;
}

std::string PayloadReader::String() {
  const uint32_t count = Count(1);
  const uint8_t* bytes = Take(count);
  return std::string(reinterpret_cast<const char*>(bytes), count);
}

uint32_t PayloadReader::Count(size_t minElementSize) {
  const uint32_t count = U32();
  if (minElementSize != 0 && count > Left() / minElementSize) throw std::runtime_error("a count beyond the payload");
  return count;
}

void PayloadReader::Version(uint32_t expected) {
  if (U32() != expected) throw std::runtime_error("an unknown payload version");
}

void PayloadWriter::U32(uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<uint8_t>(value >> shift));
}

void PayloadWriter::Byte(uint8_t value) { bytes_.push_back(value); }

void PayloadWriter::String(const std::string& text) {
  U32(static_cast<uint32_t>(text.size()));
  bytes_.insert(bytes_.end(), text.begin(), text.end());
}

}  // namespace app
