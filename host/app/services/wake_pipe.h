#pragma once
// A pipe that a thread's poll loop watches beside its sockets, so that other threads can wake it.

#include <fcntl.h>
#include <unistd.h>

class WakePipe {
 public:
  WakePipe() {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) fds_[0] = fds_[1] = -1;
  }
  ~WakePipe() {
    for (int fd : fds_) {
      if (fd >= 0) ::close(fd);
    }
  }
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;

  // The end to poll for POLLIN.
  int ReadEnd() const { return fds_[0]; }
  // Any thread.
  void Wake() const { [[maybe_unused]] const ssize_t woken = ::write(fds_[1], "x", 1); }
  // The polling thread, after its poll: so that the next poll waits again.
  void Drain() const {
    char drained[64];
    while (::read(fds_[0], drained, sizeof drained) > 0) {
    }
  }

 private:
  int fds_[2] = {-1, -1};
};
