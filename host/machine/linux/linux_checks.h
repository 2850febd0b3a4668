#pragma once
// The fault-detection library's checks on the running machine, one table: each check path with
// what it looks at, and the function that looks.
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "machine/linux/hardware_reader.h"
#include "machine/linux/memory_test.h"
#include "machine/machine.h"

namespace host::machine::linuxhost {

class SysfsRoot;

struct CheckContext {
  const SysfsRoot& root;
  const Inventory& inventory;
  size_t memoryTestBytes;
  const BetweenWriteAndVerify& memoryHook;
};

struct LinuxCheck {
  std::string_view path;     // under "checks"
  std::string_view meaning;  // what passing means here
  CheckResult (*run)(const CheckContext& context);
};

std::span<const LinuxCheck> LinuxChecks();
const LinuxCheck* FindLinuxCheck(std::string_view path);

// Full capacity over design capacity, from the same kind of counter (energy or charge);
// nullopt when the battery does not say both.
std::optional<double> BatteryHealthRatio(const SysfsRoot& root, const std::string& battery);
// Below this share of its design capacity a battery counts as worn.
inline constexpr double kWornBattery = 0.6;
// A Wi-Fi signal below this level (dBm) is weak.
inline constexpr int32_t kWeakSignalDbm = -80;

}  // namespace host::machine::linuxhost
