#include "machine/linux/xkb_filter_keys.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <optional>
#include <regex>

#include "machine/linux/source_places.h"

namespace host::machine::linuxhost {
namespace {

// Xlib's default handlers print and end the process when a display goes away; here the display
// is only asked, so a lost one is a failed answer.
int QuietIoError(Display*) { return 0; }
void KeepRunning(Display*, void*) {}

void PrepareXlib() {
  static std::once_flag once;
  std::call_once(once, [] {
    XInitThreads();
    XSetIOErrorHandler(QuietIoError);
  });
}

using Connection = std::unique_ptr<Display, decltype(&XCloseDisplay)>;

struct Opened {
  Connection display{nullptr, XCloseDisplay};
  std::string why;  // empty when open
};

// ":0", ":1.0", "unix:2": the socket of a local display; nullopt for a display on another host.
std::optional<std::string> LocalSocket(const std::string& name) {
  static const std::regex kLocal(R"(^(unix)?:(\d+)(\.\d+)?$)");
  std::smatch match;
  if (!std::regex_match(name, match, kLocal)) return std::nullopt;
  return "/tmp/.X11-unix/X" + match[2].str();
}

// Xlib is never called without a display of this machine whose server is listening: it would
// fall back to $DISPLAY, or wait on a network connection.
Opened Open(const std::string& name) {
  Opened opened;
  const auto socket = LocalSocket(name);
  if (name.empty()) {
    opened.why = "no X display";
  } else if (!socket) {
    opened.why = "X display " + name + " is not on this machine";
  } else if (access(socket->c_str(), F_OK) != 0) {
    opened.why = "X display " + name + " is not running";
  }
  if (!opened.why.empty()) return opened;
  PrepareXlib();
  int event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion, reason = 0;
  opened.display.reset(XkbOpenDisplay(name.c_str(), &event, &error, &major, &minor, &reason));
  if (!opened.display) {
    opened.why =
        "X display " + name + (reason == XkbOD_NonXkbServer ? " has no keyboard extension" : " cannot be reached");
    return opened;
  }
  XSetIOErrorExitHandler(opened.display.get(), KeepRunning, nullptr);
  return opened;
}

// The enabled controls of the core keyboard; nullopt when the server does not answer.
std::optional<unsigned int> EnabledControls(Display* display) {
  XkbDescPtr keyboard = XkbAllocKeyboard();
  if (keyboard == nullptr) return std::nullopt;
  std::optional<unsigned int> enabled;
  if (XkbGetControls(display, XkbAllControlsMask, keyboard) == Success && keyboard->ctrls != nullptr) {
    enabled = keyboard->ctrls->enabled_ctrls;
  }
  XkbFreeKeyboard(keyboard, 0, True);
  return enabled;
}

}  // namespace

FilterKeysSetting ReadXkbFilterKeys(const SourcePlaces& places) {
  FilterKeysSetting setting;
  const Opened opened = Open(places.display);
  setting.where = opened.why;
  if (!opened.display) return setting;
  const auto enabled = EnabledControls(opened.display.get());
  if (!enabled) {
    setting.where = "X display " + places.display + " does not answer";
    return setting;
  }
  setting.where = "X display " + places.display;
  setting.slowKeys = *enabled & XkbSlowKeysMask;
  setting.bounceKeys = *enabled & XkbBounceKeysMask;
  setting.state = setting.slowKeys || setting.bounceKeys ? FilterKeysSetting::State::On : FilterKeysSetting::State::Off;
  return setting;
}

// Any client of the display may change its controls.
FilterKeysWritable XkbFilterKeysWritable(const SourcePlaces&) { return FilterKeysWritable::Yes; }

bool TurnOffXkbFilterKeys(const SourcePlaces& places, const FilterKeysSetting& on) {
  const Opened opened = Open(places.display);
  if (!opened.display) return false;
  const unsigned int mask = (on.slowKeys ? XkbSlowKeysMask : 0u) | (on.bounceKeys ? XkbBounceKeysMask : 0u);
  const bool sent = XkbChangeEnabledControls(opened.display.get(), XkbUseCoreKbd, mask, 0);
  XSync(opened.display.get(), False);
  return sent;
}

}  // namespace host::machine::linuxhost
