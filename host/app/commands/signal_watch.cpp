#include "app/commands/signal_watch.h"

#include <pthread.h>

#include <cstdlib>
#include <ctime>

namespace app {
namespace {

sigset_t Watched() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

// Ends the process by `signal`, as if it had never been watched.
[[noreturn]] void EndBy(int signal) {
  std::signal(signal, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  std::raise(signal);
  std::_Exit(128 + signal);  // not reached: the default action of both ends the process
}

}  // namespace

SignalWatch::SignalWatch(std::function<void()> onSignal) {
  const sigset_t watched = Watched();
  pthread_sigmask(SIG_BLOCK, &watched, &previous_);
  waiter_ = std::thread([this, onSignal = std::move(onSignal), watched] {
    const timespec poll{0, 200'000'000};
    while (!stop_) {
      const int signal = sigtimedwait(&watched, nullptr, &poll);
      if (signal <= 0) continue;
      if (signal == SIGTERM || signalled_) EndBy(signal);
      signalled_ = true;
      onSignal();
    }
  });
}

SignalWatch::~SignalWatch() {
  stop_ = true;
  waiter_.join();
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace app
