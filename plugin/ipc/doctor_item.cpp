#include "ipc/doctor_item.h"

#include "ipc/ipc_serialize.h"

namespace zel::sysdiagnose {
namespace {

// Wire order.
template <typename Record, typename Visit>
void WireFields(Record& item, const Visit& visit) {
  visit(item.strIcon);
  visit(item.clrStatus);
  visit(item.strName);
  visit(item.strHardware);
  visit(item.strResult);
  visit(item.nState);
  visit(item.nReserved1);
  visit(item.strAction);
  visit(item.clrAction);
  visit(item.clrActionAlt);
  visit(item.strReserved);
  visit(item.bReserved1);
  visit(item.bReserved2);
  visit(item.nReserved3);
}

}  // namespace

void Serialize(IIPCDataIO& io, const tagDoctorItem& item) { WireFields(item, WireWriter{io}); }
void Unserialize(IIPCDataIO& io, tagDoctorItem& item) { WireFields(item, WireReader{io}); }

}  // namespace zel::sysdiagnose
