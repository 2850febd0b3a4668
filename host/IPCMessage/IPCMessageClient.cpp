#include "IPCMessage/IPCMessageClient.h"

#include <utility>

#include "IPCMessage/MessageBus.h"

CIPCMessageClient::CIPCMessageClient(uint32_t moduleId, bool /*bReserved1*/, bool /*bReserved2*/)
    : m_nModuleId(moduleId), m_bus(hostipc::MessageBus::Instance()), m_endpoint(m_bus->Attach(moduleId)) {}

CIPCMessageClient::~CIPCMessageClient() { m_bus->Detach(m_endpoint); }

bool CIPCMessageClient::SubscribeIPCMessage(uint32_t messageClass, uint32_t messageId) {
  return m_endpoint->Subscribe(messageClass, messageId);
}

bool CIPCMessageClient::UnSubscribeIPCMessage(uint32_t messageClass, uint32_t messageId) {
  return m_endpoint->Unsubscribe(messageClass, messageId);
}

bool CIPCMessageClient::PostIPCMessage(const tagIPC_MESSAGE_ITEM& message) {
  const bool hasPayload = message.pData != nullptr;
  if (hasPayload && message.nDataLen > kMaxPayload) return false;
  hostipc::BusMessage copy;
  copy.header = message;
  copy.header.pData = nullptr;
  copy.header.nSrcModuleId = m_nModuleId;
  copy.hasPayload = hasPayload;
  if (hasPayload) copy.payload.assign(message.pData, message.pData + message.nDataLen);
  copy.sender = m_endpoint->Serial();
  return m_bus->Post(std::move(copy));
}

bool CIPCMessageClient::RegisterMessageCallback(uint32_t messageId, MessageCallback callback) {
  if (!callback) return false;
  m_endpoint->SetCallback(messageId, std::move(callback));
  return true;
}

void CIPCMessageClient::SetSubscribedMessageCallback(MessageCallback callback) {
  m_endpoint->SetSubscriptionCallback(std::move(callback));
}

bool CIPCMessageClient::UnRegisterMessageCallback(uint32_t messageId) {
  return m_endpoint->RemoveCallback(messageId);
}

void CIPCMessageClient::UnRegisterMessageCallbackAll() { m_endpoint->RemoveAllCallbacks(); }
