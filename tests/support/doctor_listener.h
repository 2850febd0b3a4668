#pragma once
// Plays the host's health-check module (0x200000) on the bus and keeps every result record the
// plug-in posts to it, decoded, in arrival order.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "IPCMessage/IPCMessageClient.h"
#include "ipc/doctor_result.h"

namespace testenv {

struct DoctorReport {
  uint32_t messageId;  // 0x20000B or 0x20000E
  zel::sysdiagnose::tagDoctorResult result;
};

class DoctorListener {
 public:
  DoctorListener();
  ~DoctorListener();

  // Posts 0x390020 (start, or stop only) or 0x390021 to the plug-in, as the host's module does.
  void RequestDetection(bool start);
  void RequestRepair();

  std::vector<DoctorReport> Reports() const;
  // Waits until `count` reports have arrived; false after the timeout.
  bool WaitForReports(size_t count, std::chrono::milliseconds timeout) const;
  // Waits for a report with bFinished set; false after the timeout.
  bool WaitForFinished(std::chrono::milliseconds timeout) const;
  void Clear();

 private:
  void OnReport(const tagIPC_MESSAGE_ITEM& message);

  mutable std::mutex lock_;
  mutable std::condition_variable arrived_;
  std::vector<DoctorReport> reports_;
  CIPCMessageClient client_;
};

}  // namespace testenv
