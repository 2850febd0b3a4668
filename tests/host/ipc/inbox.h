#pragma once
// Test helper: a bus callback that keeps copies of what it receives and lets a test wait for them.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "IPCMessage/IPCMessageClient.h"

namespace testipc {

struct ReceivedMessage {
  tagIPC_MESSAGE_ITEM header{};  // pData cleared: the payload is copied below
  std::vector<uint8_t> payload;
  bool hadPointer = false;
  std::thread::id thread;
};

class Inbox {
 public:
  CIPCMessageClient::MessageCallback Callback() {
    return [this](const tagIPC_MESSAGE_ITEM& message) { Add(message); };
  }

  void Add(const tagIPC_MESSAGE_ITEM& message) {
    ReceivedMessage copy;
    copy.header = message;
    copy.header.pData = nullptr;
    copy.hadPointer = message.pData != nullptr;
    if (message.pData) copy.payload.assign(message.pData, message.pData + message.nDataLen);
    copy.thread = std::this_thread::get_id();
    {
      std::lock_guard lock(mutex_);
      messages_.push_back(std::move(copy));
    }
    arrived_.notify_all();
  }

  // True when at least `count` messages have arrived within the time.
  bool WaitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return messages_.size() >= count; });
  }

  std::vector<ReceivedMessage> Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }

  size_t Count() const {
    std::lock_guard lock(mutex_);
    return messages_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<ReceivedMessage> messages_;
};

inline tagIPC_MESSAGE_ITEM Message(uint32_t destination, uint32_t messageId, std::vector<uint8_t>* payload = nullptr) {
  tagIPC_MESSAGE_ITEM message{};
  message.nDstModuleId = destination;
  message.nSrcModuleId = 0xFFFFFFFF;
  message.nMessageId = messageId;
  message.nReplyMessageId = 0xFFFFFFFF;
  message.nReserved1 = 0xFFFFFFFF;
  if (payload) {
    message.nDataLen = static_cast<uint32_t>(payload->size());
    message.pData = payload->data();
  }
  return message;
}

}  // namespace testipc
