#pragma once
// The IPC library's message record: 48 bytes, little-endian, as the host's modules exchange it.
#include <cstddef>
#include <cstdint>

struct tagIPC_MESSAGE_ITEM {
  uint32_t nDstModuleId = 0;    // the receiving module
  uint32_t nSrcModuleId = 0;    // set by the bus to the sender's module id
  uint32_t nMessageId = 0;      // high 16 bits: the module (message class), low 16 bits: the message
  uint32_t nReplyMessageId = 0; // the id an answer is expected under; 0 or 0xFFFFFFFF for none
  uint32_t nReserved1 = 0;
  uint32_t nReserved2 = 0;
  uint32_t nDataLen = 0;        // payload bytes; may be set without a payload
  uint8_t* pData = nullptr;     // payload, or null
  uint8_t bFlag = 0;
};

static_assert(sizeof(tagIPC_MESSAGE_ITEM) == 48);
static_assert(offsetof(tagIPC_MESSAGE_ITEM, nDstModuleId) == 0);
static_assert(offsetof(tagIPC_MESSAGE_ITEM, nSrcModuleId) == 4);
static_assert(offsetof(tagIPC_MESSAGE_ITEM, nMessageId) == 8);
static_assert(offsetof(tagIPC_MESSAGE_ITEM, nReplyMessageId) == 12);
static_assert(offsetof(tagIPC_MESSAGE_ITEM, nReserved1) == 16);
static_assert(offsetof(tagIPC_MESSAGE_ITEM, nReserved2) == 20);
static_assert(offsetof(tagIPC_MESSAGE_ITEM, nDataLen) == 24);
static_assert(offsetof(tagIPC_MESSAGE_ITEM, pData) == 32);
static_assert(offsetof(tagIPC_MESSAGE_ITEM, bFlag) == 40);
