#pragma once
// Test helper: the arguments a handler was called with, and a way to wait for them.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace testipc {

template <typename T>
class RecordedCalls {
 public:
  void Add(T value) {
    {
      std::lock_guard lock(mutex_);
      values_.push_back(std::move(value));
    }
    arrived_.notify_all();
  }
  bool WaitFor(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return values_.size() >= count; });
  }
  std::vector<T> Values() const {
    std::lock_guard lock(mutex_);
    return values_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<T> values_;
};

}  // namespace testipc
