#pragma once
// AliveToken: the mark of a UI-thread object whose posted work may run after it is gone. The
// owner holds the token; work handed to other threads carries a Weak copy, and a task posted
// through it runs on the UI thread only while the owner (and so its token) still exists.
#include <functional>
#include <memory>

namespace zel::sysdiagnose {

class AliveToken {
 public:
  // Copyable and safe to use from any thread; it never keeps the owner alive.
  class Weak {
   public:
    // Runs `task` on the UI thread, unless the owner is gone by then.
    void Post(std::function<void()> task) const;

   private:
    friend class AliveToken;
    explicit Weak(std::weak_ptr<const bool> mark) : mark_(std::move(mark)) {}
    std::weak_ptr<const bool> mark_;
  };

  AliveToken() = default;
  // A copy of the owner is another object: it gets a token of its own, never this one.
  AliveToken(const AliveToken&) = delete;
  AliveToken& operator=(const AliveToken&) = delete;

  Weak GetWeak() const { return Weak(mark_); }
  // Runs `task` on the UI thread while the owner lives; call on the owner's thread.
  void Post(std::function<void()> task) const { GetWeak().Post(std::move(task)); }

 private:
  std::shared_ptr<const bool> mark_ = std::make_shared<const bool>(true);
};

}  // namespace zel::sysdiagnose
