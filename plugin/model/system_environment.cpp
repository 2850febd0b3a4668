#include "model/system_environment.h"

#include <string>

#include "utility/Logger.h"
#include "utility/ProductFeature.h"

namespace zel::sysdiagnose {

bool SystemEnvironment::IsSupportFingerPrint() {
  bool present = false;
  const int32_t status = ProductAdapt::ProductFeature::GetInstance().GetFingerprintStatus(present);
  if (status != 0) {
    // The host wrote this to the debugger; here it is a debug line of the host log.
    const std::string message =
        "result=" + std::to_string(status) + "IsSupportFingerPrint=" + (present ? "1" : "0");
    hostlog::Log(log4cplus::DEBUG_LOG_LEVEL, message, "SystemEnvironment::IsSupportFingerPrint",
                 "zel_model_env", __LINE__, __PRETTY_FUNCTION__);
  }
  return present;
}

}  // namespace zel::sysdiagnose
