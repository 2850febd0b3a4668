#pragma once
// The silent routines of the health-check service: the checks of the interactive routines in the
// same order, folded the same way and sending the same events, but reporting nothing while they
// run. Every failing line of a check that has a repair collects a repair entry instead; categories
// with repairs end with `extra` set; the network routine does not ask about a wireless card; the
// fingerprint routine runs its function check also when the device check failed.
#include <cstdint>
#include <string>
#include <vector>

#include "diagnose/fault_detectors.h"
#include "model/records.h"

namespace zel::sysdiagnose {

// A repair to run for a category: a repair-table name and the failing check's library code.
struct tagDoctorRepairEntry {
  std::u16string strRepairName;
  uint32_t nCode = 0;

  bool operator==(const tagDoctorRepairEntry&) const = default;
};

using DoctorRepairList = std::vector<tagDoctorRepairEntry>;

tagDetectResult DoctorDiagnoseAudio(FaultDetectors& detectors, DoctorRepairList& repairs);
tagDetectResult DoctorDiagnoseMainboard(FaultDetectors& detectors, DoctorRepairList& repairs);
tagDetectResult DoctorDiagnoseBluetooth(FaultDetectors& detectors, DoctorRepairList& repairs);
tagDetectResult DoctorDiagnoseNetcard(FaultDetectors& detectors, DoctorRepairList& repairs);
tagDetectResult DoctorDiagnoseCpu(FaultDetectors& detectors, DoctorRepairList& repairs);
tagDetectResult DoctorDiagnoseMemory(FaultDetectors& detectors, DoctorRepairList& repairs);
tagDetectResult DoctorDiagnoseDisk(FaultDetectors& detectors, DoctorRepairList& repairs);
tagDetectResult DoctorDiagnoseGpu(FaultDetectors& detectors, DoctorRepairList& repairs);
tagDetectResult DoctorDiagnoseDisplay(FaultDetectors& detectors, DoctorRepairList& repairs);
tagDetectResult DoctorDiagnoseBattery(FaultDetectors& detectors, DoctorRepairList& repairs);
tagDetectResult DoctorDiagnoseKeyboard(FaultDetectors& detectors, DoctorRepairList& repairs);
tagDetectResult DoctorDiagnoseFingerprint(FaultDetectors& detectors, DoctorRepairList& repairs);

// The silent routine of a category (0..11); any other number gives a passing verdict and no call.
tagDetectResult DoctorDiagnose(int32_t category, FaultDetectors& detectors, DoctorRepairList& repairs);

}  // namespace zel::sysdiagnose
