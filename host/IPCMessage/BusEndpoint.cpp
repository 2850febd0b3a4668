#include "IPCMessage/BusEndpoint.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "utility/Logger.h"

namespace hostipc {

namespace {
bool SameClass(uint32_t a, uint32_t b) { return (a >> 16) == (b >> 16); }
}  // namespace

BusEndpoint::BusEndpoint(uint32_t moduleId, uint64_t serial) : moduleId_(moduleId), serial_(serial) {}

template <typename Pred>
void BusEndpoint::WaitForCalls(std::unique_lock<std::mutex>& lock, Pred selects) {
  const auto self = std::this_thread::get_id();
  // A call on this very thread is the caller itself (a callback removing itself): waiting for it
  // would never end.
  callEnded_.wait(lock, [&] {
    return std::none_of(running_.begin(), running_.end(),
                        [&](const RunningCall& call) { return call.thread != self && selects(call); });
  });
}

// Callbacks that leave the table are released outside the mutex: what they hold may call back in.

void BusEndpoint::SetCallback(uint32_t messageId, Callback callback) {
  SharedCallback replaced = std::make_shared<const Callback>(std::move(callback));
  std::lock_guard lock(mutex_);
  std::swap(callbacks_[messageId], replaced);
}

bool BusEndpoint::RemoveCallback(uint32_t messageId) {
  SharedCallback removed;
  std::unique_lock lock(mutex_);
  auto it = callbacks_.find(messageId);
  if (it == callbacks_.end()) return false;
  removed = std::move(it->second);
  callbacks_.erase(it);
  WaitForCalls(lock, [&](const RunningCall& call) { return call.callback == removed.get(); });
  return true;
}

void BusEndpoint::SetSubscriptionCallback(Callback callback) {
  SharedCallback replaced = callback ? std::make_shared<const Callback>(std::move(callback)) : nullptr;
  std::lock_guard lock(mutex_);
  std::swap(subscriptionCallback_, replaced);
}

void BusEndpoint::RemoveAllCallbacks() {
  std::map<uint32_t, SharedCallback> removed;
  SharedCallback removedSubscription;
  std::unique_lock lock(mutex_);
  removed.swap(callbacks_);
  removedSubscription.swap(subscriptionCallback_);
  WaitForCalls(lock, [](const RunningCall&) { return true; });
}

bool BusEndpoint::Subscribe(uint32_t messageClass, uint32_t messageId) {
  std::lock_guard lock(mutex_);
  const Subscription wanted{messageClass & 0xFFFF0000u, messageId};
  if (std::find(subscriptions_.begin(), subscriptions_.end(), wanted) != subscriptions_.end()) return false;
  subscriptions_.push_back(wanted);
  return true;
}

bool BusEndpoint::Unsubscribe(uint32_t messageClass, uint32_t messageId) {
  std::unique_lock lock(mutex_);
  const Subscription gone{messageClass & 0xFFFF0000u, messageId};
  auto it = std::find(subscriptions_.begin(), subscriptions_.end(), gone);
  if (it == subscriptions_.end()) return false;
  subscriptions_.erase(it);
  // Subscription deliveries already under way finish before delivery counts as stopped.
  const Callback* subscription = subscriptionCallback_.get();
  WaitForCalls(lock, [&](const RunningCall& call) { return subscription && call.callback == subscription; });
  return true;
}

void BusEndpoint::Close() {
  std::unique_lock lock(mutex_);
  closed_ = true;
  WaitForCalls(lock, [](const RunningCall&) { return true; });
}

bool BusEndpoint::Matches(uint32_t messageId) const {
  return std::any_of(subscriptions_.begin(), subscriptions_.end(), [&](const Subscription& s) {
    return SameClass(s.messageClass, messageId) && (s.messageId == 0 || s.messageId == messageId);
  });
}

BusEndpoint::SharedCallback BusEndpoint::Select(const BusMessage& message) const {
  const tagIPC_MESSAGE_ITEM& header = message.header;
  if (header.nDstModuleId == moduleId_) {
    auto it = callbacks_.find(header.nMessageId);
    return it == callbacks_.end() ? nullptr : it->second;
  }
  if (message.sender == serial_ || !Matches(header.nMessageId)) return nullptr;
  return subscriptionCallback_;
}

void BusEndpoint::Offer(const BusMessage& message, const tagIPC_MESSAGE_ITEM& view) {
  SharedCallback callback;
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    callback = Select(message);
    if (!callback) return;
    running_.push_back({std::this_thread::get_id(), callback.get()});
  }
  try {
    (*callback)(view);
  } catch (const std::exception& error) {
    // A failing receiver loses its message, not the bus.
    hostlog::Warn(std::string("IPC callback failed: ") + error.what(), "hostipc::BusEndpoint::Offer",
                  "ipc_bus", __LINE__, __PRETTY_FUNCTION__);
  } catch (...) {
    hostlog::Warn("IPC callback failed", "hostipc::BusEndpoint::Offer", "ipc_bus", __LINE__, __PRETTY_FUNCTION__);
  }
  // The callback's last owner may be this copy; it must go while the call still counts as running,
  // so that whatever it holds is gone before an unregistration returns.
  const Callback* ran = callback.get();
  callback.reset();
  {
    std::lock_guard lock(mutex_);
    const auto self = std::this_thread::get_id();
    auto it = std::find_if(running_.begin(), running_.end(), [&](const RunningCall& call) {
      return call.thread == self && call.callback == ran;
    });
    if (it != running_.end()) running_.erase(it);
  }
  callEnded_.notify_all();
}

}  // namespace hostipc
