#include "ipc/doctor_item.h"

#include "ipc/ipc_serialize.h"

namespace zel::sysdiagnose {

void Serialize(IIPCDataIO& io, const tagDoctorItem& item) {
  WriteWString(io, item.strIcon);
  io.WriteUInt32(item.clrStatus);
  WriteWString(io, item.strName);
  WriteWString(io, item.strHardware);
  WriteWString(io, item.strResult);
  io.WriteUInt32(item.nState);
  io.WriteUInt32(item.nReserved1);
  WriteWString(io, item.strAction);
  io.WriteUInt32(item.clrAction);
  io.WriteUInt32(item.clrActionAlt);
  WriteWString(io, item.strReserved);
  io.WriteByte(item.bReserved1);
  io.WriteByte(item.bReserved2);
  io.WriteUInt32(item.nReserved3);
}

void Unserialize(IIPCDataIO& io, tagDoctorItem& item) {
  ReadWString(io, item.strIcon);
  io.ReadUInt32(item.clrStatus);
  ReadWString(io, item.strName);
  ReadWString(io, item.strHardware);
  ReadWString(io, item.strResult);
  io.ReadUInt32(item.nState);
  io.ReadUInt32(item.nReserved1);
  ReadWString(io, item.strAction);
  io.ReadUInt32(item.clrAction);
  io.ReadUInt32(item.clrActionAlt);
  ReadWString(io, item.strReserved);
  io.ReadByte(item.bReserved1);
  io.ReadByte(item.bReserved2);
  io.ReadUInt32(item.nReserved3);
}

}  // namespace zel::sysdiagnose
