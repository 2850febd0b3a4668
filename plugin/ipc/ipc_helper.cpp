#include "ipc/ipc_helper.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "DuiLib/UICulture.h"
#include "ipc/ipc_data_io.h"
#include "ipc/ipc_messages.h"
#include "ipc/ipc_serialize.h"
#include "ipc/ipc_server_proc.h"
#include "utility/Logger.h"

namespace zel::sysdiagnose {

namespace {

constexpr uint32_t kSummaryTime = 1860000;
constexpr char16_t kKeyDetail[] = u"IDS_HARDWARE_DETECT_DOCTOR_DETAIL";
constexpr char16_t kKeyAllNormal[] = u"IDS_HARDWARE_DETECT_DOCTOR_INDEX_DESCRIPTION_OK";
constexpr char16_t kKeyAbnormalNum[] = u"IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM";
constexpr char16_t kKeyAbnormalDetail[] = u"IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM_DETAIL";
constexpr char16_t kKeyAbnormalRepairDetail[] = u"IDS_HARDWARE_DETECT_DOCTOR_ABNORMAL_NUM_REPAIR_DETAIL";

uint32_t CountAbnormal(const std::vector<tagDoctorItem>& items) {
  return static_cast<uint32_t>(std::count_if(items.begin(), items.end(), [](const tagDoctorItem& item) {
    return item.nState == kDoctorStateAbnormal;
  }));
}

// Modes 0 and 2 report a detection; any mode with another bit set reports a repair.
bool IsRepairMode(int32_t mode) { return (mode & ~2) != 0; }

}  // namespace

IPCHelper& IPCHelper::Instance() {
  static IPCHelper instance;
  return instance;
}

IPCHelper::IPCHelper() : m_client(kSysdiagnoseModule, false, false) {
  m_client.SubscribeIPCMessage(kDoctorModule, 0);
  m_client.SetSubscribedMessageCallback([this](const tagIPC_MESSAGE_ITEM& message) { OnSubscribedMessage(message); });
  m_client.RegisterMessageCallback(kMsgDoctorStart, [this](const tagIPC_MESSAGE_ITEM& message) { OnDoctorStart(message); });
  m_client.RegisterMessageCallback(kMsgDetectReply, [this](const tagIPC_MESSAGE_ITEM& message) { OnDetectReply(message); });
  RegisterServerProc(std::make_unique<CIPCServerProc<IPCHelper, std::vector<int32_t>>>(
      kMsgDoctorRepair, this, &IPCHelper::OnDoctorRepair));
  RegisterServerProc(std::make_unique<CIPCServerProc<IPCHelper, std::vector<SYSTEM_DETECT_LOG_ITEM>>>(
      kMsgLogList, this, &IPCHelper::OnLogItems));
}

IPCHelper::~IPCHelper() {
  m_client.UnSubscribeIPCMessage(kDoctorModule, 0);
  m_client.UnRegisterMessageCallbackAll();
  m_fnLogItems.Clear();
  m_fnDetectReply.Clear();
  m_fnDoctorRepair.Clear();
  m_fnDoctorStart.Clear();
  UnregisterServerProcs();
}

int IPCHelper::RegisterServerProc(std::unique_ptr<CIPCServerProcBase> proc) {
  if (!proc) return -1;
  std::lock_guard lock(m_registryMutex);
  const uint32_t messageId = proc->MessageId();
  const auto key = static_cast<int32_t>(messageId);
  if (m_serverProcs.contains(key)) return -1;
  std::shared_ptr<CIPCServerProcBase> receiver = std::move(proc);
  m_serverProcs.emplace(key, receiver);
  m_client.RegisterMessageCallback(messageId, [receiver](const tagIPC_MESSAGE_ITEM& message) {
    receiver->OnMessage(message);
  });
  return 1;
}

void IPCHelper::UnregisterServerProcs() {
  std::lock_guard lock(m_registryMutex);
  for (const auto& entry : m_serverProcs) m_client.UnRegisterMessageCallback(static_cast<uint32_t>(entry.first));
  m_serverProcs.clear();
}

HandlerRegistration IPCHelper::SetDoctorStartHandler(DoctorStartHandler handler) {
  return m_fnDoctorStart.Set(std::move(handler));
}

HandlerRegistration IPCHelper::SetDoctorRepairHandler(DoctorRepairHandler handler) {
  return m_fnDoctorRepair.Set(std::move(handler));
}

HandlerRegistration IPCHelper::SetDetectReplyHandler(DetectReplyHandler handler) {
  return m_fnDetectReply.Set(std::move(handler));
}

HandlerRegistration IPCHelper::SetLogItemsHandler(LogItemsHandler handler) {
  return m_fnLogItems.Set(std::move(handler));
}

void IPCHelper::OnSubscribedMessage(const tagIPC_MESSAGE_ITEM& message) {
  if (message.nMessageId != kMsgModuleInfoQuery) return;
  PostModuleInfo(message.nSrcModuleId, SysdiagnoseModuleInfo());
}

void IPCHelper::OnDoctorStart(const tagIPC_MESSAGE_ITEM& message) {
  if (message.nDataLen != 1 || message.pData == nullptr) return;
  const bool stopOnly = message.pData[0] == 0;
  m_fnDoctorStart.Call(stopOnly);
}

void IPCHelper::OnDetectReply(const tagIPC_MESSAGE_ITEM& message) {
  if (message.nDataLen == 0 || message.pData == nullptr) return;
  m_fnDetectReply.Call(message.pData[0]);
}

void IPCHelper::OnDoctorRepair(std::vector<int32_t> items) { m_fnDoctorRepair.Call(items); }

void IPCHelper::OnLogItems(std::vector<SYSTEM_DETECT_LOG_ITEM> items) { m_fnLogItems.Call(items); }

void IPCHelper::PostDoctorResult(uint32_t messageId, const tagDoctorResult& result) {
  PostEncoded(kDoctorModule, messageId, [&](IIPCDataIO& io) { Serialize(io, result); });
}

void IPCHelper::PostModuleInfo(uint32_t destination, const tagDoctorModuleInfo& info) {
  PostEncoded(destination, kMsgModuleInfoAnswer, [&](IIPCDataIO& io) { Serialize(io, info); });
}

void IPCHelper::PostDoctorSummary(tagDoctorResult& result, int32_t mode) {
  UICulture& culture = UICulture::GetInstance();
  result.strDetail = culture.GetString(kKeyDetail);
  const uint32_t abnormal = CountAbnormal(result.vecItems);
  if (abnormal == 0) {
    // nAbnormalCount keeps what an earlier report said.
    result.strSummary = culture.GetString(kKeyAllNormal);
    result.strSummaryKey = kKeyAllNormal;
  } else {
    const char16_t* key = IsRepairMode(mode) ? kKeyAbnormalRepairDetail : kKeyAbnormalDetail;
    result.strSummary = culture.GetMultiVarStr(key, {static_cast<int64_t>(abnormal)});
    result.strSummaryKey = kKeyAbnormalNum;
    result.nAbnormalCount = abnormal;
  }
  result.nModuleId = m_nModuleId;
  result.nTime = kSummaryTime;
  if (mode == 0 || mode == 1) {
    PostDoctorResult(kMsgDoctorResult, result);
  } else if (mode == 2) {
    PostDoctorResult(kMsgDoctorRunResult, result);
  }
}

void IPCHelper::PostEncoded(uint32_t destination, uint32_t messageId, const Encoder& encode) {
  try {
    tagIPC_MESSAGE_ITEM buffer{};
    CIPCDataIO writer(&buffer, CIPCDataIO::kWriter);
    WriteVersion(writer);
    encode(writer);
    tagIPC_MESSAGE_ITEM message = MakeIPCMessage(destination, messageId, kNoReply);
    message.nDataLen = writer.Position();
    message.pData = buffer.pData;
    m_client.PostIPCMessage(message);  // copies the payload; its result is of no use here
  } catch (const std::exception& error) {
    hostlog::Warn(std::string("IPC message not posted: ") + error.what(), "zel::sysdiagnose::IPCHelper::PostEncoded",
                  "zel_ipc_helper", __LINE__, __PRETTY_FUNCTION__);
  }
}

}  // namespace zel::sysdiagnose
