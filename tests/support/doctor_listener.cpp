#include "support/doctor_listener.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ipc/ipc_data_io.h"
#include "ipc/ipc_messages.h"
#include "ipc/ipc_serialize.h"

namespace testenv {

using namespace zel::sysdiagnose;

DoctorListener::DoctorListener() : client_(kDoctorModule, false, false) {
  for (uint32_t id : {kMsgDoctorResult, kMsgDoctorRunResult}) {
    client_.RegisterMessageCallback(id, [this](const tagIPC_MESSAGE_ITEM& m) { OnReport(m); });
  }
}

DoctorListener::~DoctorListener() { client_.UnRegisterMessageCallbackAll(); }

void DoctorListener::RequestDetection(bool start) {
  uint8_t byte = start ? 1 : 0;
  tagIPC_MESSAGE_ITEM message = MakeIPCMessage(kSysdiagnoseModule, kMsgDoctorStart, kNoReply);
  message.nDataLen = 1;
  message.pData = &byte;
  client_.PostIPCMessage(message);
}

void DoctorListener::RequestRepair() {
  tagIPC_MESSAGE_ITEM buffer{};
  CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
  WriteVersion(writer);
  Serialize(writer, std::vector<int32_t>{});
  tagIPC_MESSAGE_ITEM message = MakeIPCMessage(kSysdiagnoseModule, kMsgDoctorRepair, kNoReply);
  message.nDataLen = writer.Position();
  message.pData = buffer.pData;
  client_.PostIPCMessage(message);
}

void DoctorListener::OnReport(const tagIPC_MESSAGE_ITEM& message) {
  tagIPC_MESSAGE_ITEM copy = message;
  DoctorReport report{message.nMessageId, {}};
  try {
    CIPCDataIO reader(&copy, CIPCDataIO::kReader);
    ReadVersion(reader);
    Unserialize(reader, report.result);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "undecodable report: " << e.what();
    return;
  }
  reports_.Add(std::move(report));
}

bool DoctorListener::WaitForFinished(std::chrono::milliseconds timeout) {
  return reports_.WaitUntil(
      [](const std::vector<DoctorReport>& reports) {
        return std::ranges::any_of(reports, [](const DoctorReport& r) { return r.result.bFinished != 0; });
      },
      timeout);
}

}  // namespace testenv
