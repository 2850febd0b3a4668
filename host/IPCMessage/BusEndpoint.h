#pragma once
// One client's presence on the bus: its module id, callback table and subscriptions.
// Calls into it come from the client's thread and from the delivery threads; it is guarded by
// its own mutex. Every removal waits until no removed callback is still running on another
// thread, so an owner that has removed its callbacks can go away safely.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "IPCMessage/BusMessage.h"

namespace hostipc {

class BusEndpoint {
 public:
  using Callback = std::function<void(const tagIPC_MESSAGE_ITEM&)>;

  BusEndpoint(uint32_t moduleId, uint64_t serial);
  BusEndpoint(const BusEndpoint&) = delete;
  BusEndpoint& operator=(const BusEndpoint&) = delete;

  uint32_t ModuleId() const { return moduleId_; }
  uint64_t Serial() const { return serial_; }

  // Replaces the callback of the id; a call of the replaced one may still be running.
  void SetCallback(uint32_t messageId, Callback callback);
  // False when the id had no callback.
  bool RemoveCallback(uint32_t messageId);
  void SetSubscriptionCallback(Callback callback);
  // Removes every callback, the subscription callback included.
  void RemoveAllCallbacks();

  // `messageClass` names the class by its high 16 bits; `messageId` 0 takes every message of the
  // class, any other value only that message. False when the subscription exists already.
  bool Subscribe(uint32_t messageClass, uint32_t messageId);
  // False when there was no such subscription.
  bool Unsubscribe(uint32_t messageClass, uint32_t messageId);

  // Takes the endpoint off the bus: no delivery starts after this and none is running on another
  // thread when it returns.
  void Close();

  // Delivery: a message addressed to this module goes to the callback of its id; any other
  // message goes to the subscription callback when it matches a subscription and this endpoint
  // did not post it itself. Runs the callback on the calling (delivery) thread.
  void Offer(const BusMessage& message, const tagIPC_MESSAGE_ITEM& view);

 private:
  struct Subscription {
    uint32_t messageClass;
    uint32_t messageId;
    bool operator==(const Subscription&) const = default;
  };
  struct RunningCall {
    std::thread::id thread;
    const Callback* callback;
  };
  using SharedCallback = std::shared_ptr<const Callback>;

  SharedCallback Select(const BusMessage& message) const;  // under mutex_
  bool Matches(uint32_t messageId) const;                    // under mutex_
  // Waits until no call that `selects` is running on another thread.
  template <typename Pred>
  void WaitForCalls(std::unique_lock<std::mutex>& lock, Pred selects);

  const uint32_t moduleId_;
  const uint64_t serial_;
  mutable std::mutex mutex_;
  std::condition_variable callEnded_;
  bool closed_ = false;
  std::map<uint32_t, SharedCallback> callbacks_;
  SharedCallback subscriptionCallback_;
  std::vector<Subscription> subscriptions_;
  std::vector<RunningCall> running_;
};

}  // namespace hostipc
