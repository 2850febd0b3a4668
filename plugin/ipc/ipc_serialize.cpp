#include "ipc/ipc_serialize.h"

#include <bit>
#include <stdexcept>

namespace zel::sysdiagnose {

static_assert(std::endian::native == std::endian::little, "the wire format is the machine's own byte order");

namespace {

// Strings are read in slices so that a lying count costs at most one slice of memory.
constexpr uint32_t kReadSlice = 4096;

uint32_t CountOf(size_t size) {
  if (size > 0x0FFFFFFF) throw std::runtime_error("Invalid buffer size");
  return static_cast<uint32_t>(size);
}

template <typename Char>
void ReadChars(IIPCDataIO& io, std::basic_string<Char>& text) {
  uint32_t count = 0;
  io.ReadUInt32(count);
  text.clear();
  while (count > 0) {
    const uint32_t slice = std::min(count, kReadSlice);
    const size_t start = text.size();
    text.resize(start + slice);
    io.ReadBytes(text.data() + start, slice * static_cast<uint32_t>(sizeof(Char)));
    count -= slice;
  }
}

}  // namespace

void WriteVersion(IIPCDataIO& io) { io.WriteUInt32(kSerializeVersion); }

void ReadVersion(IIPCDataIO& io) {
  uint32_t version = 0;
  io.ReadUInt32(version);
  if (version != kSerializeVersion) throw std::runtime_error("Invalid Serialize ver");
}

void WriteWString(IIPCDataIO& io, const std::u16string& text) {
  const uint32_t count = CountOf(text.size());
  io.WriteUInt32(count);
  io.WriteBytes(text.data(), count * 2);
}

void ReadWString(IIPCDataIO& io, std::u16string& text) { ReadChars(io, text); }

void WriteString(IIPCDataIO& io, const std::string& text) {
  const uint32_t count = CountOf(text.size());
  io.WriteUInt32(count);
  io.WriteBytes(text.data(), count);
}

void ReadString(IIPCDataIO& io, std::string& text) { ReadChars(io, text); }

void WriteUInt16(IIPCDataIO& io, uint16_t value) {
  const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
  io.WriteBytes(bytes, 2);
}

void ReadUInt16(IIPCDataIO& io, uint16_t& value) {
  uint8_t bytes[2];
  io.ReadBytes(bytes, 2);
  value = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

void Serialize(IIPCDataIO& io, int32_t value) { io.WriteUInt32(static_cast<uint32_t>(value)); }

void Unserialize(IIPCDataIO& io, int32_t& value) {
  uint32_t raw = 0;
  io.ReadUInt32(raw);
  value = static_cast<int32_t>(raw);
}

void Serialize(IIPCDataIO& io, const SYSTEM_DETECT_LOG_ITEM& item) {
  io.WriteUInt32(static_cast<uint32_t>(item.iModule));
  WriteString(io, item.strLogName);
}

void Unserialize(IIPCDataIO& io, SYSTEM_DETECT_LOG_ITEM& item) {
  Unserialize(io, item.iModule);
  ReadString(io, item.strLogName);
}

}  // namespace zel::sysdiagnose
