#pragma once
// EventStreams: the pages' event streams (server-sent events), all written by one thread of its
// own, so that open streams hold no HTTP worker however many there are. A stream is a connection
// taken over after its request was answered with the response head; from then on it gets the
// window's versions (WindowFrames) as they are published, each stream from the version it has.
//
// A stream is dropped, and its connection closed, when its page goes (the peer closes or resets
// the connection), when it takes nothing for kStalled while data waits for it, or when more than
// kMaxPending bytes wait. Every kHeartbeat a stream with nothing to say gets a comment line, so a
// connection that died without a word is found by the write that fails.
//
// Add, Wake, Count and Stop may be called from any thread.
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/services/wake_pipe.h"
#include "app/services/window_frames.h"

namespace app {

class EventStreams {
 public:
  static constexpr std::chrono::milliseconds kHeartbeat{2000};
  static constexpr std::chrono::milliseconds kStalled{6000};
  static constexpr size_t kMaxPending = 8 << 20;

  explicit EventStreams(const WindowFrames& frames);
  ~EventStreams();
  EventStreams(const EventStreams&) = delete;
  EventStreams& operator=(const EventStreams&) = delete;

  // Takes the connection over: `head` (the HTTP response head) goes first, then the versions
  // after `since`. After Stop the connection is closed at once.
  void Add(int socket, std::string head, uint64_t since);
  // A new version is published.
  void Wake();
  // The streams open now.
  size_t Count() const;
  // Closes every stream and ends the thread.
  void Stop();

 private:
  struct Stream {
    int socket;
    uint64_t version;
    std::string pending;
    std::chrono::steady_clock::time_point lastProgress;
    std::chrono::steady_clock::time_point lastWrite;
  };

  void Run();
  void TakeIncoming();
  void CatchUp(Stream& stream);
  // False when the stream is to be dropped.
  bool Flush(Stream& stream, std::chrono::steady_clock::time_point now);
  bool PeerStillThere(const Stream& stream);
  void Signal();

  const WindowFrames& frames_;
  WakePipe wake_;  // interrupts the poll
  std::thread thread_;
  std::vector<Stream> streams_;  // the thread's

  mutable std::mutex lock_;
  std::vector<Stream> incoming_;  // under lock_
  size_t count_ = 0;              // under lock_
  bool stopping_ = false;         // under lock_
};

}  // namespace app
