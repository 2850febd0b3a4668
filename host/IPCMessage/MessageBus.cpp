#include "IPCMessage/MessageBus.h"

#include <algorithm>
#include <utility>

#include "IPCMessage/LocalTransport.h"

namespace hostipc {

std::shared_ptr<MessageBus> MessageBus::Instance() {
  struct Holder {
    std::shared_ptr<MessageBus> bus = std::make_shared<MessageBus>();
    ~Holder() { bus->Shutdown(); }
  };
  static Holder holder;
  return holder.bus;
}

MessageBus::MessageBus() : endpoints_(std::make_shared<const EndpointList>()) {
  transport_ = MakeLocalTransport();
}

MessageBus::~MessageBus() { Shutdown(); }

std::unique_ptr<IMessageTransport> MessageBus::MakeLocalTransport() {
  return std::make_unique<LocalTransport>([this](const BusMessage& message) { DeliverLocally(message); });
}

std::shared_ptr<BusEndpoint> MessageBus::Attach(uint32_t moduleId) {
  auto endpoint = std::make_shared<BusEndpoint>(moduleId, nextSerial_++);
  std::lock_guard lock(endpointsMutex_);
  auto list = std::make_shared<EndpointList>(*endpoints_);
  list->push_back(endpoint);
  endpoints_ = std::move(list);
  return endpoint;
}

void MessageBus::Detach(const std::shared_ptr<BusEndpoint>& endpoint) {
  {
    std::lock_guard lock(endpointsMutex_);
    auto list = std::make_shared<EndpointList>(*endpoints_);
    list->erase(std::remove(list->begin(), list->end(), endpoint), list->end());
    endpoints_ = std::move(list);
  }
  endpoint->Close();
}

std::shared_ptr<const MessageBus::EndpointList> MessageBus::Endpoints() const {
  std::lock_guard lock(endpointsMutex_);
  return endpoints_;
}

bool MessageBus::Post(BusMessage message) {
  std::shared_lock lock(transportMutex_);
  return transport_ && transport_->Send(std::move(message));
}

void MessageBus::DeliverLocally(const BusMessage& message) {
  const auto endpoints = Endpoints();
  const tagIPC_MESSAGE_ITEM view = message.View();
  for (const auto& endpoint : *endpoints) endpoint->Offer(message, view);
}

void MessageBus::SetTransport(std::unique_ptr<IMessageTransport> transport) {
  std::unique_ptr<IMessageTransport> old;
  {
    std::unique_lock lock(transportMutex_);
    old = std::exchange(transport_, std::move(transport));
  }
  if (old) old->Shutdown();
}

void MessageBus::Shutdown() { SetTransport(nullptr); }

}  // namespace hostipc
