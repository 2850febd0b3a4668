#include "ipc/doctor_module_info.h"

#include "ipc/ipc_messages.h"
#include "ipc/ipc_serialize.h"

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

namespace {

// Wire order.
template <typename Record, typename Visit>
void WireFields(Record& info, const Visit& visit) {
  visit(info.strIcon);
  visit(info.strModuleIcon);
  visit(info.strNameKey);
  visit(info.nModuleId);
  visit(info.nStartMsgId);
  visit(info.nRepairMsgId);
  visit(info.usTime);
}

}  // namespace

void Serialize(IIPCDataIO& io, const tagDoctorModuleInfo& info) { WireFields(info, WireWriter{io}); }
void Unserialize(IIPCDataIO& io, tagDoctorModuleInfo& info) { WireFields(info, WireReader{io}); }

}  // namespace zel::sysdiagnose
