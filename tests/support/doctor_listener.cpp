#include "support/doctor_listener.h"

#include <gtest/gtest.h>

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
  {
    std::lock_guard lock(lock_);
    reports_.push_back(std::move(report));
  }
  arrived_.notify_all();
}

std::vector<DoctorReport> DoctorListener::Reports() const {
  std::lock_guard lock(lock_);
  return reports_;
}

bool DoctorListener::WaitForReports(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(lock_);
  return arrived_.wait_for(lock, timeout, [&] { return reports_.size() >= count; });
}

bool DoctorListener::WaitForFinished(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(lock_);
  return arrived_.wait_for(lock, timeout, [&] {
    for (const auto& r : reports_) {
      if (r.result.bFinished) return true;
    }
    return false;
  });
}

void DoctorListener::Clear() {
  std::lock_guard lock(lock_);
  reports_.clear();
}

}  // namespace testenv
