#pragma once
// A slot for one handler that callback threads call while its owner may set, replace or clear it
// on another thread. Set, Clear and Call are guarded by the slot's mutex; a handler runs outside
// it. Clearing (and a registration's release) waits until the calls it concerns have ended, except
// a call on the clearing thread itself, so a handler may drop its own registration.
// The slot's state is shared with the registrations, so a registration may outlive the slot.
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "ipc/handler_registration.h"

namespace zel::sysdiagnose {

template <typename... Args>
class HandlerSlot {
 public:
  using Handler = std::function<void(Args...)>;

  // Installs the handler in place of any other (an empty one empties the slot). Dropping the
  // registration takes it out again.
  [[nodiscard]] HandlerRegistration Set(Handler handler) {
    auto shared = handler ? std::make_shared<const Handler>(std::move(handler)) : nullptr;
    uint64_t id = 0;
    {
      std::lock_guard lock(state_->mutex);
      id = ++state_->lastId;
      std::swap(state_->handler, shared);  // the replaced one is released outside the lock
      state_->handlerId = id;
    }
    std::weak_ptr<State> weak = state_;
    return HandlerRegistration([weak, id] {
      if (auto state = weak.lock()) state->Release(id);
    });
  }

  // Empties the slot, whoever set it, and waits for running calls on other threads.
  void Clear() {
    std::shared_ptr<const Handler> removed;
    std::unique_lock lock(state_->mutex);
    removed.swap(state_->handler);
    state_->handlerId = 0;
    state_->WaitForCalls(lock, [](uint64_t) { return true; });
  }

  // Calls the handler; false when the slot is empty.
  bool Call(Args... args) const {
    std::shared_ptr<const Handler> handler;
    uint64_t id = 0;
    {
      std::lock_guard lock(state_->mutex);
      if (!state_->handler) return false;
      handler = state_->handler;
      id = state_->handlerId;
      state_->running.push_back({std::this_thread::get_id(), id});
    }
    // The handler's last owner may be this copy: it goes before the call stops counting as running.
    struct EndCall {
      State& state;
      uint64_t id;
      std::shared_ptr<const Handler>& handler;
      ~EndCall() {
        handler.reset();
        state.EndCall(id);
      }
    } endCall{*state_, id, handler};
    (*handler)(std::forward<Args>(args)...);
    return true;
  }

  bool IsSet() const {
    std::lock_guard lock(state_->mutex);
    return state_->handler != nullptr;
  }

 private:
  struct RunningCall {
    std::thread::id thread;
    uint64_t handlerId;
  };

  struct State {
    std::mutex mutex;
    std::condition_variable callEnded;
    std::shared_ptr<const Handler> handler;
    uint64_t handlerId = 0;
    uint64_t lastId = 0;
    std::vector<RunningCall> running;

    template <typename Pred>
    void WaitForCalls(std::unique_lock<std::mutex>& lock, Pred concerns) {
      const auto self = std::this_thread::get_id();
      callEnded.wait(lock, [&] {
        return std::none_of(running.begin(), running.end(), [&](const RunningCall& call) {
          return call.thread != self && concerns(call.handlerId);
        });
      });
    }

    // A handler that leaves the slot is released outside the mutex: what it holds (even its own
    // registration) may come back to the slot.
    void Release(uint64_t id) {
      std::shared_ptr<const Handler> removed;
      std::unique_lock lock(mutex);
      if (handlerId == id) {
        removed.swap(handler);
        handlerId = 0;
      }
      WaitForCalls(lock, [id](uint64_t running) { return running == id; });
    }

    void EndCall(uint64_t id) {
      {
        std::lock_guard lock(mutex);
        const auto self = std::this_thread::get_id();
        auto it = std::find_if(running.begin(), running.end(), [&](const RunningCall& call) {
          return call.thread == self && call.handlerId == id;
        });
        if (it != running.end()) running.erase(it);
      }
      callEnded.notify_all();
    }
  };

  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace zel::sysdiagnose
