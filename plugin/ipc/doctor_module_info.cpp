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

void Serialize(IIPCDataIO& io, const tagDoctorModuleInfo& info) {
  WriteWString(io, info.strIcon);
  WriteWString(io, info.strModuleIcon);
  WriteWString(io, info.strNameKey);
  io.WriteUInt32(info.nModuleId);
  io.WriteUInt32(info.nStartMsgId);
  io.WriteUInt32(info.nRepairMsgId);
  WriteUInt16(io, info.usTime);
}

void Unserialize(IIPCDataIO& io, tagDoctorModuleInfo& info) {
  ReadWString(io, info.strIcon);
  ReadWString(io, info.strModuleIcon);
  ReadWString(io, info.strNameKey);
  io.ReadUInt32(info.nModuleId);
  io.ReadUInt32(info.nStartMsgId);
  io.ReadUInt32(info.nRepairMsgId);
  ReadUInt16(io, info.usTime);
}

}  // namespace zel::sysdiagnose
