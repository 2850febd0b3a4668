#pragma once
// Plays the host's health-check module (0x200000) on the bus and keeps every result record the
// plug-in posts to it, decoded, in arrival order.
#include <chrono>
#include <cstdint>
#include <vector>

#include "IPCMessage/IPCMessageClient.h"
#include "host/ipc/inbox.h"
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

  std::vector<DoctorReport> Reports() const { return reports_.Values(); }
  // Waits until `count` reports have arrived; false after the timeout.
  bool WaitForReports(size_t count, std::chrono::milliseconds timeout) { return reports_.WaitFor(count, timeout); }
  // Waits for a report with bFinished set; false after the timeout.
  bool WaitForFinished(std::chrono::milliseconds timeout);
  void Clear() { reports_.Clear(); }

 private:
  void OnReport(const tagIPC_MESSAGE_ITEM& message);

  testipc::RecordedCalls<DoctorReport> reports_;  // before the client: its callbacks fill it
  CIPCMessageClient client_;
};

}  // namespace testenv
