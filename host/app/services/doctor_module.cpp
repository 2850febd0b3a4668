#include "app/services/doctor_module.h"

#include <iostream>
#include <stdexcept>

#include "IPCMessage/DoctorProtocol.h"

namespace app {
namespace {

template <typename Record>
std::optional<Record> Decode(const tagIPC_MESSAGE_ITEM& message, Record (*read)(PayloadReader&)) {
  try {
    PayloadReader reader(message.pData, message.nDataLen);
    return read(reader);
  } catch (const std::runtime_error& e) {
    std::cerr << "sysdiagnose-host: undecodable message 0x" << std::hex << message.nMessageId << std::dec << ": "
              << e.what() << '\n';
    return std::nullopt;
  }
}

tagIPC_MESSAGE_ITEM Message(uint32_t destination, uint32_t messageId, uint32_t replyId, std::vector<uint8_t>& payload) {
  tagIPC_MESSAGE_ITEM message{};
  message.nDstModuleId = destination;
  message.nMessageId = messageId;
  message.nReplyMessageId = replyId;
  message.nDataLen = static_cast<uint32_t>(payload.size());
  message.pData = payload.empty() ? nullptr : payload.data();
  return message;
}

}  // namespace

DoctorModule::DoctorModule() : client_(doctor::kDoctorModule, false, false) {
  client_.RegisterMessageCallback(doctor::kMsgDoctorResult, [this](const tagIPC_MESSAGE_ITEM& m) { OnReport(m); });
  client_.RegisterMessageCallback(doctor::kMsgModuleInfoAnswer, [this](const tagIPC_MESSAGE_ITEM& m) { OnModuleInfo(m); });
}

DoctorModule::~DoctorModule() { client_.UnRegisterMessageCallbackAll(); }

std::optional<DoctorModuleInfo> DoctorModule::QueryModuleInfo(std::chrono::milliseconds timeout) {
  // The plug-in hears the query through its subscription to the module's message class.
  std::vector<uint8_t> none;
  client_.PostIPCMessage(Message(doctor::kDoctorModule, doctor::kMsgModuleInfoQuery, doctor::kMsgModuleInfoAnswer, none));
  std::unique_lock lock(lock_);
  arrived_.wait_for(lock, timeout, [this] { return moduleInfo_.has_value(); });
  return moduleInfo_;
}

void DoctorModule::RequestDetection(bool start) {
  std::vector<uint8_t> payload{static_cast<uint8_t>(start ? 1 : 0)};
  client_.PostIPCMessage(Message(doctor::kSysdiagnoseModule, doctor::kMsgDoctorStart, doctor::kNoReply, payload));
}

void DoctorModule::RequestRepair(const std::vector<int32_t>& items) {
  PayloadWriter writer;
  writer.U32(doctor::kPayloadVersion);
  writer.U32(static_cast<uint32_t>(items.size()));
  for (int32_t item : items) writer.U32(static_cast<uint32_t>(item));
  client_.PostIPCMessage(Message(doctor::kSysdiagnoseModule, doctor::kMsgDoctorRepair, doctor::kNoReply, writer.Bytes()));
}

std::optional<DoctorReport> DoctorModule::NextReport(std::chrono::milliseconds timeout) {
  std::unique_lock lock(lock_);
  if (!arrived_.wait_for(lock, timeout, [this] { return !reports_.empty(); })) return std::nullopt;
  DoctorReport report = std::move(reports_.front());
  reports_.pop_front();
  return report;
}

void DoctorModule::OnReport(const tagIPC_MESSAGE_ITEM& message) {
  auto report = Decode(message, &ReadDoctorReport);
  if (!report) return;
  {
    std::lock_guard lock(lock_);
    reports_.push_back(std::move(*report));
  }
  arrived_.notify_all();
}

void DoctorModule::OnModuleInfo(const tagIPC_MESSAGE_ITEM& message) {
  auto info = Decode(message, &ReadDoctorModuleInfo);
  if (!info) return;
  {
    std::lock_guard lock(lock_);
    moduleInfo_ = std::move(*info);
  }
  arrived_.notify_all();
}

}  // namespace app
