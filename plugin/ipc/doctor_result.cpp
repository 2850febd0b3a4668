#include "ipc/doctor_result.h"

#include "ipc/ipc_serialize.h"

namespace zel::sysdiagnose {

void Serialize(IIPCDataIO& io, const tagDoctorItem& item) { WireFields(item, WireWriter{io}); }
void Unserialize(IIPCDataIO& io, tagDoctorItem& item) { WireFields(item, WireReader{io}); }
void Serialize(IIPCDataIO& io, const tagDoctorResult& result) { WireFields(result, WireWriter{io}); }
void Unserialize(IIPCDataIO& io, tagDoctorResult& result) { WireFields(result, WireReader{io}); }
void Serialize(IIPCDataIO& io, const tagDoctorModuleInfo& info) { WireFields(info, WireWriter{io}); }
void Unserialize(IIPCDataIO& io, tagDoctorModuleInfo& info) { WireFields(info, WireReader{io}); }

}  // namespace zel::sysdiagnose
