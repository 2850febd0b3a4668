#pragma once
// What carries posted messages to their receivers. The bus owns one transport; the in-process one
// delivers to this process's endpoints on its own threads. A transport to other processes takes its
// place (forwarding local traffic to the in-process one) without any change to the clients.
#include "IPCMessage/BusMessage.h"

namespace hostipc {

class IMessageTransport {
 public:
  virtual ~IMessageTransport() = default;

  // Takes the message on its way and returns at once; never delivers on the caller's thread.
  // False when the transport no longer carries messages.
  virtual bool Send(BusMessage message) = 0;

  // Stops carrying; when it returns, no delivery of this transport runs any more and whatever was
  // still queued is dropped. Not to be called from a delivery thread.
  virtual void Shutdown() = 0;
};

}  // namespace hostipc
