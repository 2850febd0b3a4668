#include "model/hardware_state.h"

namespace zel::sysdiagnose {
namespace {

// enmHardwareID -> state index.
constexpr std::array<int32_t, kHardwareCategoryCount> kStateIndex = {6, 1, 8, 7, 0, 2, 3, 4, 5, 9, 10, 11};

template <typename Record, typename Value>
Value& StateField(Record& r, int32_t index) {
  Value* fields[] = {&r.cpuState,     &r.mainboardState, &r.memoryState,    &r.diskState,
                     &r.gpuState,     &r.displayState,   &r.audioState,     &r.netcardState,
                     &r.bluetoothState, &r.batteryState, &r.keyboardState,  &r.fingerprintState};
  return *fields[index];
}

}  // namespace

std::optional<int32_t> StateIndexOf(int32_t hardwareId) {
  if (!IsHardwareCategory(hardwareId)) return std::nullopt;
  return kStateIndex[static_cast<size_t>(hardwareId)];
}

int64_t& StateAt(tagDiagnoseRecord& record, int32_t stateIndex) {
  return StateField<tagDiagnoseRecord, int64_t>(record, stateIndex);
}
int32_t& StateAt(tagQueryDataItem& item, int32_t stateIndex) {
  return StateField<tagQueryDataItem, int32_t>(item, stateIndex);
}
int64_t StateAt(const tagDiagnoseRecord& record, int32_t stateIndex) {
  return StateField<const tagDiagnoseRecord, const int64_t>(record, stateIndex);
}
int32_t StateAt(const tagQueryDataItem& item, int32_t stateIndex) {
  return StateField<const tagQueryDataItem, const int32_t>(item, stateIndex);
}

int64_t* StateOf(tagDiagnoseRecord& record, int32_t hardwareId) {
  const auto index = StateIndexOf(hardwareId);
  return index ? &StateAt(record, *index) : nullptr;
}
int32_t* StateOf(tagQueryDataItem& item, int32_t hardwareId) {
  const auto index = StateIndexOf(hardwareId);
  return index ? &StateAt(item, *index) : nullptr;
}

tagDiagnoseRecord ResetDiagnoseRecord() { return tagDiagnoseRecord{}; }

}  // namespace zel::sysdiagnose
