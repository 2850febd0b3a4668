#pragma once
// Module and message ids the plug-in exchanges over the host's IPC bus, and the record it posts.
#include <cstdint>

#include "IPCMessage/IPCMessageItem.h"

namespace zel::sysdiagnose {

inline constexpr uint32_t kSysdiagnoseModule = 0x390000;
inline constexpr uint32_t kMsgDoctorStart = 0x390020;   // start or stop the health-check detection
inline constexpr uint32_t kMsgDoctorRepair = 0x390021;  // repair request of the health check

inline constexpr uint32_t kDoctorModule = 0x200000;       // the health-check module and its message class
inline constexpr uint32_t kMsgModuleInfoQuery = 0x200009;
inline constexpr uint32_t kMsgModuleInfoAnswer = 0x20000A;
inline constexpr uint32_t kMsgDoctorResult = 0x20000B;    // result of a health-check detection or repair
inline constexpr uint32_t kMsgDoctorRunResult = 0x20000E; // result after an interactive diagnosis run

inline constexpr uint32_t kLogServiceModule = 0x3B0000;
inline constexpr uint32_t kMsgDetectStarted = 0x3B0001;
inline constexpr uint32_t kMsgLogListRequest = 0x3B0002;
inline constexpr uint32_t kMsgStartUpload = 0x3B0003;
inline constexpr uint32_t kMsgUploadDeclined = 0x3B0004;
inline constexpr uint32_t kMsgDetectReply = 0x3C0001;  // one byte: not 0 when the log upload is offered
inline constexpr uint32_t kMsgLogList = 0x3C0002;      // version 1, vector of SYSTEM_DETECT_LOG_ITEM

inline constexpr uint32_t kNoReply = 0xFFFFFFFF;

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
