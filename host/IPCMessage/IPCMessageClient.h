#pragma once
// A module's endpoint on the host's IPC bus.
//
// Delivery: a message goes to the client registered under its destination module id, through that
// client's callback for the message id, and to every other client subscribed to the message's class
// (its high 16 bits), through their subscription callbacks; a client does not hear its own posts
// through its subscription. Callbacks run on the bus's delivery threads, never inside
// PostIPCMessage; the messages of one client arrive in the order it posted them. The record a
// callback receives, and its payload, are valid only during the call.
//
// Once UnRegisterMessageCallback, UnRegisterMessageCallbackAll, UnSubscribeIPCMessage or the
// destructor has returned, the affected callbacks do not run any more; a callback may call these
// on its own client (it is then not waited for).
#include <cstdint>
#include <functional>
#include <memory>

#include "IPCMessage/IPCMessageItem.h"

namespace hostipc {
class BusEndpoint;
class MessageBus;
}  // namespace hostipc

class CIPCMessageClient {
 public:
  using MessageCallback = std::function<void(const tagIPC_MESSAGE_ITEM&)>;

  // Payloads above this size are refused by PostIPCMessage.
  static constexpr uint32_t kMaxPayload = 0x0FFFFFFF;

  // Registers the endpoint under `moduleId`. The two flags are connection options of the host's
  // library for a bus between processes; the in-process bus needs neither and keeps them only so
  // that callers keep the host's signature.
  CIPCMessageClient(uint32_t moduleId, bool bReserved1, bool bReserved2);
  ~CIPCMessageClient();
  CIPCMessageClient(const CIPCMessageClient&) = delete;
  CIPCMessageClient& operator=(const CIPCMessageClient&) = delete;

  uint32_t ModuleId() const { return m_nModuleId; }

  // Subscribes to the class of `messageClass` (its high 16 bits); `messageId` 0 means every
  // message of the class, any other value only that message. False when already subscribed.
  bool SubscribeIPCMessage(uint32_t messageClass, uint32_t messageId);
  bool UnSubscribeIPCMessage(uint32_t messageClass, uint32_t messageId);

  // Copies the record and its payload (nDataLen bytes at pData, when pData is set) before it
  // returns; the bus sets the source module id to this client's. False when the payload is larger
  // than kMaxPayload or the bus has shut down.
  bool PostIPCMessage(const tagIPC_MESSAGE_ITEM& message);

  // A second registration for the same id replaces the first. False for an empty callback.
  bool RegisterMessageCallback(uint32_t messageId, MessageCallback callback);
  // An empty callback clears it.
  void SetSubscribedMessageCallback(MessageCallback callback);
  // False when the id had no callback.
  bool UnRegisterMessageCallback(uint32_t messageId);
  // Removes every callback, the subscription callback too.
  void UnRegisterMessageCallbackAll();

 private:
  const uint32_t m_nModuleId;
  std::shared_ptr<hostipc::MessageBus> m_bus;
  std::shared_ptr<hostipc::BusEndpoint> m_endpoint;
};
