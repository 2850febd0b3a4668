#include "app/ui_server.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <iomanip>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "DuiLib/UIDriver.h"
#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UITreeHtml.h"
#include "DuiLib/UIWindowWnd.h"

namespace app {
namespace {

using namespace std::chrono_literals;

constexpr auto kRenderEvery = 100ms;
constexpr auto kKeepAliveEvery = 10s;  // an event stream says something at least this often

constexpr const char* kPageHead = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>sysdiagnose-host</title><style>
html,body{margin:0;padding:0;background:#FFFFFF;}
body{font-family:"Liberation Sans",Arial,"WenQuanYi Micro Hei",sans-serif;}
#screen{position:relative;display:inline-block;}
.host-modal{position:absolute;left:0;top:0;right:0;bottom:0;background:rgba(0,0,0,0.35);
  display:flex;align-items:center;justify-content:center;}
.host-modal>.dui-window{box-shadow:0 4px 24px rgba(0,0,0,0.4);}
</style></head><body><div id="screen"></div><script>
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

std::string Page(const std::string& token) {
  return std::string(kPageHead) + "const token = '" + token + "';" + kPageScript;
}

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

UiServer::UiServer(DuiLib::CPaintManagerUI& window) : window_(window), token_(NewToken()) {}

UiServer::~UiServer() { Stop(); }

std::string UiServer::Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + token_; }

bool UiServer::Start(int port, std::string& error) {
  server_ = std::make_unique<httplib::Server>();
  server_->set_keep_alive_timeout(1);
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

void UiServer::Route() {
  const std::string token = token_;
  server_->set_pre_routing_handler([token](const httplib::Request& request, httplib::Response& response) {
    if (request.get_param_value("token") == token) return httplib::Server::HandlerResponse::Unhandled;
    response.status = 403;
    response.set_content("a valid token is needed\n", "text/plain");
    return httplib::Server::HandlerResponse::Handled;
  });
  server_->Get("/", [token](const httplib::Request&, httplib::Response& response) {
    response.set_content(Page(token), "text/html; charset=utf-8");
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
