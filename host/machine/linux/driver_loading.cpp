#include "machine/linux/driver_loading.h"

#include <algorithm>
#include <iterator>

#include "machine/linux/source_places.h"

namespace host::machine::linuxhost {
namespace {

// The worse of two outcomes of loading, so one device's trouble is not hidden by another's success.
ModuleLoad::Result Worse(ModuleLoad::Result a, ModuleLoad::Result b) {
  using Result = ModuleLoad::Result;
  static constexpr Result kBestFirst[] = {Result::AlreadyLoaded, Result::Loaded,   Result::RecordedKernel,
                                          Result::NotPermitted,  Result::Unavailable, Result::NotFound,
                                          Result::Failed};
  const auto rank = [](Result r) { return std::find(std::begin(kBestFirst), std::end(kBestFirst), r) - std::begin(kBestFirst); };
  return rank(a) >= rank(b) ? a : b;
}

void Append(std::string& list, const std::string& item, const char* separator) {
  if (item.empty()) return;
  list += (list.empty() ? "" : separator) + item;
}

}  // namespace

ModuleLoad LoadDriversFor(const SysfsRoot& root, const SourcePlaces& places, DeviceFamily family) {
  using Result = ModuleLoad::Result;
  std::vector<PciDevice> driverless = PciDevicesOf(root, family);
  if (driverless.empty()) return {Result::Unavailable, "", "no device of the family is on the PCI bus: no driver to load"};
  std::erase_if(driverless, [](const PciDevice& d) { return !d.driver.empty(); });
  if (driverless.empty()) return {Result::AlreadyLoaded, "", "every device of the family has its driver"};
  ModuleLoad all{Result::AlreadyLoaded, "", ""};
  for (const PciDevice& device : driverless) {
    const ModuleLoad one = device.modalias.empty()
                               ? ModuleLoad{Result::NotFound, "", "the device does not say its modalias"}
                               : LoadModule(places, device.modalias);
    all.result = Worse(all.result, one.result);
    if (one.result != Result::NotFound) Append(all.modules, one.modules, ", ");
    Append(all.said, device.Describe() + ": " + one.said, "; ");
  }
  return all;
}

}  // namespace host::machine::linuxhost
