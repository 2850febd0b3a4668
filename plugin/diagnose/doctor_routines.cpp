#include "diagnose/doctor_routines.h"

#include "diagnose/disk_health.h"
#include "diagnose/item_tests.h"

namespace zel::sysdiagnose {

// The SMART evaluation reports nothing here either; disk lines never enter the verdict.
tagDetectResult DoctorDiagnoseDisk(FaultDetectors& detectors, DoctorRepairList&) {
  tagDetectResult verdict = FreshVerdict();
  return DiagnoseDisk(detectors, verdict, {}, {}, {}, {});
}

tagDetectResult DoctorDiagnose(int32_t category, FaultDetectors& detectors, DoctorRepairList& repairs) {
  using Routine = tagDetectResult (*)(FaultDetectors&, DoctorRepairList&);
  // Indexed by enmHardwareID.
  static constexpr Routine kRoutines[kHardwareCategoryCount] = {
      DoctorDiagnoseAudio,   DoctorDiagnoseMainboard, DoctorDiagnoseBluetooth, DoctorDiagnoseNetcard,
      DoctorDiagnoseCpu,     DoctorDiagnoseMemory,    DoctorDiagnoseDisk,      DoctorDiagnoseGpu,
      DoctorDiagnoseDisplay, DoctorDiagnoseBattery,   DoctorDiagnoseKeyboard,  DoctorDiagnoseFingerprint,
  };
  if (!IsHardwareCategory(category)) return FreshVerdict();
  return kRoutines[category](detectors, repairs);
}

}  // namespace zel::sysdiagnose
