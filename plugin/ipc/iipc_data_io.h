#pragma once
// Reads or writes the flat payload of an IPC message: integers little-endian, no alignment.
// Every failure is a std::runtime_error with one of the texts of CIPCDataIO.
#include <cstdint>

namespace zel::sysdiagnose {

class IIPCDataIO {
 public:
  virtual void Reserve(uint32_t n) = 0;  // room for n more bytes (writer only)
  virtual void WriteUInt32(uint32_t value) = 0;
  virtual void WriteByte(uint8_t value) = 0;
  virtual void WriteBytes(const void* p, uint32_t n) = 0;
  virtual void ReadUInt32(uint32_t& value) = 0;
  virtual void ReadByte(uint8_t& value) = 0;
  virtual void ReadBytes(void* p, uint32_t n) = 0;  // reader only

 protected:
  ~IIPCDataIO() = default;
};

}  // namespace zel::sysdiagnose
