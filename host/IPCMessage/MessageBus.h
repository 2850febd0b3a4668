#pragma once
// The process-wide message bus: the directory of this process's endpoints and the transport that
// carries posted messages. Shared by every client in the process (the IPCMessage library is a
// shared library for exactly this reason).
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "IPCMessage/BusEndpoint.h"
#include "IPCMessage/MessageTransport.h"

namespace hostipc {

class MessageBus {
 public:
  // Built on first use; at process exit its transport is shut down (queued messages are dropped),
  // while clients that still hold the bus can go on detaching safely.
  static std::shared_ptr<MessageBus> Instance();

  MessageBus();
  ~MessageBus();
  MessageBus(const MessageBus&) = delete;
  MessageBus& operator=(const MessageBus&) = delete;

  // A new endpoint under the module id; several endpoints may share a module id, and each then
  // receives what is addressed to it.
  std::shared_ptr<BusEndpoint> Attach(uint32_t moduleId);
  // After it returns no callback of the endpoint runs, except one that called this itself.
  void Detach(const std::shared_ptr<BusEndpoint>& endpoint);

  // Hands the message to the transport. False when the bus no longer carries messages.
  bool Post(BusMessage message);

  // Offers a message to every local endpoint, on the calling thread: what the in-process
  // transport's threads run, and what a transport from other processes calls for what it receives.
  void DeliverLocally(const BusMessage& message);

  // Replaces the transport; the old one is shut down. Not to be called from a delivery thread.
  void SetTransport(std::unique_ptr<IMessageTransport> transport);
  // The in-process transport, delivering through DeliverLocally.
  std::unique_ptr<IMessageTransport> MakeLocalTransport();

  void Shutdown();

 private:
  using EndpointList = std::vector<std::shared_ptr<BusEndpoint>>;

  std::shared_ptr<const EndpointList> Endpoints() const;

  std::atomic<uint64_t> nextSerial_{1};
  mutable std::mutex endpointsMutex_;
  std::shared_ptr<const EndpointList> endpoints_;  // replaced, never changed in place
  std::shared_mutex transportMutex_;
  std::unique_ptr<IMessageTransport> transport_;
};

}  // namespace hostipc
