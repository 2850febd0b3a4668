#pragma once
// Test helpers: recorders that keep what a callback received and let a test wait for it.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <thread>
#include <vector>

#include "IPCMessage/IPCMessageClient.h"

namespace testipc {

template <typename T>
class RecordedCalls {
 public:
  // Notifies under the lock: a waiter may destroy the recorder as soon as it has seen the value.
  void Add(T value) {
    std::lock_guard lock(mutex_);
    values_.push_back(std::move(value));
    arrived_.notify_all();
  }
  // True when at least `count` values have arrived within the time.
  bool WaitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20)) {
    return WaitUntil([count](const std::vector<T>& values) { return values.size() >= count; }, timeout);
  }
  // True when `holds` (given the values so far) holds within the time.
  template <class Predicate>
  bool WaitUntil(Predicate holds, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return holds(values_); });
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    values_.clear();
  }
  std::vector<T> Values() const {
    std::lock_guard lock(mutex_);
    return values_;
  }
  size_t Count() const {
    std::lock_guard lock(mutex_);
    return values_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<T> values_;
};

struct ReceivedMessage {
  tagIPC_MESSAGE_ITEM header{};  // pData cleared: the payload is copied below
  std::vector<uint8_t> payload;
  std::thread::id thread;
};

class Inbox : public RecordedCalls<ReceivedMessage> {
 public:
  CIPCMessageClient::MessageCallback Callback() {
    return [this](const tagIPC_MESSAGE_ITEM& message) {
      ReceivedMessage copy{message, {}, std::this_thread::get_id()};
      copy.header.pData = nullptr;
      if (message.pData) copy.payload.assign(message.pData, message.pData + message.nDataLen);
      Add(std::move(copy));
    };
  }
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

// Little-endian 32-bit words, as the payloads carry them.
inline std::vector<uint8_t> Le32(std::initializer_list<uint32_t> values) {
  std::vector<uint8_t> bytes;
  for (uint32_t v : values) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(v >> shift));
  }
  return bytes;
}

}  // namespace testipc
