#include "app/doctor_module.h"

#include <iostream>
#include <stdexcept>

#include "ipc/ipc_data_io.h"
#include "ipc/ipc_messages.h"
#include "ipc/ipc_serialize.h"

namespace app {

using namespace zel::sysdiagnose;

namespace {

template <typename Record>
std::optional<Record> Decode(const tagIPC_MESSAGE_ITEM& message) {
  tagIPC_MESSAGE_ITEM copy = message;
  try {
    CIPCDataIO reader(&copy, CIPCDataIO::kReader);
    ReadVersion(reader);
    Record record;
    Unserialize(reader, record);
    return record;
  } catch (const std::runtime_error& e) {
    std::cerr << "sysdiagnose-host: undecodable message 0x" << std::hex << message.nMessageId << std::dec << ": "
              << e.what() << '\n';
    return std::nullopt;
  }
}

template <typename Encode>
void PostEncoded(CIPCMessageClient& client, uint32_t destination, uint32_t messageId, uint32_t replyId,
                 const Encode& encode) {
  tagIPC_MESSAGE_ITEM buffer{};
  CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
  encode(writer);
  tagIPC_MESSAGE_ITEM message = MakeIPCMessage(destination, messageId, replyId);
  message.nDataLen = writer.Position();
  message.pData = buffer.pData;
  client.PostIPCMessage(message);
}

}  // namespace

DoctorModule::DoctorModule() : client_(kDoctorModule, false, false) {
  client_.RegisterMessageCallback(kMsgDoctorResult, [this](const tagIPC_MESSAGE_ITEM& m) { OnReport(m); });
  client_.RegisterMessageCallback(kMsgModuleInfoAnswer, [this](const tagIPC_MESSAGE_ITEM& m) { OnModuleInfo(m); });
}

DoctorModule::~DoctorModule() { client_.UnRegisterMessageCallbackAll(); }

std::optional<tagDoctorModuleInfo> DoctorModule::QueryModuleInfo(std::chrono::milliseconds timeout) {
  // The plug-in hears the query through its subscription to the module's message class.
  client_.PostIPCMessage(MakeIPCMessage(kDoctorModule, kMsgModuleInfoQuery, kMsgModuleInfoAnswer));
  std::unique_lock lock(lock_);
  arrived_.wait_for(lock, timeout, [this] { return moduleInfo_.has_value(); });
  return moduleInfo_;
}

void DoctorModule::RequestDetection(bool start) {
  uint8_t byte = start ? 1 : 0;
  tagIPC_MESSAGE_ITEM message = MakeIPCMessage(kSysdiagnoseModule, kMsgDoctorStart, kNoReply);
  message.nDataLen = 1;
  message.pData = &byte;
  client_.PostIPCMessage(message);
}

void DoctorModule::RequestRepair(const std::vector<int32_t>& items) {
  PostEncoded(client_, kSysdiagnoseModule, kMsgDoctorRepair, kNoReply, [&](CIPCDataIO& writer) {
    WriteVersion(writer);
    Serialize(writer, items);
  });
}

std::optional<tagDoctorResult> DoctorModule::NextReport(std::chrono::milliseconds timeout) {
  std::unique_lock lock(lock_);
  if (!arrived_.wait_for(lock, timeout, [this] { return !reports_.empty(); })) return std::nullopt;
  tagDoctorResult report = std::move(reports_.front());
  reports_.pop_front();
  return report;
}

void DoctorModule::OnReport(const tagIPC_MESSAGE_ITEM& message) {
  auto report = Decode<tagDoctorResult>(message);
  if (!report) return;
  {
    std::lock_guard lock(lock_);
    reports_.push_back(std::move(*report));
  }
  arrived_.notify_all();
}

void DoctorModule::OnModuleInfo(const tagIPC_MESSAGE_ITEM& message) {
  auto info = Decode<tagDoctorModuleInfo>(message);
  if (!info) return;
  {
    std::lock_guard lock(lock_);
    moduleInfo_ = std::move(*info);
  }
  arrived_.notify_all();
}

}  // namespace app
