#pragma once
// Disk health from SMART data: every attribute the fault-detection library judges becomes one
// result line, and each disk's raw verdicts go to telemetry. The evaluators are shared by the
// disk routine and the health-check service.
#include <cstdint>
#include <string>
#include <vector>

#include "diagnose/routine_callbacks.h"

namespace zel::sysdiagnose {

// Evaluates disk `diskIndex` as a hard disk (24 attributes) or a solid-state drive (22):
// appends one line per attribute in table order, writes the event payload (every verdict byte,
// then the library code minus 1 as an unsigned number) and returns the library's disk code
// (1 healthy, 2 not listed).
uint32_t EvaluateHddSmart(FaultDetectors& detectors, int diskIndex, std::vector<tagHardwareDetectInfo>& lines,
                          std::string& payload);
uint32_t EvaluateSsdSmart(FaultDetectors& detectors, int diskIndex, std::vector<tagHardwareDetectInfo>& lines,
                          std::string& payload);

// The disk category's routine. Attribute lines are reported but never enter the verdict, which
// therefore always passes. onMessage is never called; with no disk at all onResult is not either.
tagDetectResult DiagnoseDisk(FaultDetectors& detectors, tagDetectResult& verdict,
                             const CheckStartCallback& onCheckStart, const LineCallback& onLine,
                             const MessageCallback& onMessage, const ResultCallback& onResult);

}  // namespace zel::sysdiagnose
