// sysdiagnose-host ui: the host's window in a browser. Loads the plug-in, opens its page in the
// host window and serves the window live on 127.0.0.1 behind a token (see UiServer); the browser's
// clicks, ticks, mouse moves and scrolling are the user's input. Ctrl-C ends it: a run going on
// is cancelled as the user would cancel it, and ends (storing its history row) before the exit.
// With --open the desktop's browser is asked to open the page (xdg-open), as the desktop entry does.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <iostream>
#include <thread>

#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UIWindowWnd.h"
#include "app/commands/command.h"
#include "app/services/plugin_host.h"
#include "app/commands/signal_watch.h"
#include "app/services/stored_runs.h"
#include "app/services/window_server.h"
#include "platform/encoding.h"

namespace app {
namespace {

constexpr const char* kUsage =
    "usage: sysdiagnose-host ui [--machine FILE] [--data-dir DIR] [--port N] [--open] [--verbose]\n"
    "  serves the plug-in's window on 127.0.0.1 (port N, default any free one); open the URL it prints,\n"
    "  or with --open let the desktop's browser open it (xdg-open)";
constexpr const char* kOpener = "xdg-open";
// What Esc presses: a dialog's close box, else the page's Cancel.
constexpr std::u16string_view kDialogClose = u"btnClose";

extern "C" char** environ;

// Asks the desktop to open the page, without waiting: a browser started for it may live on. The
// opener gets a session of its own and the signals unblocked, so the browser neither sees this
// terminal's Ctrl-C nor inherits the mask that SignalWatch sets; its chatter goes nowhere. A
// failure is one line on stderr, and the page is still served at the URL printed.
void OpenInBrowser(const std::string& url) {
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&files, STDOUT_FILENO, STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  char* argv[] = {const_cast<char*>(kOpener), const_cast<char*>(url.c_str()), nullptr};
  const int error = posix_spawnp(&pid, kOpener, &files, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&files);
  if (error != 0) {
    PrintError("ui", std::string("cannot start ") + kOpener + " (" + std::strerror(error) + "); open the URL yourself");
    return;
  }
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      const std::string how = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status)) : "killed";
      PrintError("ui", std::string(kOpener) + " could not open a browser (" + how + "); open the URL yourself");
    }
  }).detach();
}

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
                         .flags = {"--open"},
                         .values = {"--port"},
                         .checkArgs = [&port](const ParsedArgs& a) { return CheckPort(a, port); }};
  if (auto status = BeginCommand(shape, args, parsed)) return *status;

  SignalWatch signals(EndTheLoop);
  PluginHost* loaded = LoadTheHost(shape.name);
  if (loaded == nullptr) return kExitFailure;
  PluginHost& host = *loaded;
  const WindowServer::Setup setup{.window = &host.Window(),
                                  .title = platform::Utf16ToUtf8(host.PluginTitle()),
                                  .cancelButtons = {std::u16string(kDialogClose), std::u16string(PluginHost::kScanCancel),
                                                    std::u16string(PluginHost::kDetectCancel)}};
  std::string error;
  std::unique_ptr<WindowServer> server = LoadWindowServer(setup, error);
  if (!server || !server->Start(port, error)) {
    PrintError(shape.name, error);
    return kExitFailure;
  }
  std::cout << server->Url() << std::endl;
  if (parsed.Has("--open")) OpenInBrowser(server->Url());
  UIMessageLoop::Instance().Run();
  server->Stop();
  host.EndRunningWork();
  if (const std::string lost = LostRunError(); !lost.empty()) {
    PrintError(shape.name, lost);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

REGISTER_COMMAND("ui", "serve the plug-in's window to a browser on 127.0.0.1 (--port, --open)", RunUi);

}  // namespace app
