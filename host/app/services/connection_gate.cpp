#include "app/services/connection_gate.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <strings.h>

namespace app {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kBadRequest = "400 Bad Request";
constexpr const char* kTooLarge = "413 Payload Too Large";
constexpr const char* kHeadTooLarge = "431 Request Header Fields Too Large";
constexpr const char* kTimeout = "408 Request Timeout";

// The address a connection comes from; empty when it cannot be read.
std::string ClientOf(int socket) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
  char text[INET6_ADDRSTRLEN] = {};
  const void* raw = &reinterpret_cast<sockaddr_in&>(address).sin_addr;
  if (address.ss_family == AF_INET6) raw = &reinterpret_cast<sockaddr_in6&>(address).sin6_addr;
  return ::inet_ntop(address.ss_family, raw, text, sizeof text) ? text : "";
}

// Answers with `status` and nothing else, as far as the socket takes it at once, and closes.
void Refuse(int socket, const std::string& status) {
  const std::string response = "HTTP/1.1 " + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  [[maybe_unused]] const ssize_t sent = ::send(socket, response.data(), response.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  ::close(socket);
}

// The value of header `name` in `head` (lines after the request line), or nullptr.
const char* HeaderValue(const std::string& head, const char* name, std::string& value) {
  const size_t length = std::char_traits<char>::length(name);
  for (size_t line = head.find('\n'); line != std::string::npos; line = head.find('\n', line + 1)) {
    const size_t start = line + 1;
    if (head.size() - start > length && head[start + length] == ':' &&
        ::strncasecmp(head.data() + start, name, length) == 0) {
      const size_t end = head.find_first_of("\r\n", start);
      value = head.substr(start + length + 1, end == std::string::npos ? std::string::npos : end - start - length - 1);
      value.erase(0, value.find_first_not_of(" \t"));
      return value.c_str();
    }
  }
  return nullptr;
}

}  // namespace

size_t ConnectionGate::RequestLength(const std::string& received, size_t maxRequestBytes, std::string& refusal) {
  size_t headEnd = received.find("\r\n\r\n");
  size_t separator = 4;
  if (const size_t bare = received.find("\n\n"); bare != std::string::npos && bare < headEnd) {
    headEnd = bare;
    separator = 2;
  }
  if (headEnd == std::string::npos) {
    if (received.size() > maxRequestBytes) refusal = kHeadTooLarge;
    return 0;
  }
  const std::string head = received.substr(0, headEnd + separator);
  std::string value;
  // A body in chunks has no length to wait for: the pages never send one.
  if (HeaderValue(head, "Transfer-Encoding", value)) {
    refusal = kBadRequest;
    return 0;
  }
  size_t body = 0;
  if (HeaderValue(head, "Content-Length", value)) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long announced = std::strtoull(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || errno != 0 || value[0] == '-') {
      refusal = kBadRequest;
      return 0;
    }
    if (announced > maxRequestBytes || head.size() + announced > maxRequestBytes) {
      refusal = kTooLarge;
      return 0;
    }
    body = static_cast<size_t>(announced);
  }
  return received.size() >= head.size() + body ? head.size() + body : 0;
}

ConnectionGate::ConnectionGate(Limits limits, Ready ready) : limits_(limits), ready_(std::move(ready)) {
  thread_ = std::thread([this] { Run(); });
}

ConnectionGate::~ConnectionGate() {
  Stop();
}

void ConnectionGate::Admit(int socket) {
  {
    std::lock_guard guard(lock_);
    if (!stopping_) {
      incoming_.push_back(socket);
      socket = -1;
    }
  }
  if (socket >= 0) {
    ::close(socket);
    return;
  }
  wake_.Wake();
}

void ConnectionGate::Stop() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
  }
  wake_.Wake();
  if (thread_.joinable()) thread_.join();
}

void ConnectionGate::TakeIncoming(std::vector<Waiting>& waiting) {
  std::vector<int> incoming;
  {
    std::lock_guard guard(lock_);
    incoming.swap(incoming_);
  }
  for (int socket : incoming) {
    Waiting connection{socket, ClientOf(socket), Clock::now(), {}};
    // The client's oldest waiting connection makes room, then the oldest of all.
    const auto sameClient = [&](const Waiting& w) { return w.client == connection.client; };
    if (static_cast<size_t>(std::count_if(waiting.begin(), waiting.end(), sameClient)) >= limits_.perClient) {
      const auto oldest = std::find_if(waiting.begin(), waiting.end(), sameClient);
      Refuse(oldest->socket, kTimeout);
      waiting.erase(oldest);
    }
    if (waiting.size() >= limits_.total) {
      Refuse(waiting.front().socket, kTimeout);
      waiting.erase(waiting.begin());
    }
    waiting.push_back(std::move(connection));
  }
}

bool ConnectionGate::ReadMore(Waiting& connection) {
  char buffer[4096];
  const ssize_t got = ::recv(connection.socket, buffer, sizeof buffer, MSG_DONTWAIT);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
  if (got <= 0) {  // the client went away before its request was whole
    ::close(connection.socket);
    return false;
  }
  connection.received.append(buffer, static_cast<size_t>(got));
  std::string refusal;
  if (RequestLength(connection.received, limits_.maxRequestBytes, refusal) > 0) {
    ready_(connection.socket, std::move(connection.received));
    return false;
  }
  if (refusal.empty()) return true;
  Refuse(connection.socket, refusal);
  return false;
}

void ConnectionGate::Run() {
  std::vector<Waiting> waiting;
  std::vector<pollfd> polled;
  for (;;) {
    {
      std::lock_guard guard(lock_);
      if (stopping_) break;
    }
    TakeIncoming(waiting);
    // The next deadline bounds the wait.
    const auto now = Clock::now();
    auto wait = std::chrono::milliseconds(1000);
    for (const Waiting& w : waiting) {
      wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(w.since + limits_.deadline - now));
    }
    polled.assign(1, pollfd{wake_.ReadEnd(), POLLIN, 0});
    for (const Waiting& w : waiting) polled.push_back(pollfd{w.socket, POLLIN, 0});
    ::poll(polled.data(), polled.size(), static_cast<int>(std::max<int64_t>(wait.count(), 0)) + 1);
    wake_.Drain();
    std::vector<Waiting> still;
    for (size_t i = 0; i < waiting.size(); ++i) {
      Waiting& connection = waiting[i];
      if (polled[i + 1].revents != 0 && !ReadMore(connection)) continue;
      if (Clock::now() - connection.since >= limits_.deadline) {
        Refuse(connection.socket, kTimeout);
        continue;
      }
      still.push_back(std::move(connection));
    }
    waiting.swap(still);
  }
  for (const Waiting& w : waiting) ::close(w.socket);
  std::lock_guard guard(lock_);
  for (int socket : incoming_) ::close(socket);
  incoming_.clear();
}

}  // namespace app
