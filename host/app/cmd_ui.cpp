// sysdiagnose-host ui: the host's window in a browser. Loads the plug-in, opens its page in the
// host window and serves the window live on 127.0.0.1 behind a token (see UiServer); the browser's
// clicks, ticks, mouse moves and scrolling are the user's input. Ctrl-C ends it: a run going on
// is cancelled as the user would cancel it, and ends (storing its history row) before the exit.
#include <charconv>
#include <iostream>

#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UIWindowWnd.h"
#include "app/command.h"
#include "app/plugin_host.h"
#include "app/signal_watch.h"
#include "app/stored_runs.h"
#include "app/ui_server.h"

namespace app {
namespace {

constexpr const char* kUsage =
    "usage: sysdiagnose-host ui [--machine FILE] [--data-dir DIR] [--port N] [--verbose]\n"
    "  serves the plug-in's window on 127.0.0.1 (port N, default any free one); open the URL it prints";

std::string CheckPort(const ParsedArgs& args, int& port) {
  port = 0;
  const auto it = args.values.find("--port");
  if (it == args.values.end()) return {};
  const std::string& text = it->second;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), port);
  if (problem != std::errc() || end != text.data() + text.size() || port < 0 || port > 65535) {
    return "--port needs a number from 0 to 65535";
  }
  return {};
}

// From the signal's thread: closes a modal window the way its close box would, then ends the loop
// once the modal loop has returned.
void EndTheLoop() {
  UIMainQueue::getInstance().dispatch([] {
    for (DuiLib::CWindowWnd* modal = DuiLib::CWindowWnd::TopModalWindow(); modal != nullptr;
         modal = DuiLib::CWindowWnd::TopModalWindow()) {
      modal->Close(IDCANCEL);
      if (DuiLib::CWindowWnd::TopModalWindow() == modal) break;  // closes when its loop returns
    }
    UIMainQueue::getInstance().dispatch([] { UIMessageLoop::Instance().Quit(); });
  });
}

int RunUi(const std::vector<std::string>& args) {
  int port = 0;
  ParsedArgs parsed;
  const CommandShape shape{.name = "ui",
                         .usage = kUsage,
                         .values = {"--port"},
                         .checkArgs = [&port](const ParsedArgs& a) { return CheckPort(a, port); }};
  if (auto status = BeginCommand(shape, args, parsed)) return *status;

  SignalWatch signals(EndTheLoop);
  PluginHost* loaded = LoadTheHost(shape.name);
  if (loaded == nullptr) return kExitFailure;
  PluginHost& host = *loaded;
  UiServer server(host.Window());
  std::string error;
  if (!server.Start(port, error)) {
    PrintError(shape.name, error);
    return kExitFailure;
  }
  std::cout << server.Url() << std::endl;
  UIMessageLoop::Instance().Run();
  server.Stop();
  host.EndRunningWork();
  if (const std::string lost = LostRunError(); !lost.empty()) {
    PrintError(shape.name, lost);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

REGISTER_COMMAND("ui", "serve the plug-in's window to a browser on 127.0.0.1 (--port)", RunUi);

}  // namespace app
