#include "machine/measurements.h"

#include "machine/linux/hardware_reader.h"
#include "machine/linux/linux_checks.h"
#include "machine/linux/sysfs_root.h"
#include "machine/machine.h"

namespace host::machine {

Measurements MeasureMachine() {
  const auto running = Machine::Instance().Running();
  if (!running) return {};
  Measurements measured;
  measured.memoryTestBytes = running->memoryTestBytes;
  const linuxhost::SysfsRoot root(running->root);
  // With two batteries the worn one is what an alert is about: the lowest ratio, and its voltage.
  std::string worst;
  for (const std::string& battery : linuxhost::ReadInventory(root).batteries) {
    const auto ratio = linuxhost::BatteryHealthRatio(root, battery);
    if (worst.empty() || (ratio && (!measured.batteryHealthRatio || *ratio < *measured.batteryHealthRatio))) {
      worst = battery;
      measured.batteryHealthRatio = ratio;
    }
  }
  if (worst.empty()) return measured;
  if (const auto microvolts = root.Number(linuxhost::Join(worst, "voltage_now"))) {
    measured.batteryVolts = static_cast<double>(*microvolts) / 1e6;
  }
  return measured;
}

}  // namespace host::machine
