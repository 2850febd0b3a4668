#pragma once
// WindowServer: the host's window served to a browser, as the `ui` command sees it. The server and
// the HTTP stack under it (cpp-httplib, and with it OpenSSL and brotli) live in a module of their
// own, sysdiagnose_ui_server.so, that only `ui` loads: no other command pays for them at start-up.
// The module's one entry point makes a server (see UiServer).
#include <memory>
#include <string>
#include <vector>

#include "DuiLib/UIManager.h"

namespace app {

class WindowServer {
 public:
  struct Setup {
    DuiLib::CPaintManagerUI* window = nullptr;  // the main window; it outlives the server
    std::string title;                          // of the page, UTF-8
    // What Esc presses: the first of them the user can reach in the window that takes input (a
    // dialog without any closes as cancelled).
    std::vector<std::u16string> cancelButtons;
  };

  virtual ~WindowServer() = default;
  // Binds 127.0.0.1:port (0: a free port) and starts serving; false, with the reason in `error`,
  // when the port cannot be had. UI thread.
  virtual bool Start(int port, std::string& error) = 0;
  // Ends the streams and the HTTP threads; no input is taken after it returns. UI thread.
  virtual void Stop() = 0;
  // http://127.0.0.1:PORT/?token=TOKEN
  virtual std::string Url() const = 0;
};

inline constexpr const char* kWindowServerModule = "sysdiagnose_ui_server.so";
inline constexpr const char* kWindowServerEntry = "sysdiagnose_new_window_server";
using NewWindowServer = WindowServer* (*)(const WindowServer::Setup& setup);

// Loads the module (found as the host's libraries are) and makes a server; null, with one line in
// `error`, when the module or its entry point cannot be had. The module stays loaded.
std::unique_ptr<WindowServer> LoadWindowServer(const WindowServer::Setup& setup, std::string& error);

}  // namespace app
