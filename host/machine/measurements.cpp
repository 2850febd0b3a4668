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
  const std::string battery = linuxhost::ReadInventory(root).battery;
  if (battery.empty()) return measured;
  measured.batteryHealthRatio = linuxhost::BatteryHealthRatio(root, battery);
  if (const auto microvolts = root.Number(linuxhost::Join(battery, "voltage_now"))) {
    measured.batteryVolts = static_cast<double>(*microvolts) / 1e6;
  }
  return measured;
}

}  // namespace host::machine
