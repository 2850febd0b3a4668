#pragma once
// UiServer: the host's window in a browser. Serves on 127.0.0.1 only, behind a random token that
// every request must carry (?token=...; 403 without it), to requests that name this server as
// their Host (127.0.0.1:PORT or localhost:PORT) and, for input, come from its own page (Origin);
// every answer forbids referrers and carries a policy that lets the page run its own script only.
// Connections wait at a gate until their request is whole (see ConnectionGate):
//   GET  /        the page: the window's HTML, kept live from /events
//   GET  /events  server-sent events, one "data" event with the window's HTML per change
//   POST /input   the user's input as JSON, acted out by the UI library's driver on the UI thread:
//                 {"action":"click"|"dblclick"|"enter"|"leave", "id":N}, {"action":"link",
//                 "id":N, "index":I}, {"action":"scroll", "x":X, "y":Y, "dy":D} (a point in the
//                 window, pixels down)
// The window shown is the main window, with the innermost modal window over it while one runs;
// input goes to the modal window then, as a modal loop allows.
//
// Threads: the HTTP threads never touch a control. Input crosses to the UI thread as tasks
// (UIMainQueue); the UI thread renders the windows on a timer and publishes the HTML when it
// changed, and the event streams wait for a newer publication.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "DuiLib/UIManager.h"

namespace app {

class UiServer {
 public:
  // UI thread. `window` is the main window's paint manager; it outlives the server.
  explicit UiServer(DuiLib::CPaintManagerUI& window);
  ~UiServer();
  UiServer(const UiServer&) = delete;
  UiServer& operator=(const UiServer&) = delete;

  // Binds 127.0.0.1:port (0: a free port), starts serving and the UI thread's rendering timer.
  // False, with the reason in `error`, when the port cannot be had.
  bool Start(int port, std::string& error);
  // Ends the event streams and the HTTP threads; no input is taken after it returns. UI thread.
  void Stop();

  int Port() const { return port_; }
  const std::string& Token() const { return token_; }
  // http://127.0.0.1:PORT/?token=TOKEN
  std::string Url() const;

  // UI thread: renders the windows now and publishes the HTML if it changed (the timer calls it).
  void Publish();

 private:
  struct Published {
    std::mutex mutex;
    std::condition_variable changed;
    std::string html;
    uint64_t version = 0;
    bool stopping = false;
  };

  class GatedServer;

  void Route();
  // Why a request is refused (one line), or empty.
  std::string Refusal(const std::string& host, const std::string& origin, bool post, const std::string& token) const;

  DuiLib::CPaintManagerUI& window_;
  std::string token_;
  std::string nonce_;  // of the page's script
  int port_ = 0;
  uint64_t timer_ = 0;
  std::shared_ptr<Published> published_ = std::make_shared<Published>();
  std::unique_ptr<GatedServer> server_;
  std::thread listener_;
};

// A new random token: 32 hexadecimal digits from the system's random source.
std::string NewToken();

}  // namespace app
