#pragma once
// The result record the health-check module shows: a summary and one row per category.
#include <cstdint>
#include <string>
#include <vector>

#include "ipc/doctor_item.h"
#include "ipc/iipc_data_io.h"

namespace zel::sysdiagnose {

struct tagDoctorResult {
  uint32_t nModuleId = 0;
  std::u16string strSummaryKey;  // the string-table key of the summary, not its text
  uint32_t nAbnormalCount = 0;
  std::u16string strSummary;
  std::u16string strDetail;
  std::vector<tagDoctorItem> vecItems;  // catalogue order
  uint32_t nTime = 5000;
  uint8_t bFinished = 1;  // 0 while a detection or repair goes on
  uint8_t bReserved = 0;

  bool operator==(const tagDoctorResult&) const = default;
};

void Serialize(IIPCDataIO& io, const tagDoctorResult& result);
void Unserialize(IIPCDataIO& io, tagDoctorResult& result);

}  // namespace zel::sysdiagnose
