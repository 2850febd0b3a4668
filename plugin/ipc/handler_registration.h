#pragma once
// Owner's side of a handler set in a HandlerSlot. While it lives the handler may be called; when it
// is reset or destroyed the handler is taken out of the slot (unless another has replaced it) and
// any call of it still running on another thread has ended. An owner keeps it as a member declared
// after everything the handler touches, so it goes first.
#include <functional>

namespace zel::sysdiagnose {

class HandlerRegistration {
 public:
  HandlerRegistration() = default;
  explicit HandlerRegistration(std::function<void()> release) : release_(std::move(release)) {}
  ~HandlerRegistration() { Reset(); }
  HandlerRegistration(HandlerRegistration&& other) noexcept;
  HandlerRegistration& operator=(HandlerRegistration&& other) noexcept;
  HandlerRegistration(const HandlerRegistration&) = delete;
  HandlerRegistration& operator=(const HandlerRegistration&) = delete;

  void Reset();
  explicit operator bool() const { return static_cast<bool>(release_); }

 private:
  std::function<void()> release_;
};

}  // namespace zel::sysdiagnose
