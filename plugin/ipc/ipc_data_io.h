#pragma once
// The payload codec: a writer that grows a buffer record's data block, or a reader over a
// received record's payload.
#include <cstdint>

#include "IPCMessage/IPCMessageItem.h"
#include "ipc/iipc_data_io.h"

namespace zel::sysdiagnose {

class CIPCDataIO final : public IIPCDataIO {
 public:
  static constexpr int32_t kGranularity = 64;
  static constexpr uint32_t kMaxBufferSize = 0x0FFFFFFF;

  enum Mode : uint8_t { kWriter = 0, kReader = 1 };

  // Writer: `buffer` starts with length 0 and no data; its length field is the capacity and its
  // pointer the block, which the writer allocates, grows and frees when it goes.
  // Reader: reads the payload of `buffer` (nothing when its pointer is null).
  // The record must outlive this object.
  CIPCDataIO(tagIPC_MESSAGE_ITEM* buffer, Mode mode);
  ~CIPCDataIO();
  CIPCDataIO(const CIPCDataIO&) = delete;
  CIPCDataIO& operator=(const CIPCDataIO&) = delete;

  void Reserve(uint32_t n) override;
  void WriteUInt32(uint32_t value) override;
  void WriteByte(uint8_t value) override;
  void WriteBytes(const void* p, uint32_t n) override;
  void ReadUInt32(uint32_t& value) override;
  void ReadByte(uint8_t& value) override;
  void ReadBytes(void* p, uint32_t n) override;

  // Bytes written so far, or read so far.
  uint32_t Position() const { return m_nPos; }

 private:
  void RequireMode(Mode mode) const;
  uint32_t Readable() const;

  int32_t m_nGranularity = kGranularity;
  uint8_t m_nMode;
  uint8_t m_bOwnsBuffer = 0;  // the buffer record itself always belongs to the caller
  uint32_t m_nPos = 0;
  tagIPC_MESSAGE_ITEM* m_pBuffer;
};

}  // namespace zel::sysdiagnose
