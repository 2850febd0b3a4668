#pragma once
// SignalWatch: the first Ctrl-C (SIGINT) or SIGHUP (its terminal closed) as an event instead of an
// end. While it lives SIGINT, SIGTERM and SIGHUP are held back from every thread made after it, and
// a thread of its own waits for them and calls `onSignal` (on that thread) for the first one. A
// second one, or a SIGTERM, ends the process at once by that signal (the shell's status 130 or
// 143), whatever it is doing: a command that hangs can always be ended. Make it before any other
// thread.
#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

namespace app {

class SignalWatch {
 public:
  explicit SignalWatch(std::function<void()> onSignal);
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  bool Signalled() const { return signalled_; }

 private:
  sigset_t previous_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> signalled_{false};
  std::thread waiter_;
};

}  // namespace app
