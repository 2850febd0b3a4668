#pragma once
// The health-check records (a row, the result, the module information) on the plug-in's payload
// codec. Their fields and wire order are the protocol's (IPCMessage/DoctorProtocol.h).
#include "ipc/iipc_data_io.h"
#include "ipc/ipc_messages.h"

namespace zel::sysdiagnose {

void Serialize(IIPCDataIO& io, const tagDoctorItem& item);
void Unserialize(IIPCDataIO& io, tagDoctorItem& item);
void Serialize(IIPCDataIO& io, const tagDoctorResult& result);
void Unserialize(IIPCDataIO& io, tagDoctorResult& result);
void Serialize(IIPCDataIO& io, const tagDoctorModuleInfo& info);
void Unserialize(IIPCDataIO& io, tagDoctorModuleInfo& info);

}  // namespace zel::sysdiagnose
