#pragma once
// The reference host's health-check module (0x200000): asks the plug-in for its module
// information, starts detections and repairs, and collects the result reports it receives.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "IPCMessage/IPCMessageClient.h"
#include "app/services/doctor_records.h"

namespace app {

class DoctorModule {
 public:
  DoctorModule();
  ~DoctorModule();

  // Posts the module-information query and waits for the answer.
  std::optional<DoctorModuleInfo> QueryModuleInfo(std::chrono::milliseconds timeout);
  // 0x390020 with the byte 1 (start) or 0 (stop only).
  void RequestDetection(bool start);
  // 0x390021 with a list (the plug-in does not consult it).
  void RequestRepair(const std::vector<int32_t>& items);
  // The next 0x20000B report, in arrival order; nullopt after the timeout.
  std::optional<DoctorReport> NextReport(std::chrono::milliseconds timeout);

 private:
  void OnReport(const tagIPC_MESSAGE_ITEM& message);
  void OnModuleInfo(const tagIPC_MESSAGE_ITEM& message);

  std::mutex lock_;
  std::condition_variable arrived_;
  std::deque<DoctorReport> reports_;
  std::optional<DoctorModuleInfo> moduleInfo_;
  CIPCMessageClient client_;  // last: its callbacks stop before the rest goes away
};

}  // namespace app
