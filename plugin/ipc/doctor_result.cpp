#include "ipc/doctor_result.h"

#include "ipc/ipc_serialize.h"

namespace zel::sysdiagnose {
namespace {

// Wire order.
template <typename Record, typename Visit>
void WireFields(Record& result, const Visit& visit) {
  visit(result.nModuleId);
  visit(result.strSummaryKey);
  visit(result.nAbnormalCount);
  visit(result.strSummary);
  visit(result.strDetail);
  visit(result.vecItems);
  visit(result.nTime);
  visit(result.bFinished);
  visit(result.bReserved);
}

}  // namespace

void Serialize(IIPCDataIO& io, const tagDoctorResult& result) { WireFields(result, WireWriter{io}); }
void Unserialize(IIPCDataIO& io, tagDoctorResult& result) { WireFields(result, WireReader{io}); }

}  // namespace zel::sysdiagnose
