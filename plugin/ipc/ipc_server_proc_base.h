#pragma once
// A typed receiver for one message id: decodes the payload and hands the argument to its owner.
#include <cstdint>

#include "IPCMessage/IPCMessageItem.h"
#include "ipc/iipc_data_io.h"

namespace zel::sysdiagnose {

class CIPCServerProcBase {
 public:
  explicit CIPCServerProcBase(uint32_t messageId) : m_nMessageId(messageId) {}
  virtual ~CIPCServerProcBase() = default;
  CIPCServerProcBase(const CIPCServerProcBase&) = delete;
  CIPCServerProcBase& operator=(const CIPCServerProcBase&) = delete;

  // Decodes the argument from the reader and calls the owner; throws on a malformed payload
  // before calling anything.
  virtual void OnData(IIPCDataIO& reader) = 0;

  // Reads the received payload through OnData. A payload that does not decode is logged and
  // dropped (false); nothing is called for it.
  bool OnMessage(const tagIPC_MESSAGE_ITEM& message);

  uint32_t MessageId() const { return m_nMessageId; }

 private:
  uint32_t m_nMessageId;
};

}  // namespace zel::sysdiagnose
