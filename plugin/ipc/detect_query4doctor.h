#pragma once
// The plug-in's answer to the host's health-check module: on request over IPC it runs a silent
// diagnosis of every catalogue category on a pool task, reports the result record after every
// category, stores the run in the history, and on a second request repairs what it found.
//
// Detections and repairs share the result record, so both hold one process-wide detection mutex:
// they run one after the other. Tasks keep the service's state alive themselves, and the handler
// registrations are dropped first on destruction, so no request is handled once the service is gone.
#include <chrono>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "diagnose/doctor_routines.h"
#include "diagnose/fault_detectors.h"
#include "ipc/doctor_result.h"
#include "ipc/handler_registration.h"
#include "model/records.h"

namespace zel::sysdiagnose {

class DetectQuery4Doctor {
 public:
  DetectQuery4Doctor();
  ~DetectQuery4Doctor();
  DetectQuery4Doctor(const DetectQuery4Doctor&) = delete;
  DetectQuery4Doctor& operator=(const DetectQuery4Doctor&) = delete;

  // 0x390020: cancels the running detection and, unless stopOnly, starts a new one.
  void OnStartStop(bool stopOnly);
  // 0x390021: starts a repair of the last detection's findings; the list is not consulted.
  void OnRepairRequest(const std::vector<int32_t>& items);

  // A copy of the result record as the last report left it.
  tagDoctorResult ResultSnapshot() const;
  // Waits until no detection or repair task of this service is running (the last report is
  // posted before the run is stored); false after the timeout.
  bool WaitUntilIdle(std::chrono::milliseconds timeout) const;

  struct State;

 private:
  std::shared_ptr<State> state_;
  // Last: dropped first, so no handler runs into a half-destroyed service.
  HandlerRegistration startRegistration_;
  HandlerRegistration repairRegistration_;
};

// One category of a detection: runs its silent routine and writes its row and its state.
void DoctorDiagnoseCategory(FaultDetectors& detectors, int32_t category, tagDoctorItem& item,
                            std::vector<tagDoctorRepairEntry>& repairs, tagDiagnoseRecord& states);

}  // namespace zel::sysdiagnose
