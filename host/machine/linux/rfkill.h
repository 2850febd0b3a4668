#pragma once
// The kernel's radio switches (/sys/class/rfkill): whether Wi-Fi or Bluetooth is switched off,
// and switching it back on where the user may.
#include <string>
#include <vector>

namespace host::machine::linuxhost {

class SysfsRoot;

struct RadioSwitch {
  std::string path;  // "/sys/class/rfkill/rfkill0"
  std::string type;  // "wlan", "bluetooth", ...
  bool softBlocked = false, hardBlocked = false;
};

std::vector<RadioSwitch> RadioSwitches(const SysfsRoot& root, const std::string& type);

enum class UnblockResult { Unblocked, NothingBlocked, HardBlocked, NotPermitted, Failed };

// Clears the soft block of every switch of the type; a hardware switch stays as it is.
UnblockResult Unblock(const SysfsRoot& root, const std::string& type);

}  // namespace host::machine::linuxhost
