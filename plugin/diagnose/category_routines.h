#pragma once
// The per-category diagnosis routines: each runs its category's item tests in a fixed order,
// announces every check before it runs and reports its line afterwards, folds the lines into the
// verdict, sends the category's telemetry event and hands the verdict on. They run on the
// diagnosis worker thread. The disk routine lives in disk_health.h.
#include <cstdint>

#include "diagnose/routine_callbacks.h"

namespace zel::sysdiagnose {

// Unset callables are skipped.
tagDetectResult DiagnoseAudio(FaultDetectors& detectors, tagDetectResult& verdict,
                              const CheckStartCallback& onCheckStart, const LineCallback& onLine,
                              const MessageCallback& onMessage, const ResultCallback& onResult);
tagDetectResult DiagnoseMainboard(FaultDetectors& detectors, tagDetectResult& verdict,
                                  const CheckStartCallback& onCheckStart, const LineCallback& onLine,
                                  const MessageCallback& onMessage, const ResultCallback& onResult);
tagDetectResult DiagnoseBluetooth(FaultDetectors& detectors, tagDetectResult& verdict,
                                  const CheckStartCallback& onCheckStart, const LineCallback& onLine,
                                  const MessageCallback& onMessage, const ResultCallback& onResult);
tagDetectResult DiagnoseNetcard(FaultDetectors& detectors, tagDetectResult& verdict,
                                const CheckStartCallback& onCheckStart, const LineCallback& onLine,
                                const MessageCallback& onMessage, const ResultCallback& onResult);
tagDetectResult DiagnoseCpu(FaultDetectors& detectors, tagDetectResult& verdict,
                            const CheckStartCallback& onCheckStart, const LineCallback& onLine,
                            const MessageCallback& onMessage, const ResultCallback& onResult);
tagDetectResult DiagnoseMemory(FaultDetectors& detectors, tagDetectResult& verdict,
                               const CheckStartCallback& onCheckStart, const LineCallback& onLine,
                               const MessageCallback& onMessage, const ResultCallback& onResult);
tagDetectResult DiagnoseGpu(FaultDetectors& detectors, tagDetectResult& verdict,
                            const CheckStartCallback& onCheckStart, const LineCallback& onLine,
                            const MessageCallback& onMessage, const ResultCallback& onResult);
tagDetectResult DiagnoseDisplay(FaultDetectors& detectors, tagDetectResult& verdict,
                                const CheckStartCallback& onCheckStart, const LineCallback& onLine,
                                const MessageCallback& onMessage, const ResultCallback& onResult);
tagDetectResult DiagnoseBattery(FaultDetectors& detectors, tagDetectResult& verdict,
                                const CheckStartCallback& onCheckStart, const LineCallback& onLine,
                                const MessageCallback& onMessage, const ResultCallback& onResult);
tagDetectResult DiagnoseKeyboard(FaultDetectors& detectors, tagDetectResult& verdict,
                                 const CheckStartCallback& onCheckStart, const LineCallback& onLine,
                                 const MessageCallback& onMessage, const ResultCallback& onResult);
tagDetectResult DiagnoseFingerprint(FaultDetectors& detectors, tagDetectResult& verdict,
                                    const CheckStartCallback& onCheckStart, const LineCallback& onLine,
                                    const MessageCallback& onMessage, const ResultCallback& onResult);

// The routine of a category (an enmHardwareID value); nullptr for any other number.
DiagnoseRoutine RoutineFor(int32_t category);

}  // namespace zel::sysdiagnose
