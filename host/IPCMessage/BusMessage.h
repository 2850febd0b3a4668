#pragma once
// One message on its way through the bus: the posted record and the bus's own copy of its payload.
#include <cstdint>
#include <vector>

#include "IPCMessage/IPCMessageItem.h"

namespace hostipc {

struct BusMessage {
  tagIPC_MESSAGE_ITEM header{};  // pData is not used here: see View()
  std::vector<uint8_t> payload;
  bool hasPayload = false;       // the poster gave a payload pointer (possibly with length 0)
  uint64_t sender = 0;           // serial of the posting endpoint; 0 when it came from outside the process

  // The record a callback receives; its pointer refers into this message.
  tagIPC_MESSAGE_ITEM View() const {
    tagIPC_MESSAGE_ITEM view = header;
    view.pData = hasPayload && !payload.empty() ? const_cast<uint8_t*>(payload.data()) : nullptr;
    return view;
  }
};

}  // namespace hostipc
