#pragma once
// The host's log service (module 0x3B0000) as the reference host runs it: it tells the plug-in
// whether the log upload is offered and which log files there are, from the machine profile's
// "logService" section, and notes the user's upload decision. Its answers go to the asking module
// and run on the bus's threads.
#include <cstdint>
#include <memory>
#include <mutex>

#include "IPCMessage/IPCMessageClient.h"

namespace app {

class LogService {
 public:
  enum class UploadDecision { None, Upload, Declined };

  LogService() = default;
  ~LogService();
  LogService(const LogService&) = delete;
  LogService& operator=(const LogService&) = delete;

  // Joins the bus; a second Start does nothing.
  void Start();
  // Leaves the bus; when it returns no request is being answered any more.
  void Stop();
  bool Running() const;

  // The last of 0x3B0003 (upload) and 0x3B0004 (declined) received.
  UploadDecision LastDecision() const;

 private:
  void OnDetectStarted(const tagIPC_MESSAGE_ITEM& request);
  void OnLogListRequest(const tagIPC_MESSAGE_ITEM& request);
  void OnDecision(UploadDecision decision);
  void Answer(const tagIPC_MESSAGE_ITEM& request, uint32_t messageId, const uint8_t* payload, uint32_t length);

  mutable std::mutex mutex_;
  std::unique_ptr<CIPCMessageClient> client_;
  UploadDecision decision_ = UploadDecision::None;
};

}  // namespace app
