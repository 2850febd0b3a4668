#include "machine/linux/rfkill.h"

#include <fcntl.h>
#include <linux/rfkill.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "machine/linux/sysfs_root.h"

namespace host::machine::linuxhost {

std::vector<RadioSwitch> RadioSwitches(const SysfsRoot& root, const std::string& type) {
  std::vector<RadioSwitch> switches;
  for (const std::string& name : root.List("/sys/class/rfkill")) {
    const std::string path = "/sys/class/rfkill/" + name;
    RadioSwitch radio{path, root.Text(Join(path, "type")), root.Text(Join(path, "soft")) == "1",
                      root.Text(Join(path, "hard")) == "1"};
    if (radio.type == type) switches.push_back(std::move(radio));
  }
  return switches;
}

namespace {

// /dev/rfkill is often open to the user at the seat (systemd's uaccess) when sysfs is not.
bool UnblockThroughDevice(const SysfsRoot& root, const std::string& type) {
  const uint8_t kind = type == "wlan" ? RFKILL_TYPE_WLAN : type == "bluetooth" ? RFKILL_TYPE_BLUETOOTH : RFKILL_TYPE_ALL;
  const int fd = open(root.Path("/dev/rfkill").c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  rfkill_event event{};
  event.type = kind;
  event.op = RFKILL_OP_CHANGE_ALL;
  event.soft = 0;
  const bool written = write(fd, &event, RFKILL_EVENT_SIZE_V1) == RFKILL_EVENT_SIZE_V1;
  close(fd);
  return written;
}

}  // namespace

UnblockResult Unblock(const SysfsRoot& root, const std::string& type) {
  bool changed = false, hard = false;
  for (const RadioSwitch& radio : RadioSwitches(root, type)) {
    hard = hard || radio.hardBlocked;
    if (!radio.softBlocked) continue;
    errno = 0;
    std::ofstream soft(root.Path(Join(radio.path, "soft")));
    if (soft) soft << "0\n";
    soft.close();
    if (!soft) {
      const bool denied = errno == EACCES || errno == EPERM || errno == EROFS;
      if (UnblockThroughDevice(root, type)) return hard ? UnblockResult::HardBlocked : UnblockResult::Unblocked;
      return denied ? UnblockResult::NotPermitted : UnblockResult::Failed;
    }
    changed = true;
  }
  if (hard) return UnblockResult::HardBlocked;
  return changed ? UnblockResult::Unblocked : UnblockResult::NothingBlocked;
}

}  // namespace host::machine::linuxhost
