#pragma once
// The health-check module's records as the host reads them off the bus: the plug-in's module
// information (0x20000A) and its result reports (0x20000B), each after the version word, fields
// in wire order under their wire names.
#include <cstdint>
#include <string>
#include <vector>

#include "app/payload_codec.h"

namespace app {

// nState of a row.
inline constexpr uint32_t kDoctorStateBusy = 0;
inline constexpr uint32_t kDoctorStateNormal = 2;
inline constexpr uint32_t kDoctorStateAbnormal = 3;

struct DoctorRow {
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
  uint8_t bReserved2 = 0;
  uint32_t nReserved3 = 0;
  bool operator==(const DoctorRow&) const = default;
};

struct DoctorReport {
  uint32_t nModuleId = 0;
  std::u16string strSummaryKey;
  uint32_t nAbnormalCount = 0;
  std::u16string strSummary;
  std::u16string strDetail;
  std::vector<DoctorRow> vecItems;
  uint32_t nTime = 0;
  uint8_t bFinished = 0;
  uint8_t bReserved = 0;
  bool operator==(const DoctorReport&) const = default;
};

struct DoctorModuleInfo {
  std::u16string strIcon;
  std::u16string strModuleIcon;
  std::u16string strNameKey;
  uint32_t nModuleId = 0;
  uint32_t nStartMsgId = 0;
  uint32_t nRepairMsgId = 0;
  uint16_t usTime = 0;
  bool operator==(const DoctorModuleInfo&) const = default;
};

// A whole payload, version word first; std::runtime_error when it is not one.
DoctorReport ReadDoctorReport(PayloadReader& reader);
DoctorModuleInfo ReadDoctorModuleInfo(PayloadReader& reader);

// "{f 16}{c #7F7F7F}Model{/f}{/c}" -> "Model": a row's rich text without the tags of the host's list.
std::string PlainText(const std::u16string& rich);

}  // namespace app
