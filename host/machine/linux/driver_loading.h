#pragma once
// Loading the drivers a family's devices on the PCI bus lack: the module each one's modalias names.
#include "machine/linux/device_drivers.h"
#include "machine/linux/kernel_modules.h"

namespace host::machine::linuxhost {

struct SourcePlaces;

// Loads the module each driverless device of the family asks for by its modalias. AlreadyLoaded
// when every device has its driver, Unavailable when the bus has no device of the family; with
// several, the worst device's outcome.
ModuleLoad LoadDriversFor(const SysfsRoot& root, const SourcePlaces& places, DeviceFamily family);

}  // namespace host::machine::linuxhost
