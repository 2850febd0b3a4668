#pragma once
// What the plug-in tells the health-check module about itself (the answer to its query).
#include <cstdint>
#include <string>

#include "ipc/iipc_data_io.h"

namespace zel::sysdiagnose {

struct tagDoctorModuleInfo {
  std::u16string strIcon;
  std::u16string strModuleIcon;
  std::u16string strNameKey;  // a string-table key, not its text
  uint32_t nModuleId = 0xFFFFFFFF;
  uint32_t nStartMsgId = 0xFFFFFFFF;
  uint32_t nRepairMsgId = 0xFFFFFFFF;
  uint16_t usTime = 5000;

  bool operator==(const tagDoctorModuleInfo&) const = default;
};

// The plug-in's own entry.
tagDoctorModuleInfo SysdiagnoseModuleInfo();

void Serialize(IIPCDataIO& io, const tagDoctorModuleInfo& info);
void Unserialize(IIPCDataIO& io, tagDoctorModuleInfo& info);

}  // namespace zel::sysdiagnose
