#include "app/services/ui_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
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
#include "DuiLib/UIContainer.h"
#include "DuiLib/UIWindowWnd.h"
#include "app/services/connection_gate.h"
#include "platform/encoding.h"

namespace app {
namespace {

using namespace std::chrono_literals;

constexpr auto kRenderEvery = 100ms;

// A browser sends its request at once and small; connections that trickle theirs wait at the
// gate, never in a worker. Every request gets its own connection.
constexpr ConnectionGate::Limits kGate{.deadline = 5s, .maxRequestBytes = 16384, .perClient = 32, .total = 256};
constexpr size_t kWorkers = 16;  // requests answered at once; a browser opens six per host
constexpr time_t kReadTimeoutSeconds = 2;
constexpr time_t kWriteTimeoutSeconds = 5;

// The page: the window centred in the browser's viewport and scaled to fit it, in a frame.
constexpr const char* kPageHead = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>%TITLE%</title><style>
html,body{margin:0;padding:0;width:100%;height:100%;overflow:hidden;background:#E6E9EE;}
body{font-family:"Liberation Sans",Arial,"WenQuanYi Micro Hei",sans-serif;}
#screen{position:absolute;left:0;top:0;transform-origin:0 0;}
#screen>.dui-window{box-shadow:0 0 0 1px rgba(31,35,41,0.30),0 10px 36px rgba(31,35,41,0.22);}
.host-modal{position:absolute;left:0;top:0;right:0;bottom:0;background:rgba(0,0,0,0.35);
  display:flex;align-items:center;justify-content:center;}
.host-modal>.dui-window{box-shadow:0 4px 24px rgba(0,0,0,0.4);}
)";

// The page's half of the window: events from the server change the screen where it changed; the
// browser's mouse and keys become driver input by data-id.
constexpr const char* kPageScript = R"(
const screen = document.getElementById('screen');
const margin = 12;
let scale = 1;
function mainWindow() { return screen.querySelector(':scope > .dui-window'); }
function fit() {
  const main = mainWindow();
  if (!main) return;
  const w = main.offsetWidth, h = main.offsetHeight;
  scale = Math.max(0.1, Math.min((innerWidth - 2 * margin) / w, (innerHeight - 2 * margin) / h));
  screen.style.transform = 'translate(' + Math.round((innerWidth - w * scale) / 2) + 'px,' +
                           Math.round((innerHeight - h * scale) / 2) + 'px) scale(' + scale + ')';
}
addEventListener('resize', fit);

function send(input) {
  fetch('/input?token=' + token, {method: 'POST', headers: {'Content-Type': 'application/json'},
                                  body: JSON.stringify(input)});
}
function boxOf(element) { return element && element.closest ? element.closest('[data-id]') : null; }
function idOf(box) { return Number(box.dataset.id); }
function press(box, link) {
  if (link !== null) send({action: 'link', id: idOf(box), index: link});
  else send({action: 'click', id: idOf(box)});
}
function linkOf(target) {
  const link = target.closest('[data-link]');
  return link ? Number(link.dataset.link) : null;
}
// A press and its release on the same box are a click, told by the box's id: a change that
// replaces the box's image or text between them (its hover look arriving) would make the
// browser drop its own click event.
let pressed = null;
screen.addEventListener('pointerdown', e => {
  const box = e.button === 0 ? boxOf(e.target) : null;
  pressed = box ? {id: box.dataset.id, link: linkOf(e.target)} : null;
});
screen.addEventListener('pointerup', e => {
  const down = pressed;
  pressed = null;
  const box = e.button === 0 ? boxOf(e.target) : null;
  if (down && box && box.dataset.id === down.id) press(box, down.link);
});
screen.addEventListener('pointercancel', () => { pressed = null; });
screen.addEventListener('click', e => {
  e.preventDefault();
  // A click without the pointer (an assistive tool's) presses the box it names.
  const box = e.detail === 0 ? boxOf(e.target) : null;
  if (box) press(box, linkOf(e.target));
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
  const at = windows[windows.length - 1].getBoundingClientRect();
  e.preventDefault();
  send({action: 'scroll', x: Math.round((e.clientX - at.left) / scale), y: Math.round((e.clientY - at.top) / scale),
        dy: Math.round(e.deltaY)});
}, {passive: false});
// Keys: Tab moves the focus (the boxes that take the pointer take it), Enter and Space press what
// has it (a list item: Enter opens it), Esc closes the dialog or cancels.
document.addEventListener('keydown', e => {
  if (e.key === 'Escape') {
    e.preventDefault();
    send({action: 'escape'});
    return;
  }
  if (e.key !== 'Enter' && e.key !== ' ') return;
  const target = document.activeElement;
  const box = target && screen.contains(target) ? boxOf(target) : null;
  if (!box) return;
  e.preventDefault();
  const link = linkOf(target);
  if (link === null && e.key === 'Enter' && 'item' in box.dataset) send({action: 'dblclick', id: idOf(box)});
  else press(box, link);
});
// A box that takes the focus out of its list's view: the list scrolls to it as the window's lists
// do, not the browser, whose scrolling of a clipping box (or of the page) is taken back: it would
// shift the box under the window's own positions.
function inView(box) {
  const r = box.getBoundingClientRect();
  for (let p = box.parentElement; p && p !== screen; p = p.parentElement) {
    const q = p.getBoundingClientRect();
    if (r.top < q.top - 1 || r.bottom > q.bottom + 1) return false;
  }
  return true;
}
function unscroll(box) {
  if (box.scrollTop || box.scrollLeft) box.scrollTop = box.scrollLeft = 0;
}
document.addEventListener('scroll', e => unscroll(e.target === document ? document.scrollingElement : e.target), true);
// A box that just took the focus is revealed once, also when a change that was on its way moves
// it out of view (keys run ahead of the screen).
let focused = null;
function reveal() {
  if (!focused || focused.asked || performance.now() > focused.until || !focused.box.isConnected) return;
  if (inView(focused.box)) return;
  focused.asked = true;
  send({action: 'reveal', id: idOf(focused.box)});
}
screen.addEventListener('focusin', e => {
  for (let p = e.target.parentElement; p; p = p.parentElement) unscroll(p);
  const box = boxOf(e.target);
  focused = box ? {box, asked: false, until: performance.now() + 1000} : null;
  reveal();
});

const isBox = node => node.nodeType === 1 && (node.hasAttribute('data-id') || node.hasAttribute('data-key'));
function element(key) {
  if (key === '') return screen;
  return screen.querySelector(/^[0-9]+$/.test(key) ? '[data-id="' + key + '"]' : '[data-key="' + key + '"]');
}
function parse(html) {
  const t = document.createElement('template');
  t.innerHTML = html;
  return t.content.firstElementChild;
}
// A box's attributes and own content (images, text) anew; its children boxes stay as they are.
function setHead(el, head) {
  const fresh = parse(head + '</div>');
  for (const a of [...el.attributes]) if (!fresh.hasAttribute(a.name)) el.removeAttribute(a.name);
  for (const a of fresh.attributes) if (el.getAttribute(a.name) !== a.value) el.setAttribute(a.name, a.value);
  const own = [...el.childNodes].filter(n => !isBox(n));
  if (own.map(n => n.outerHTML ?? n.textContent).join('') === fresh.innerHTML) return;
  const first = [...el.childNodes].find(isBox) || null;
  own.forEach(n => n.remove());
  for (const n of [...fresh.childNodes]) el.insertBefore(n, first);
}
function order(parent, keys) {
  let previous = null;
  for (const key of keys) {
    const el = element(key);
    if (!el || el.parentElement !== parent) continue;
    const want = previous ? previous.nextElementSibling : [...parent.children].find(isBox) || null;
    if (el !== want) parent.insertBefore(el, want);
    previous = el;
  }
}
let events = null;
let focusBeforeDialog = null;
function afterChange() {
  document.body.dataset.version = version;
  fit();
  reveal();
  const dialog = screen.querySelector('.host-modal');
  const main = mainWindow();
  if (main) main.inert = !!dialog;
  if (dialog && !dialog.contains(document.activeElement)) {
    const active = boxOf(document.activeElement);
    if (active) focusBeforeDialog = active.dataset.id;
    const first = [...dialog.querySelectorAll('[tabindex],a[data-link]')].find(e => e.checkVisibility());
    if (first) first.focus({preventScroll: true});
  } else if (!dialog && focusBeforeDialog !== null) {
    const before = element(focusBeforeDialog);
    focusBeforeDialog = null;
    if (before && before.checkVisibility()) before.focus({preventScroll: true});
  }
}
function apply(data) {
  const event = JSON.parse(data);
  if ('whole' in event) {
    screen.innerHTML = event.whole;
  } else if (event.from !== version) {
    version = 0;  // out of step: start again from the whole window
    connect();
    return;
  } else {
    for (const op of event.ops) {
      if (op[0] === 'r') {
        element(op[1])?.remove();
      } else if (op[0] === 's') {
        const el = element(op[1]);
        if (el) setHead(el, op[2]);
      } else if (op[0] === 'a') {
        element(op[1])?.remove();
        element(op[2])?.appendChild(parse(op[3]));
      } else if (op[0] === 'o') {
        const parent = element(op[1]);
        if (parent) order(parent, op[2]);
      }
    }
  }
  version = event.v;
  afterChange();
}
function connect() {
  if (events) events.close();
  events = new EventSource('/events?token=' + token + '&from=' + version);
  events.onmessage = e => apply(e.data);
  // The browser retries a dropped stream by itself, but gives up on a refused one (a busy
  // server): ask again, from the last change this page has.
  events.onerror = () => { if (events.readyState === EventSource.CLOSED) setTimeout(connect, 1000); };
}
afterChange();
connect();
</script></body></html>
)";

std::string Page(const std::string& title, const std::string& token, const std::string& nonce, const std::string& whole,
                 uint64_t version) {
  std::string head = kPageHead;
  head.replace(head.find("%TITLE%"), 7, DuiLib::EscapeHtml(title));
  return head + std::string(DuiLib::HtmlStyleSheet()) + "</style></head><body><div id=\"screen\">" + whole +
         "</div><script nonce=\"" + nonce + "\">\nconst token = '" + token + "';\nlet version = " +
         std::to_string(version) + ";" + kPageScript;
}

// What a page from here may do: its own script, the window's inline styles, images and requests
// from this server, and nothing else (no other origin, no frame around it, no form).
std::string ContentPolicy(const std::string& nonce) {
  return "default-src 'none'; script-src 'nonce-" + nonce +
         "'; style-src 'unsafe-inline'; img-src 'self'; connect-src 'self'; base-uri 'none'; form-action 'none'; "
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
// read and write waiting at most its timeout. A handler may take the connection over (an event
// stream): nothing is written to it from here on, and it stays open.
class GatedStream : public httplib::Stream {
 public:
  GatedStream(int socket, std::string received) : socket_(socket), received_(std::move(received)) {}

  bool is_readable() const override { return offset_ < received_.size() || Ready(POLLIN, kReadTimeoutSeconds); }
  bool is_writable() const override { return !takenOver_ && Ready(POLLOUT, kWriteTimeoutSeconds); }
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
    if (takenOver_ || !Ready(POLLOUT, kWriteTimeoutSeconds)) return -1;
    ssize_t n;
    while ((n = ::send(socket_, ptr, size, MSG_NOSIGNAL)) < 0 && errno == EINTR) {
    }
    return n;
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override { EndpointOf(socket_, true, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { EndpointOf(socket_, false, ip, port); }
  socket_t socket() const override { return socket_; }

  // The socket, from now on the caller's.
  int TakeOver() {
    takenOver_ = true;
    return socket_;
  }
  bool TakenOver() const { return takenOver_; }

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
  bool takenOver_ = false;
};

// The connection a worker answers now, for a handler that takes it over.
thread_local GatedStream* tAnswering = nullptr;

}  // namespace

// The HTTP server behind the gate: its accepting thread hands every connection to the gate, and a
// pool of workers answers each request that arrived whole, one request per connection. Event
// streams leave the pool once their request is answered (EventStreams writes them).
class UiServer::GatedServer : public httplib::Server {
 public:
  GatedServer() : gate_(kGate, [this](int socket, std::string received) { Hand(socket, std::move(received)); }) {
    new_task_queue = [] { return new httplib::ThreadPool(1); };  // only hands connections to the gate
  }
  ~GatedServer() override { Close(); }

  // After binding: the library listens with a backlog of 5, so that a burst of connections (many
  // pages, or a test's hundred) waits for seconds of SYN retries; the kernel's limit instead.
  void WidenBacklog() { ::listen(svr_sock_, SOMAXCONN); }

  // After the accepting thread ended: closes what waits at the gate, and waits for the answers
  // being given.
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
      tAnswering = &stream;
      process_request(stream, /*close_connection=*/true, closed, nullptr);
      tAnswering = nullptr;
      if (stream.TakenOver()) return;
      ::shutdown(socket, SHUT_RDWR);
      ::close(socket);
    });
  }

  ConnectionGate gate_;
  httplib::ThreadPool workers_{kWorkers};
  bool workersStopped_ = false;
};

// The images the pages were given, by the hash in their URL; the HTTP threads serve them.
struct UiServer::Images {
  std::mutex lock;
  std::map<std::string, std::shared_ptr<const DuiLib::PngImage>> byHash;
};

namespace {

// 64-bit FNV-1a of the bytes, in hexadecimal: the name of an image that never changes.
std::string HashOf(const std::string& bytes) {
  uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ULL;
  std::ostringstream text;
  text << std::hex << std::setw(16) << std::setfill('0') << hash;
  return text.str();
}

// The main window, with the innermost modal window over it while one runs.
DuiLib::HtmlTree RenderWindows(DuiLib::CPaintManagerUI& main, const DuiLib::HtmlImageUrl& imageUrl) {
  DuiLib::HtmlTree screen;
  DuiLib::RenderHtmlTree(main, screen, DuiLib::HtmlTree::npos, imageUrl);
  DuiLib::CWindowWnd* modal = DuiLib::CWindowWnd::TopModalWindow();
  if (modal != nullptr && modal->GetPaintManager() != nullptr) {
    const size_t overlay = screen.Add(DuiLib::HtmlTree::npos, "modal", "<div class=\"host-modal\" data-key=\"modal\">");
    DuiLib::RenderHtmlTree(*modal->GetPaintManager(), screen, overlay, imageUrl);
  }
  return screen;
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
  static const char* const kActions[] = {"click", "dblclick", "enter", "leave", "link", "scroll", "reveal", "escape"};
  for (const char* known : kActions) {
    if (input.action == known) return {};
  }
  return "unknown action '" + input.action + "'";
}

// How far the control's scrolling ancestor moves to show it: with the whole item of that list
// it stands in when the item fits, else the control (its top, when it is taller than the view).
int ScrollToShow(DuiLib::CControlUI* control) {
  DuiLib::CControlUI* item = control;
  for (DuiLib::CControlUI* c = control->GetParent(); c != nullptr; item = c, c = c->GetParent()) {
    auto* box = dynamic_cast<DuiLib::CContainerUI*>(c);
    if (box == nullptr || !box->IsScrollEnabled()) continue;
    const RECT view = box->GetPos();
    RECT shown = item->GetPos();
    if (shown.bottom - shown.top > view.bottom - view.top) shown = control->GetPos();
    if (shown.top < view.top) return shown.top - view.top;
    if (shown.bottom > view.bottom) return std::min(shown.bottom - view.bottom, shown.top - view.top);
    return 0;
  }
  return 0;
}

// Esc: the first cancel button the window that takes input shows (a dialog's close box, a page's
// Cancel) is pressed, so the window's own handler runs; a dialog without one closes as cancelled.
void Escape(DuiLib::CPaintManagerUI& main, const std::vector<std::u16string>& cancelButtons) {
  DuiLib::UIDriver driver(InputWindow(main));
  for (const std::u16string& name : cancelButtons) {
    if (DuiLib::CControlUI* button = driver.Find(name); button && driver.IsReachable(button)) {
      driver.Click(button);
      return;
    }
  }
  if (DuiLib::CWindowWnd* modal = DuiLib::CWindowWnd::TopModalWindow()) modal->Close(IDCANCEL);
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
  } else if (input.action == "reveal") {
    if (const int dy = ScrollToShow(control); dy != 0) driver.Scroll(control, dy);
  }
}

// The head of an event stream's answer: as every answer's, and then the events.
std::string StreamHead(const std::string& nonce) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-cache\r\n"
         "Referrer-Policy: no-referrer\r\nContent-Security-Policy: " +
         ContentPolicy(nonce) + "\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\nretry: 1000\n\n";
}

uint64_t VersionOf(const std::string& text) {
  uint64_t version = 0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), version);
  return problem == std::errc() && end == text.data() + text.size() ? version : 0;
}

}  // namespace

std::string NewToken() {
  std::random_device source;
  std::ostringstream token;
  for (int i = 0; i < 4; ++i) token << std::hex << std::setw(8) << std::setfill('0') << source();
  return token.str();
}

UiServer::UiServer(DuiLib::CPaintManagerUI& window, std::string title, std::vector<std::u16string> cancelButtons)
    : window_(window),
      title_(std::move(title)),
      cancelButtons_(std::move(cancelButtons)),
      token_(NewToken()),
      nonce_(NewToken()),
      images_(std::make_shared<Images>()) {}

UiServer::~UiServer() { Stop(); }

std::string UiServer::Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + token_; }

size_t UiServer::StreamCount() const { return streams_ ? streams_->Count() : 0; }

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
  server_->WidenBacklog();
  streams_ = std::make_unique<EventStreams>(frames_);
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
  *alive_ = false;
  if (server_) server_->stop();
  if (listener_.joinable()) listener_.join();
  if (server_) server_->Close();
  server_.reset();
  if (streams_) streams_->Stop();
}

std::string UiServer::ImageUrl(const std::string& file, const DuiLib::PngImage& image) {
  auto known = imageUrls_.find(file);
  if (known == imageUrls_.end()) {
    const std::string hash = HashOf(image.bytes);
    {
      std::lock_guard lock(images_->lock);
      images_->byHash.emplace(hash, DuiLib::LoadPngImage(file));
    }
    known = imageUrls_.emplace(file, "/image/" + hash + ".png?token=" + token_).first;
  }
  return known->second;
}

void UiServer::Publish() {
  if (!*alive_) return;
  DuiLib::HtmlTree screen =
      RenderWindows(window_, [this](const std::string& file, const DuiLib::PngImage& image) { return ImageUrl(file, image); });
  if (frames_.Publish(std::move(screen)) && streams_) streams_->Wake();
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
  server_->Get("/", [this](const httplib::Request&, httplib::Response& response) {
    uint64_t version = 0;
    const std::shared_ptr<const std::string> whole = frames_.Whole(version);
    response.set_header("Cache-Control", "no-store");
    response.set_content(Page(title_, token_, nonce_, *whole, version), "text/html; charset=utf-8");
  });
  server_->Get("/events", [this](const httplib::Request& request, httplib::Response& response) {
    GatedStream* connection = tAnswering;
    if (connection == nullptr || !streams_) {
      response.status = 503;
      return;
    }
    // A reconnecting page names the last version it got; a new one the version it was given.
    const std::string since = request.has_header("Last-Event-ID") ? request.get_header_value("Last-Event-ID")
                                                                   : request.get_param_value("from");
    streams_->Add(connection->TakeOver(), StreamHead(nonce_), VersionOf(since));
  });
  server_->Get(R"(/image/([0-9a-f]{16})\.png)", [images = images_](const httplib::Request& request, httplib::Response& response) {
    const std::string hash = request.matches[1];
    std::shared_ptr<const DuiLib::PngImage> image;
    {
      std::lock_guard lock(images->lock);
      const auto it = images->byHash.find(hash);
      if (it != images->byHash.end()) image = it->second;
    }
    if (!image) {
      response.status = 404;
      return;
    }
    // Named by its bytes, an image never changes: the browser keeps it.
    const std::string tag = "\"" + hash + "\"";
    response.set_header("Cache-Control", "private, max-age=31536000, immutable");
    response.set_header("ETag", tag);
    if (request.get_header_value("If-None-Match") == tag) {
      response.status = 304;
      return;
    }
    response.set_content(image->bytes, "image/png");
  });
  server_->Post("/input", [this](const httplib::Request& request, httplib::Response& response) {
    Input input;
    if (const std::string error = ParseInput(request.body, input); !error.empty()) {
      response.status = 400;
      response.set_content(error + "\n", "text/plain");
      return;
    }
    // The input may open a modal window, whose loop runs inside this task: answer now.
    UIMainQueue::getInstance().dispatch([this, input, alive = std::weak_ptr<bool>(alive_)] {
      const auto still = alive.lock();
      if (!still || !*still) return;
      if (input.action == "escape") {
        Escape(window_, cancelButtons_);
      } else {
        ActOut(InputWindow(window_), input);
      }
      Publish();
    });
    response.status = 202;
  });
}

}  // namespace app

// The module's entry point (see WindowServer).
extern "C" __attribute__((visibility("default"))) app::WindowServer* sysdiagnose_new_window_server(
    const app::WindowServer::Setup& setup) {
  return new app::UiServer(*setup.window, setup.title, setup.cancelButtons);
}
