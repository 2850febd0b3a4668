#pragma once
// The payload's building blocks on top of IIPCDataIO: the version word, strings, vectors and the
// log item. A wide string is its count of UTF-16 code units and the units; a narrow string its
// count of bytes and the bytes; a vector its count and the elements; no terminators.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "IPCMessage/DoctorProtocol.h"
#include "ipc/iipc_data_io.h"
#include "model/records.h"

namespace zel::sysdiagnose {

inline constexpr uint32_t kSerializeVersion = ::doctor::kPayloadVersion;

void WriteVersion(IIPCDataIO& io);
// Fails with "Invalid Serialize ver" on anything but 1.
void ReadVersion(IIPCDataIO& io);

void WriteWString(IIPCDataIO& io, const std::u16string& text);
void ReadWString(IIPCDataIO& io, std::u16string& text);
void WriteString(IIPCDataIO& io, const std::string& text);
void ReadString(IIPCDataIO& io, std::string& text);
void WriteUInt16(IIPCDataIO& io, uint16_t value);
void ReadUInt16(IIPCDataIO& io, uint16_t& value);

void Serialize(IIPCDataIO& io, int32_t value);
void Unserialize(IIPCDataIO& io, int32_t& value);
// u32 iModule, then the name as a narrow string.
void Serialize(IIPCDataIO& io, const SYSTEM_DETECT_LOG_ITEM& item);
void Unserialize(IIPCDataIO& io, SYSTEM_DETECT_LOG_ITEM& item);

template <typename T>
void Serialize(IIPCDataIO& io, const std::vector<T>& items) {
  io.WriteUInt32(static_cast<uint32_t>(items.size()));
  for (const T& item : items) Serialize(io, item);
}

// The vector grows as elements arrive, so a count that promises more than the payload holds
// fails with "Data for unserialize too small" without allocating for the promise.
template <typename T>
void Unserialize(IIPCDataIO& io, std::vector<T>& items) {
  uint32_t count = 0;
  io.ReadUInt32(count);
  items.clear();
  items.reserve(std::min<uint32_t>(count, 1024));
  for (uint32_t i = 0; i < count; ++i) {
    T item{};
    Unserialize(io, item);
    items.push_back(std::move(item));
  }
}

// Records list their fields once, in wire order, in a template that takes a visitor; the writer
// and the reader below are the two visitors, so both directions follow the same list.
struct WireWriter {
  IIPCDataIO& io;
  void operator()(const uint32_t& value) const { io.WriteUInt32(value); }
  void operator()(const uint16_t& value) const { WriteUInt16(io, value); }
  void operator()(const uint8_t& value) const { io.WriteByte(value); }
  void operator()(const std::u16string& text) const { WriteWString(io, text); }
  template <typename T>
  void operator()(const std::vector<T>& items) const {
    Serialize(io, items);
  }
};

struct WireReader {
  IIPCDataIO& io;
  void operator()(uint32_t& value) const { io.ReadUInt32(value); }
  void operator()(uint16_t& value) const { ReadUInt16(io, value); }
  void operator()(uint8_t& value) const { io.ReadByte(value); }
  void operator()(std::u16string& text) const { ReadWString(io, text); }
  template <typename T>
  void operator()(std::vector<T>& items) const {
    Unserialize(io, items);
  }
};

}  // namespace zel::sysdiagnose
