#pragma once
// What the plug-in tells the health-check module about itself (the answer to its query).
#include "ipc/doctor_result.h"

namespace zel::sysdiagnose {

// The plug-in's own entry.
tagDoctorModuleInfo SysdiagnoseModuleInfo();

}  // namespace zel::sysdiagnose
