#pragma once
// Reads what the running machine's hardware is from procfs and sysfs: the answers of the
// hardware-information library, and what the checks need to find the devices again.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "machine/machine.h"

namespace host::machine::linuxhost {

class SysfsRoot;

// A disk as the kernel names it, in the order of hardware.disks.
struct BlockDisk {
  std::string name;  // "nvme0n1", "sda"
  std::u16string firmware;
  bool nvme = false;
};

// A physical network interface.
struct NetInterface {
  std::string name;  // "wlp2s0"
  enum class Kind { Wired, Wireless, Mobile } kind = Kind::Wired;
  std::string driver;
};

struct Inventory {
  std::shared_ptr<Profile> facts;  // hardware, host facts and flags; no checks
  std::vector<BlockDisk> disks;
  std::vector<NetInterface> interfaces;
  std::vector<std::string> graphicsDrivers;  // one per graphics card, empty when none is bound
  std::vector<std::string> batteries;        // "/sys/class/power_supply/BAT0", in name order
  std::vector<std::string> limits;           // what could not be read and why
};

Inventory ReadInventory(const SysfsRoot& root);

// Full capacity over design capacity, from the same kind of counter (energy or charge);
// nullopt when the battery does not say both.
std::optional<double> BatteryHealthRatio(const SysfsRoot& root, const std::string& battery);

// The host's language tag from the POSIX locale ("zh_CN.UTF-8" -> "zh-CN"; C and POSIX -> en-US).
std::string LanguageOfLocale(const std::string& locale);

}  // namespace host::machine::linuxhost
