#include "app/services/event_streams.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace app {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kHeartbeatLine = ":\n\n";

}  // namespace

EventStreams::EventStreams(const WindowFrames& frames) : frames_(frames) {
  thread_ = std::thread([this] { Run(); });
}

EventStreams::~EventStreams() {
  Stop();
}

void EventStreams::Add(int socket, std::string head, uint64_t since) {
  {
    std::lock_guard guard(lock_);
    if (!stopping_) {
      const auto now = Clock::now();
      incoming_.push_back(Stream{socket, since, std::move(head), now, now});
      ++count_;
      socket = -1;
    }
  }
  if (socket >= 0) {
    ::close(socket);
    return;
  }
  Signal();
}

void EventStreams::Wake() { Signal(); }

size_t EventStreams::Count() const {
  std::lock_guard guard(lock_);
  return count_;
}

void EventStreams::Stop() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
  }
  Signal();
  if (thread_.joinable()) thread_.join();
}

void EventStreams::Signal() { wake_.Wake(); }

void EventStreams::TakeIncoming() {
  std::vector<Stream> incoming;
  {
    std::lock_guard guard(lock_);
    incoming.swap(incoming_);
  }
  for (Stream& stream : incoming) {
    const int flags = ::fcntl(stream.socket, F_GETFL);
    ::fcntl(stream.socket, F_SETFL, flags | O_NONBLOCK);
    streams_.push_back(std::move(stream));
  }
}

void EventStreams::CatchUp(Stream& stream) {
  const uint64_t newest = frames_.Version();
  if (stream.version == newest) return;
  stream.pending += frames_.EventsSince(stream.version);
  stream.version = newest;
}

bool EventStreams::Flush(Stream& stream, Clock::time_point now) {
  while (!stream.pending.empty()) {
    const ssize_t sent = ::send(stream.socket, stream.pending.data(), stream.pending.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    if (sent <= 0) return false;
    stream.pending.erase(0, static_cast<size_t>(sent));
    stream.lastProgress = stream.lastWrite = now;
  }
  if (stream.pending.empty()) {
    stream.lastProgress = now;
    return true;
  }
  return stream.pending.size() <= kMaxPending && now - stream.lastProgress < kStalled;
}

// A page never sends after its request: readable means the peer closed (or reset) the connection.
bool EventStreams::PeerStillThere(const Stream& stream) {
  char buffer[512];
  for (;;) {
    const ssize_t got = ::recv(stream.socket, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got > 0) continue;
    return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
  }
}

void EventStreams::Run() {
  std::vector<pollfd> polled;
  for (;;) {
    {
      std::lock_guard guard(lock_);
      if (stopping_) break;
    }
    TakeIncoming();
    const auto now = Clock::now();
    std::vector<Stream> still;
    for (Stream& stream : streams_) {
      CatchUp(stream);
      if (stream.pending.empty() && now - stream.lastWrite >= kHeartbeat) stream.pending = kHeartbeatLine;
      if (Flush(stream, now)) {
        still.push_back(std::move(stream));
      } else {
        ::close(stream.socket);
      }
    }
    streams_.swap(still);
    {
      std::lock_guard guard(lock_);
      count_ = streams_.size() + incoming_.size();
    }

    polled.assign(1, pollfd{wake_.ReadEnd(), POLLIN, 0});
    for (const Stream& stream : streams_) {
      polled.push_back(pollfd{stream.socket, static_cast<short>(POLLIN | POLLRDHUP | (stream.pending.empty() ? 0 : POLLOUT)), 0});
    }
    ::poll(polled.data(), polled.size(), static_cast<int>(kHeartbeat.count() / 2));
    wake_.Drain();
    still.clear();
    for (size_t i = 0; i < streams_.size(); ++i) {
      const short events = polled[i + 1].revents;
      const bool gone = (events & (POLLERR | POLLHUP | POLLNVAL)) != 0 ||
                        ((events & (POLLIN | POLLRDHUP)) != 0 && !PeerStillThere(streams_[i]));
      if (gone) {
        ::close(streams_[i].socket);
      } else {
        still.push_back(std::move(streams_[i]));
      }
    }
    streams_.swap(still);
  }
  for (const Stream& stream : streams_) ::close(stream.socket);
  streams_.clear();
  std::lock_guard guard(lock_);
  for (const Stream& stream : incoming_) ::close(stream.socket);
  incoming_.clear();
  count_ = 0;
}

}  // namespace app
