#pragma once
// Capabilities of the machine that decide which categories the plug-in offers.

namespace zel::sysdiagnose {

class SystemEnvironment {
 public:
  // Whether the machine has a fingerprint sensor, as the host's product features report it.
  static bool IsSupportFingerPrint();
};

}  // namespace zel::sysdiagnose
