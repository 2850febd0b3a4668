#pragma once
// The health-check protocol as the plug-in speaks it (its ids and records are the host's, see
// IPCMessage/DoctorProtocol.h), and the record the plug-in posts.
#include <cstdint>

#include "IPCMessage/DoctorProtocol.h"
#include "IPCMessage/IPCMessageItem.h"

namespace zel::sysdiagnose {

using namespace ::doctor;

// A record as the plug-in fills it: source 0xFFFFFFFF (the bus puts in the real one), reserved
// fields 0xFFFFFFFF and 0, no payload, flag 0.
inline tagIPC_MESSAGE_ITEM MakeIPCMessage(uint32_t destination, uint32_t messageId, uint32_t replyId) {
  tagIPC_MESSAGE_ITEM message{};
  message.nDstModuleId = destination;
  message.nSrcModuleId = 0xFFFFFFFF;
  message.nMessageId = messageId;
  message.nReplyMessageId = replyId;
  message.nReserved1 = 0xFFFFFFFF;
  message.nReserved2 = 0;
  message.nDataLen = 0;
  message.pData = nullptr;
  message.bFlag = 0;
  return message;
}

}  // namespace zel::sysdiagnose
