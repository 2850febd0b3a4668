#include "ipc/ipc_data_io.h"

#include <cstring>
#include <stdexcept>

namespace zel::sysdiagnose {

CIPCDataIO::CIPCDataIO(tagIPC_MESSAGE_ITEM* buffer, Mode mode) : m_nMode(mode), m_pBuffer(buffer) {}

CIPCDataIO::~CIPCDataIO() {
  if (m_nMode != kWriter) return;
  delete[] m_pBuffer->pData;
  m_pBuffer->pData = nullptr;
  m_pBuffer->nDataLen = 0;
}

void CIPCDataIO::RequireMode(Mode mode) const {
  if (m_nMode != mode) throw std::runtime_error("Invalid serialize call type");
}

void CIPCDataIO::Reserve(uint32_t n) {
  RequireMode(kWriter);
  const uint64_t needed = uint64_t{m_nPos} + n;
  if (m_pBuffer->nDataLen >= needed) return;
  if (needed > kMaxBufferSize) throw std::runtime_error("Invalid buffer size");
  const uint64_t granularity = static_cast<uint64_t>(m_nGranularity);
  const auto capacity = static_cast<uint32_t>((needed + granularity - 1) / granularity * granularity);
  auto* block = new uint8_t[capacity];
  if (m_nPos != 0) std::memcpy(block, m_pBuffer->pData, m_nPos);
  delete[] m_pBuffer->pData;
  m_pBuffer->pData = block;
  m_pBuffer->nDataLen = capacity;
}

void CIPCDataIO::WriteUInt32(uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  WriteBytes(bytes, sizeof bytes);
}

void CIPCDataIO::WriteByte(uint8_t value) { WriteBytes(&value, 1); }

void CIPCDataIO::WriteBytes(const void* p, uint32_t n) {
  Reserve(n);
  if (n == 0) return;
  std::memcpy(m_pBuffer->pData + m_nPos, p, n);
  m_nPos += n;
}

void CIPCDataIO::ReadUInt32(uint32_t& value) {
  uint8_t bytes[4];
  ReadBytes(bytes, sizeof bytes);
  value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
}

void CIPCDataIO::ReadByte(uint8_t& value) { ReadBytes(&value, 1); }

// A record that announces a length without carrying data has nothing to read.
uint32_t CIPCDataIO::Readable() const { return m_pBuffer->pData ? m_pBuffer->nDataLen : 0; }

void CIPCDataIO::ReadBytes(void* p, uint32_t n) {
  RequireMode(kReader);
  if (uint64_t{m_nPos} + n > Readable()) throw std::runtime_error("Data for unserialize too small");
  if (n == 0) return;
  std::memcpy(p, m_pBuffer->pData + m_nPos, n);
  m_nPos += n;
}

}  // namespace zel::sysdiagnose
