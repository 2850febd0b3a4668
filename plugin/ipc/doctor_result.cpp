#include "ipc/doctor_result.h"

#include "ipc/ipc_serialize.h"

namespace zel::sysdiagnose {

void Serialize(IIPCDataIO& io, const tagDoctorResult& result) {
  io.WriteUInt32(result.nModuleId);
  WriteWString(io, result.strSummaryKey);
  io.WriteUInt32(result.nAbnormalCount);
  WriteWString(io, result.strSummary);
  WriteWString(io, result.strDetail);
  Serialize(io, result.vecItems);
  io.WriteUInt32(result.nTime);
  io.WriteByte(result.bFinished);
  io.WriteByte(result.bReserved);
}

void Unserialize(IIPCDataIO& io, tagDoctorResult& result) {
  io.ReadUInt32(result.nModuleId);
  ReadWString(io, result.strSummaryKey);
  io.ReadUInt32(result.nAbnormalCount);
  ReadWString(io, result.strSummary);
  ReadWString(io, result.strDetail);
  Unserialize(io, result.vecItems);
  io.ReadUInt32(result.nTime);
  io.ReadByte(result.bFinished);
  io.ReadByte(result.bReserved);
}

}  // namespace zel::sysdiagnose
