#pragma once
// The in-process transport: a queue per sender and a few delivery threads. A sender's messages are
// delivered one after another in the order it posted them; different senders' messages may be
// delivered side by side on different threads.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "IPCMessage/MessageTransport.h"

namespace hostipc {

class LocalTransport final : public IMessageTransport {
 public:
  using Sink = std::function<void(const BusMessage&)>;

  // `deliver` runs on the transport's threads, one message at a time per sender.
  explicit LocalTransport(Sink deliver, unsigned threadCount = 2);
  ~LocalTransport() override;
  LocalTransport(const LocalTransport&) = delete;
  LocalTransport& operator=(const LocalTransport&) = delete;

  bool Send(BusMessage message) override;
  void Shutdown() override;

 private:
  struct SenderQueue {
    std::deque<BusMessage> pending;
  };

  void RunDeliveryThread();
  void DeliverBatch(uint64_t sender, std::unique_lock<std::mutex>& lock);

  Sink deliver_;
  std::mutex shutdownMutex_;  // one Shutdown at a time
  std::mutex mutex_;
  std::condition_variable wake_;
  // A sender is in `queues_` while it has messages queued or being delivered, and in `ready_`
  // while it waits for a thread; so at most one thread works on a sender at a time.
  std::unordered_map<uint64_t, SenderQueue> queues_;
  std::deque<uint64_t> ready_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace hostipc
