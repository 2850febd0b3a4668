#include "hardware/hardware_objects.h"

namespace zel::sysdiagnose {

HardwareObjects& GetHardwareObjects() {
  // Deliberately never destroyed: detached scan and model-name threads, which nobody joins, may
  // still be asking it at process exit. The objects hold nothing that needs releasing.
  static HardwareObjects* const instance = new HardwareObjects();
  return *instance;
}

}  // namespace zel::sysdiagnose
