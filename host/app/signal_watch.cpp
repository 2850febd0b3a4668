#include "app/signal_watch.h"

#include <pthread.h>

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

}  // namespace

SignalWatch::SignalWatch(std::function<void()> onSignal) {
  const sigset_t watched = Watched();
  pthread_sigmask(SIG_BLOCK, &watched, &previous_);
  waiter_ = std::thread([this, onSignal = std::move(onSignal), watched] {
    const timespec poll{0, 200'000'000};
    while (!stop_) {
      if (sigtimedwait(&watched, nullptr, &poll) > 0) {
        signalled_ = true;
        onSignal();
        return;
      }
    }
  });
}

SignalWatch::~SignalWatch() {
  stop_ = true;
  waiter_.join();
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace app
