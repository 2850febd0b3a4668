#include "machine/linux/source_places.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "machine/linux/sysfs_root.h"

namespace host::machine::linuxhost {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// $HOME may be unset under service managers; the password database still knows.
std::string HomeOfUser() {
  if (std::string home = Environment("HOME"); !home.empty()) return home;
  if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_dir != nullptr) return entry->pw_dir;
  return {};
}

std::string SessionBusOfUser() {
  if (std::string address = Environment("DBUS_SESSION_BUS_ADDRESS"); !address.empty()) return address;
  const std::string runtime = Environment("XDG_RUNTIME_DIR");
  std::error_code ec;
  if (!runtime.empty() && std::filesystem::exists(runtime + "/bus", ec)) return "unix:path=" + runtime + "/bus";
  return {};
}

}  // namespace

SourcePlaces SourcePlaces::For(const SysfsRoot& root) {
  SourcePlaces places;
  if (root.root().empty()) {
    places.systemBus = Environment("DBUS_SYSTEM_BUS_ADDRESS");
    if (places.systemBus.empty()) places.systemBus = "unix:path=/run/dbus/system_bus_socket";
    places.sessionBus = SessionBusOfUser();
    places.home = HomeOfUser();
    places.display = Environment("DISPLAY");
    return places;
  }
  places.running = false;
  places.alsaConfig = root.Path("/etc/asound.conf");
  places.modulesDirectory = root.Path("/lib/modules/" + root.Text("/proc/sys/kernel/osrelease"));
  places.systemBus = "unix:path=" + root.Path("/run/dbus/system_bus_socket");
  places.sessionBus = "unix:path=" + root.Path("/run/user/1000/bus");
  places.home = root.Path("/home/user");
  return places;
}

}  // namespace host::machine::linuxhost
