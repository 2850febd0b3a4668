#pragma once
// Where a category's state sits in the run records.
#include <array>
#include <cstdint>
#include <optional>

#include "model/records.h"

namespace zel::sysdiagnose {

// Index among the twelve states of tagDiagnoseRecord / tagQueryDataItem (processor first);
// nullopt for a number that is not a category.
std::optional<int32_t> StateIndexOf(int32_t hardwareId);

// The state fields by index, so that code can address them as the table they are.
int64_t& StateAt(tagDiagnoseRecord& record, int32_t stateIndex);
int32_t& StateAt(tagQueryDataItem& item, int32_t stateIndex);
int64_t StateAt(const tagDiagnoseRecord& record, int32_t stateIndex);
int32_t StateAt(const tagQueryDataItem& item, int32_t stateIndex);

// The state of a category (nullptr for a number that is not a category).
int64_t* StateOf(tagDiagnoseRecord& record, int32_t hardwareId);
int32_t* StateOf(tagQueryDataItem& item, int32_t hardwareId);

// A new run record: every state -1, both counts 0, empty texts, secondTime -1.
tagDiagnoseRecord ResetDiagnoseRecord();

}  // namespace zel::sysdiagnose
