#pragma once
// The common form of a category routine: the detector set, the verdict to fill, and four
// callables. The category passed to a callable is always the routine's own.
#include <cstdint>
#include <functional>
#include <string>

#include "diagnose/fault_detectors.h"
#include "model/records.h"

namespace zel::sysdiagnose {

// Before each check: its announcement.
using CheckStartCallback = std::function<void(int32_t category, const tagDetectItemDetail& detail)>;
// After each check: its finished line.
using LineCallback = std::function<void(int32_t category, const tagHardwareDetectInfo& line)>;
// Once, when the presence check returns a nonzero code.
using MessageCallback = std::function<void(int32_t category, const std::u16string& message)>;
// Once, at the end: the verdict.
using ResultCallback = std::function<void(int32_t category, const tagDetectResult& verdict)>;

using DiagnoseRoutine = tagDetectResult (*)(FaultDetectors& detectors, tagDetectResult& verdict,
                                            const CheckStartCallback& onCheckStart, const LineCallback& onLine,
                                            const MessageCallback& onMessage, const ResultCallback& onResult);

}  // namespace zel::sysdiagnose
