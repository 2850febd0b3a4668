#pragma once
// One row of the health-check module's list: the state of one hardware category.
#include <cstdint>
#include <string>

#include "ipc/iipc_data_io.h"

namespace zel::sysdiagnose {

inline constexpr uint32_t kDoctorColorNormal = 0xFF68D568;    // green
inline constexpr uint32_t kDoctorColorAbnormal = 0xFFFA2A2D;  // red

// nState values.
inline constexpr uint32_t kDoctorStateBusy = 0;  // under diagnosis or under repair
inline constexpr uint32_t kDoctorStateNormal = 2;
inline constexpr uint32_t kDoctorStateAbnormal = 3;

struct tagDoctorItem {
  std::u16string strIcon;
  uint32_t clrStatus = 0;
  std::u16string strName;
  std::u16string strHardware;
  std::u16string strResult;
  uint32_t nState = kDoctorStateBusy;
  uint32_t nReserved1 = 0;
  std::u16string strAction;
  uint32_t clrAction = 0;
  uint32_t clrActionAlt = 0;
  std::u16string strReserved;
  uint8_t bReserved1 = 0;
  uint8_t bReserved2 = 1;
  uint32_t nReserved3 = 5;

  bool operator==(const tagDoctorItem&) const = default;
};

// The hardware column of a row: the model name in the host list's small grey text.
inline std::u16string DoctorHardwareText(const std::u16string& modelName) {
  return u"{f 16}{c #7F7F7F}" + modelName + u"{/f}{/c}";
}

void Serialize(IIPCDataIO& io, const tagDoctorItem& item);
void Unserialize(IIPCDataIO& io, tagDoctorItem& item);

}  // namespace zel::sysdiagnose
