#include "app/services/log_service.h"

#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "IPCMessage/DoctorProtocol.h"
#include "app/services/payload_codec.h"
#include "machine/machine.h"
#include "utility/Logger.h"

namespace app {


namespace {

std::shared_ptr<const host::machine::Profile> CurrentProfile() {
  return host::machine::Machine::Instance().Current();
}

// Version 1, then the count and every log file as its module kind and its name.
std::vector<uint8_t> LogListPayload() {
  PayloadWriter writer;
  writer.U32(doctor::kPayloadVersion);
  const auto profile = CurrentProfile();
  writer.U32(profile ? static_cast<uint32_t>(profile->logService.items.size()) : 0);
  if (profile) {
    for (const auto& item : profile->logService.items) {
      writer.U32(static_cast<uint32_t>(item.module));
      writer.String(item.name);
    }
  }
  return std::move(writer.Bytes());
}

}  // namespace

LogService::~LogService() { Stop(); }

void LogService::Start() {
  std::lock_guard lock(mutex_);
  if (client_) return;
  client_ = std::make_unique<CIPCMessageClient>(doctor::kLogServiceModule, false, false);
  client_->RegisterMessageCallback(doctor::kMsgDetectStarted, [this](const tagIPC_MESSAGE_ITEM& m) { OnDetectStarted(m); });
  client_->RegisterMessageCallback(doctor::kMsgLogListRequest, [this](const tagIPC_MESSAGE_ITEM& m) { OnLogListRequest(m); });
  client_->RegisterMessageCallback(doctor::kMsgStartUpload, [this](const tagIPC_MESSAGE_ITEM&) { OnDecision(UploadDecision::Upload); });
  client_->RegisterMessageCallback(doctor::kMsgUploadDeclined, [this](const tagIPC_MESSAGE_ITEM&) { OnDecision(UploadDecision::Declined); });
}

void LogService::Stop() {
  std::unique_ptr<CIPCMessageClient> client;
  {
    std::lock_guard lock(mutex_);
    client = std::move(client_);
  }
  client.reset();  // outside the lock: it waits for callbacks, which may take the lock
}

bool LogService::Running() const {
  std::lock_guard lock(mutex_);
  return client_ != nullptr;
}

LogService::UploadDecision LogService::LastDecision() const {
  std::lock_guard lock(mutex_);
  return decision_;
}

void LogService::OnDetectStarted(const tagIPC_MESSAGE_ITEM& request) {
  auto profile = CurrentProfile();
  const uint8_t offerUpload = profile ? profile->logService.offerUpload : 0;
  Answer(request, doctor::kMsgDetectReply, &offerUpload, 1);
}

void LogService::OnLogListRequest(const tagIPC_MESSAGE_ITEM& request) {
  const std::vector<uint8_t> payload = LogListPayload();
  Answer(request, doctor::kMsgLogList, payload.data(), static_cast<uint32_t>(payload.size()));
}

void LogService::OnDecision(UploadDecision decision) {
  std::lock_guard lock(mutex_);
  decision_ = decision;
}

void LogService::Answer(const tagIPC_MESSAGE_ITEM& request, uint32_t messageId, const uint8_t* payload, uint32_t length) {
  tagIPC_MESSAGE_ITEM answer{};
  answer.nDstModuleId = request.nSrcModuleId;
  answer.nMessageId = messageId;
  answer.nReplyMessageId = doctor::kNoReply;
  answer.nDataLen = length;
  answer.pData = const_cast<uint8_t*>(payload);  // only read: the bus copies it
  // The client is only read here; Stop waits for this callback before it destroys the client.
  CIPCMessageClient* client = nullptr;
  {
    std::lock_guard lock(mutex_);
    client = client_.get();
  }
  if (client) client->PostIPCMessage(answer);
}

}  // namespace app
