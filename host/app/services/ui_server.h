#pragma once
// UiServer: the host's window in a browser. Serves on 127.0.0.1 only, behind a random token that
// every request must carry (?token=...; 403 without it), to requests that name this server as
// their Host (127.0.0.1:PORT or localhost:PORT) and, for input, come from its own page (Origin);
// every answer forbids referrers and carries a policy that lets the page run its own script only.
// Connections wait at a gate until their request is whole (see ConnectionGate):
//   GET  /               the page, with the window as it is now and the version it is at
//   GET  /events         server-sent events from the version the page has (?from=N, or the
//                        Last-Event-ID of a reconnecting page): only what changed (WindowFrames)
//   GET  /image/H.png    the window's images by the hash of their bytes, to be kept by the browser
//   POST /input          the user's input as JSON, acted out by the UI library's driver on the UI thread:
//                        {"action":"click"|"dblclick"|"enter"|"leave"|"reveal", "id":N}, {"action":"link",
//                        "id":N, "index":I}, {"action":"scroll", "x":X, "y":Y, "dy":D} (a point in the
//                        window, pixels down), {"action":"escape"} (presses the dialog's close box, or
//                        the page's cancel button shown); "reveal" scrolls the control's list to show it
// The window shown is the main window, with the innermost modal window over it while one runs;
// input goes to the modal window then, as a modal loop allows.
//
// Threads: the HTTP threads never touch a control. Input crosses to the UI thread as tasks
// (UIMainQueue); the UI thread renders the windows on a timer and after each input, and publishes
// a version when they changed. The event streams are written by a thread of their own
// (EventStreams), so open streams hold no HTTP worker.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "DuiLib/UIManager.h"
#include "app/services/event_streams.h"
#include "app/services/window_frames.h"
#include "app/services/window_server.h"

namespace app {

class UiServer : public WindowServer {
 public:
  // UI thread. `window` is the main window's paint manager; it outlives the server.
  explicit UiServer(DuiLib::CPaintManagerUI& window, std::string title = "sysdiagnose-host",
                    std::vector<std::u16string> cancelButtons = {});
  ~UiServer() override;
  UiServer(const UiServer&) = delete;
  UiServer& operator=(const UiServer&) = delete;

  bool Start(int port, std::string& error) override;
  void Stop() override;
  std::string Url() const override;

  int Port() const { return port_; }
  const std::string& Token() const { return token_; }
  // The event streams open now.
  size_t StreamCount() const;

  // UI thread: renders the windows now and publishes a version if they changed (the timer calls it).
  void Publish();

 private:
  class GatedServer;
  struct Images;

  void Route();
  // Why a request is refused (one line), or empty.
  std::string Refusal(const std::string& host, const std::string& origin, bool post, const std::string& token) const;
  std::string ImageUrl(const std::string& file, const DuiLib::PngImage& image);

  DuiLib::CPaintManagerUI& window_;
  const std::string title_;
  const std::vector<std::u16string> cancelButtons_;
  std::string token_;
  std::string nonce_;  // of the page's script
  int port_ = 0;
  uint64_t timer_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // input tasks posted before Stop see it go
  WindowFrames frames_;
  std::unique_ptr<EventStreams> streams_;
  std::shared_ptr<Images> images_;
  std::map<std::string, std::string> imageUrls_;  // by file; UI thread
  std::unique_ptr<GatedServer> server_;
  std::thread listener_;
};

// A new random token: 32 hexadecimal digits from the system's random source.
std::string NewToken();

}  // namespace app
