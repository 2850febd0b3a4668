#include "ipc/doctor_module_info.h"

namespace zel::sysdiagnose {

tagDoctorModuleInfo SysdiagnoseModuleInfo() {
  tagDoctorModuleInfo info;
  info.strIcon = u"file='drawable/hardware/index_hardware.png'";
  info.strModuleIcon = u"file='drawable/hardware/doctor_module.png'";
  info.strNameKey = u"IDS_HARDWARE_DETECT";
  info.nModuleId = kSysdiagnoseModule;
  info.nStartMsgId = kMsgDoctorStart;
  info.nRepairMsgId = kMsgDoctorRepair;
  info.usTime = 60000;
  return info;
}

}  // namespace zel::sysdiagnose
