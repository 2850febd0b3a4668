#include "app/ui_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "DuiLib/UIDriver.h"
#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UITreeHtml.h"
#include "DuiLib/UIWindowWnd.h"
#include "app/connection_gate.h"

namespace app {
namespace {

using namespace std::chrono_literals;

constexpr auto kRenderEvery = 100ms;
constexpr auto kKeepAliveEvery = 10s;  // an event stream says something at least this often

// A browser sends its request at once and small; connections that trickle theirs wait at the
// gate, never in a worker. Every request gets its own connection.
constexpr ConnectionGate::Limits kGate{.deadline = 5s, .maxRequestBytes = 16384, .perClient = 32, .total = 256};
constexpr size_t kWorkers = 16;  // requests answered at once; a browser opens six per host
constexpr time_t kReadTimeoutSeconds = 2;
constexpr time_t kWriteTimeoutSeconds = 5;

constexpr const char* kPageHead = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>sysdiagnose-host</title><style>
html,body{margin:0;padding:0;background:#FFFFFF;}
body{font-family:"Liberation Sans",Arial,"WenQuanYi Micro Hei",sans-serif;}
#screen{position:relative;display:inline-block;}
.host-modal{position:absolute;left:0;top:0;right:0;bottom:0;background:rgba(0,0,0,0.35);
  display:flex;align-items:center;justify-content:center;}
.host-modal>.dui-window{box-shadow:0 4px 24px rgba(0,0,0,0.4);}
</style></head><body><div id="screen"></div><script nonce="%NONCE%">
)";

// The page's half of the input road: the browser's events become driver input by data-id.
constexpr const char* kPageScript = R"(
const screen = document.getElementById('screen');
function send(input) {
  fetch('/input?token=' + token, {method: 'POST', headers: {'Content-Type': 'application/json'},
                                  body: JSON.stringify(input)});
}
function boxOf(element) { return element && element.closest ? element.closest('[data-id]') : null; }
function idOf(box) { return Number(box.dataset.id); }
screen.addEventListener('click', e => {
  e.preventDefault();
  const box = boxOf(e.target);
  if (!box) return;
  const link = e.target.closest('[data-link]');
  if (link) send({action: 'link', id: idOf(box), index: Number(link.dataset.link)});
  else send({action: 'click', id: idOf(box)});
});
screen.addEventListener('dblclick', e => {
  const box = boxOf(e.target);
  if (box) send({action: 'dblclick', id: idOf(box)});
});
screen.addEventListener('mouseover', e => {
  const box = boxOf(e.target);
  if (box && box !== boxOf(e.relatedTarget)) send({action: 'enter', id: idOf(box)});
});
screen.addEventListener('mouseout', e => {
  const box = boxOf(e.target);
  if (box && box !== boxOf(e.relatedTarget)) send({action: 'leave', id: idOf(box)});
});
screen.addEventListener('wheel', e => {
  const windows = screen.querySelectorAll('.dui-window');
  const window_ = windows[windows.length - 1];
  const at = window_.getBoundingClientRect();
  e.preventDefault();
  send({action: 'scroll', x: Math.round(e.clientX - at.left), y: Math.round(e.clientY - at.top),
        dy: Math.round(e.deltaY)});
}, {passive: false});
const events = new EventSource('/events?token=' + token);
events.onmessage = e => {
  screen.innerHTML = e.data;
  document.body.dataset.version = e.lastEventId;
};
</script></body></html>
)";

std::string Page(const std::string& token, const std::string& nonce) {
  std::string head = kPageHead;
  head.replace(head.find("%NONCE%"), 7, nonce);
  return head + "const token = '" + token + "';" + kPageScript;
}

// What a page from here may do: its own script, the window's inline styles and images, requests
// back to this server, and nothing else (no other origin, no frame around it, no form).
std::string ContentPolicy(const std::string& nonce) {
  return "default-src 'none'; script-src 'nonce-" + nonce +
         "'; style-src 'unsafe-inline'; img-src data:; connect-src 'self'; base-uri 'none'; form-action 'none'; "
         "frame-ancestors 'none'";
}

// The endpoint of a connection as text and port: its peer's or its own.
void EndpointOf(int socket, bool peer, std::string& ip, int& port) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  ip.clear();
  port = 0;
  const int rc = peer ? ::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length)
                      : ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
  if (rc != 0) return;
  char text[INET6_ADDRSTRLEN] = {};
  const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
  const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
  const bool six = address.ss_family == AF_INET6;
  if (::inet_ntop(address.ss_family, six ? static_cast<const void*>(&v6.sin6_addr) : &v4.sin_addr, text, sizeof text)) {
    ip = text;
  }
  port = ntohs(six ? v6.sin6_port : v4.sin_port);
}

// A connection that came through the gate: what the gate read of it first, then the socket, each
// read and write waiting at most its timeout.
class GatedStream : public httplib::Stream {
 public:
  GatedStream(int socket, std::string received) : socket_(socket), received_(std::move(received)) {}

  bool is_readable() const override { return offset_ < received_.size() || Ready(POLLIN, kReadTimeoutSeconds); }
  bool is_writable() const override { return Ready(POLLOUT, kWriteTimeoutSeconds); }
  ssize_t read(char* ptr, size_t size) override {
    if (offset_ < received_.size()) {
      const size_t n = std::min(size, received_.size() - offset_);
      std::memcpy(ptr, received_.data() + offset_, n);
      offset_ += n;
      return static_cast<ssize_t>(n);
    }
    if (!Ready(POLLIN, kReadTimeoutSeconds)) return -1;
    ssize_t n;
    while ((n = ::recv(socket_, ptr, size, 0)) < 0 && errno == EINTR) {
    }
    return n;
  }
  ssize_t write(const char* ptr, size_t size) override {
    if (!Ready(POLLOUT, kWriteTimeoutSeconds)) return -1;
    ssize_t n;
    while ((n = ::send(socket_, ptr, size, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
    }
    return n;
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override { EndpointOf(socket_, true, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { EndpointOf(socket_, false, ip, port); }
  socket_t socket() const override { return socket_; }

 private:
  bool Ready(short events, time_t seconds) const {
    pollfd polled{socket_, events, 0};
    int rc;
    while ((rc = ::poll(&polled, 1, static_cast<int>(seconds * 1000))) < 0 && errno == EINTR) {
    }
    return rc > 0 && (polled.revents & (events | POLLHUP)) != 0 && (polled.revents & POLLNVAL) == 0;
  }

  int socket_;
  std::string received_;
  size_t offset_ = 0;
};

}  // namespace

// The HTTP server behind the gate: its accepting thread hands every connection to the gate, and a
// pool of workers answers each request that arrived whole, one request per connection.
class UiServer::GatedServer : public httplib::Server {
 public:
  GatedServer() : gate_(kGate, [this](int socket, std::string received) { Hand(socket, std::move(received)); }) {
    new_task_queue = [] { return new httplib::ThreadPool(1); };  // only hands connections to the gate
  }
  ~GatedServer() override { Close(); }

  // After the accepting thread ended: closes what waits at the gate, and waits for the answers
  // being given (an event stream ends once the server stops).
  void Close() {
    gate_.Stop();
    if (!workersStopped_) workers_.shutdown();
    workersStopped_ = true;
  }

 private:
  bool process_and_close_socket(socket_t socket) override {
    gate_.Admit(socket);
    return true;
  }

  void Hand(int socket, std::string received) {
    workers_.enqueue([this, socket, received = std::move(received)]() mutable {
      GatedStream stream(socket, std::move(received));
      bool closed = false;
      process_request(stream, /*close_connection=*/true, closed, nullptr);
      ::shutdown(socket, SHUT_RDWR);
      ::close(socket);
    });
  }

  ConnectionGate gate_;
  httplib::ThreadPool workers_{kWorkers};
  bool workersStopped_ = false;
};

namespace {

// One server-sent event: every line of the text on a data line of its own.
std::string Event(const std::string& html, uint64_t version) {
  std::string event = "id: " + std::to_string(version) + "\n";
  std::istringstream lines(html);
  for (std::string line; std::getline(lines, line);) event += "data: " + line + "\n";
  return event + "\n";
}

std::string RenderWindows(DuiLib::CPaintManagerUI& main) {
  std::string html = DuiLib::RenderHtmlBody(main);
  DuiLib::CWindowWnd* modal = DuiLib::CWindowWnd::TopModalWindow();
  if (modal != nullptr && modal->GetPaintManager() != nullptr) {
    html += "<div class=\"host-modal\">" + DuiLib::RenderHtmlBody(*modal->GetPaintManager()) + "</div>";
  }
  return html;
}

// The window that takes input now: the innermost modal one while one runs.
DuiLib::CPaintManagerUI& InputWindow(DuiLib::CPaintManagerUI& main) {
  DuiLib::CWindowWnd* modal = DuiLib::CWindowWnd::TopModalWindow();
  return modal != nullptr && modal->GetPaintManager() != nullptr ? *modal->GetPaintManager() : main;
}

struct Input {
  std::string action;
  uint64_t id = 0;
  int index = 0;
  int x = 0;
  int y = 0;
  int dy = 0;
};

// Empty text when the body is a well-formed input, else what is wrong with it.
std::string ParseInput(const std::string& body, Input& input) {
  const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
  if (!json.is_object() || !json.contains("action") || !json["action"].is_string()) return "no action";
  input.action = json["action"];
  const auto number = [&json](const char* key, auto& into) {
    if (!json.contains(key)) return true;
    if (!json[key].is_number_integer()) return false;
    into = json[key].get<std::remove_reference_t<decltype(into)>>();
    return true;
  };
  if (!number("id", input.id) || !number("index", input.index) || !number("x", input.x) || !number("y", input.y) ||
      !number("dy", input.dy)) {
    return "a number is not a whole number";
  }
  static const char* const kActions[] = {"click", "dblclick", "enter", "leave", "link", "scroll"};
  for (const char* known : kActions) {
    if (input.action == known) return {};
  }
  return "unknown action '" + input.action + "'";
}

void ActOut(DuiLib::CPaintManagerUI& window, const Input& input) {
  DuiLib::UIDriver driver(window);
  DuiLib::CControlUI* control = input.action == "scroll" ? window.FindControl(POINT{input.x, input.y})
                                                         : driver.FindById(input.id);
  if (control == nullptr) return;
  if (input.action == "click") {
    driver.Click(control);
  } else if (input.action == "dblclick") {
    driver.DoubleClick(control);
  } else if (input.action == "enter") {
    driver.MouseEnter(control);
  } else if (input.action == "leave") {
    driver.MouseLeave(control);
  } else if (input.action == "link") {
    driver.FollowLink(control, input.index);
  } else if (input.action == "scroll") {
    driver.Scroll(control, input.dy);
  }
}

}  // namespace

std::string NewToken() {
  std::random_device source;
  std::ostringstream token;
  for (int i = 0; i < 4; ++i) token << std::hex << std::setw(8) << std::setfill('0') << source();
  return token.str();
}

UiServer::UiServer(DuiLib::CPaintManagerUI& window) : window_(window), token_(NewToken()), nonce_(NewToken()) {}

UiServer::~UiServer() { Stop(); }

std::string UiServer::Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + token_; }

bool UiServer::Start(int port, std::string& error) {
  server_ = std::make_unique<GatedServer>();
  server_->set_read_timeout(kReadTimeoutSeconds);
  server_->set_write_timeout(kWriteTimeoutSeconds);
  server_->set_payload_max_length(kGate.maxRequestBytes);
  server_->set_default_headers({{"Referrer-Policy", "no-referrer"},
                                {"Content-Security-Policy", ContentPolicy(nonce_)},
                                {"X-Content-Type-Options", "nosniff"}});
  Route();
  port_ = port == 0 ? server_->bind_to_any_port("127.0.0.1") : (server_->bind_to_port("127.0.0.1", port) ? port : -1);
  if (port_ <= 0) {
    error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
    server_.reset();
    port_ = 0;
    return false;
  }
  Publish();
  timer_ = UIMessageLoop::Instance().SetTimer(kRenderEvery, [this] { Publish(); });
  auto ended = std::make_shared<std::atomic<bool>>(false);
  listener_ = std::thread([server = server_.get(), ended] {
    server->listen_after_bind();
    *ended = true;
  });
  // The server's stop() does nothing until its loop runs: wait for it, so an early Stop is not lost.
  while (!server_->is_running() && !*ended) std::this_thread::yield();
  return true;
}

void UiServer::Stop() {
  if (timer_ != 0) UIMessageLoop::Instance().KillTimer(timer_);
  timer_ = 0;
  {
    std::lock_guard lock(published_->mutex);
    published_->stopping = true;
  }
  published_->changed.notify_all();
  if (server_) server_->stop();
  if (listener_.joinable()) listener_.join();
  if (server_) server_->Close();
  server_.reset();
}

void UiServer::Publish() {
  std::string html = RenderWindows(window_);
  {
    std::lock_guard lock(published_->mutex);
    if (html == published_->html) return;
    published_->html = std::move(html);
    ++published_->version;
  }
  published_->changed.notify_all();
}

std::string UiServer::Refusal(const std::string& host, const std::string& origin, bool post,
                               const std::string& token) const {
  // Only the names this server is reached by: a page of another site whose name is made to point
  // here (DNS rebinding) sends its own.
  const std::string port = ":" + std::to_string(port_);
  if (host != "127.0.0.1" + port && host != "localhost" + port) return "unknown host\n";
  // Input comes only from the page itself, never from another site's form or script.
  if (post && origin != "http://127.0.0.1" + port && origin != "http://localhost" + port) {
    return "input from another origin is refused\n";
  }
  return token == token_ ? std::string() : "a valid token is needed\n";
}

void UiServer::Route() {
  server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    const std::string refusal = Refusal(request.get_header_value("Host"), request.get_header_value("Origin"),
                                        request.method == "POST", request.get_param_value("token"));
    if (refusal.empty()) return httplib::Server::HandlerResponse::Unhandled;
    response.status = 403;
    response.set_content(refusal, "text/plain");
    return httplib::Server::HandlerResponse::Handled;
  });
  server_->Get("/", [token = token_, nonce = nonce_](const httplib::Request&, httplib::Response& response) {
    response.set_content(Page(token, nonce), "text/html; charset=utf-8");
  });
  server_->Get("/events", [published = published_](const httplib::Request&, httplib::Response& response) {
    response.set_header("Cache-Control", "no-cache");
    auto sent = std::make_shared<uint64_t>(0);
    response.set_chunked_content_provider("text/event-stream", [published, sent](size_t, httplib::DataSink& sink) {
      std::unique_lock lock(published->mutex);
      published->changed.wait_for(lock, kKeepAliveEvery,
                                  [&] { return published->stopping || published->version != *sent; });
      if (published->stopping) return false;
      if (published->version == *sent) {
        lock.unlock();
        return sink.write(": still here\n\n", 15);
      }
      const std::string event = Event(published->html, published->version);
      *sent = published->version;
      lock.unlock();
      return sink.write(event.data(), event.size());
    });
  });
  server_->Post("/input", [this](const httplib::Request& request, httplib::Response& response) {
    Input input;
    if (const std::string error = ParseInput(request.body, input); !error.empty()) {
      response.status = 400;
      response.set_content(error + "\n", "text/plain");
      return;
    }
    // The input may open a modal window, whose loop runs inside this task: answer now.
    UIMainQueue::getInstance().dispatch([this, input, alive = std::weak_ptr<Published>(published_)] {
      if (alive.expired()) return;
      ActOut(InputWindow(window_), input);
      Publish();
    });
    response.status = 202;
  });
}

}  // namespace app
