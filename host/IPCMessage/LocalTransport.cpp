#include "IPCMessage/LocalTransport.h"

#include <utility>

namespace hostipc {

namespace {
// Messages a thread takes from one sender before it lets the other senders have a turn.
constexpr size_t kBatchSize = 64;
}  // namespace

LocalTransport::LocalTransport(Sink deliver, unsigned threadCount) : deliver_(std::move(deliver)) {
  if (threadCount == 0) threadCount = 1;
  threads_.reserve(threadCount);
  for (unsigned i = 0; i < threadCount; ++i) threads_.emplace_back([this] { RunDeliveryThread(); });
}

LocalTransport::~LocalTransport() { Shutdown(); }

bool LocalTransport::Send(BusMessage message) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return false;
    const uint64_t sender = message.sender;
    auto [it, isNew] = queues_.try_emplace(sender);
    it->second.pending.push_back(std::move(message));
    if (!isNew) return true;  // a thread has it already, or it waits in ready_
    ready_.push_back(sender);
  }
  wake_.notify_one();
  return true;
}

void LocalTransport::Shutdown() {
  std::lock_guard once(shutdownMutex_);
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& thread : threads_) {
    if (thread.joinable()) thread.join();
  }
  threads_.clear();
  std::lock_guard lock(mutex_);
  queues_.clear();
  ready_.clear();
}

void LocalTransport::RunDeliveryThread() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !ready_.empty(); });
    if (stopping_) return;
    const uint64_t sender = ready_.front();
    ready_.pop_front();
    DeliverBatch(sender, lock);
  }
}

void LocalTransport::DeliverBatch(uint64_t sender, std::unique_lock<std::mutex>& lock) {
  std::deque<BusMessage> batch;
  {
    auto& pending = queues_.at(sender).pending;
    while (!pending.empty() && batch.size() < kBatchSize) {
      batch.push_back(std::move(pending.front()));
      pending.pop_front();
    }
  }
  lock.unlock();
  for (const auto& message : batch) deliver_(message);
  batch.clear();
  lock.lock();
  if (stopping_) return;
  auto it = queues_.find(sender);
  if (it->second.pending.empty()) {
    queues_.erase(it);
  } else {
    ready_.push_back(sender);
    wake_.notify_one();
  }
}

}  // namespace hostipc
