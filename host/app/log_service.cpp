#include "app/log_service.h"

#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "ipc/ipc_data_io.h"
#include "ipc/ipc_messages.h"
#include "ipc/ipc_serialize.h"
#include "machine/machine.h"
#include "utility/Logger.h"

namespace app {

using namespace zel::sysdiagnose;

namespace {

std::shared_ptr<const host::machine::Profile> CurrentProfile() {
  return host::machine::Machine::Instance().Current();
}

std::vector<SYSTEM_DETECT_LOG_ITEM> LogItems() {
  std::vector<SYSTEM_DETECT_LOG_ITEM> items;
  if (auto profile = CurrentProfile()) {
    for (const auto& item : profile->logService.items) items.push_back({item.module, item.name});
  }
  return items;
}

}  // namespace

LogService::~LogService() { Stop(); }

void LogService::Start() {
  std::lock_guard lock(mutex_);
  if (client_) return;
  client_ = std::make_unique<CIPCMessageClient>(kLogServiceModule, false, false);
  client_->RegisterMessageCallback(kMsgDetectStarted, [this](const tagIPC_MESSAGE_ITEM& m) { OnDetectStarted(m); });
  client_->RegisterMessageCallback(kMsgLogListRequest, [this](const tagIPC_MESSAGE_ITEM& m) { OnLogListRequest(m); });
  client_->RegisterMessageCallback(kMsgStartUpload, [this](const tagIPC_MESSAGE_ITEM&) { OnDecision(UploadDecision::Upload); });
  client_->RegisterMessageCallback(kMsgUploadDeclined, [this](const tagIPC_MESSAGE_ITEM&) { OnDecision(UploadDecision::Declined); });
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
  Answer(request, kMsgDetectReply, &offerUpload, 1);
}

void LogService::OnLogListRequest(const tagIPC_MESSAGE_ITEM& request) {
  try {
    tagIPC_MESSAGE_ITEM buffer{};
    CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
    WriteVersion(writer);
    Serialize(writer, LogItems());
    Answer(request, kMsgLogList, buffer.pData, writer.Position());
  } catch (const std::exception& error) {
    hostlog::Warn(std::string("log list not answered: ") + error.what(), "app::LogService::OnLogListRequest",
                  "log_service", __LINE__, __PRETTY_FUNCTION__);
  }
}

void LogService::OnDecision(UploadDecision decision) {
  std::lock_guard lock(mutex_);
  decision_ = decision;
}

void LogService::Answer(const tagIPC_MESSAGE_ITEM& request, uint32_t messageId, const uint8_t* payload, uint32_t length) {
  tagIPC_MESSAGE_ITEM answer = MakeIPCMessage(request.nSrcModuleId, messageId, kNoReply);
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
