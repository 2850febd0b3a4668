#pragma once
// The health-check protocol of the host's bus, one definition for both ends: the health-check
// module (0x200000) that asks, the hardware-diagnosis plug-in (0x390000) that answers, and the log
// service (0x3B0000) the plug-in talks to beside it. A payload is the version word and a record.
//
// Each record lists its fields once, in wire order, in WireFields; an end's writer and reader are
// visitors of that list, so the two ends cannot disagree on a layout. On the wire a number is
// little-endian in its own width, a wide string its u32 count of UTF-16 units and the units, a
// list its u32 count and the elements.
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace doctor {

inline constexpr uint32_t kSysdiagnoseModule = 0x390000;
inline constexpr uint32_t kMsgDoctorStart = 0x390020;   // one byte: 1 start a detection, 0 stop only
inline constexpr uint32_t kMsgDoctorRepair = 0x390021;  // a list of item indexes

inline constexpr uint32_t kDoctorModule = 0x200000;  // the health-check module and its message class
inline constexpr uint32_t kMsgModuleInfoQuery = 0x200009;
inline constexpr uint32_t kMsgModuleInfoAnswer = 0x20000A;
inline constexpr uint32_t kMsgDoctorResult = 0x20000B;     // result of a detection or a repair
inline constexpr uint32_t kMsgDoctorRunResult = 0x20000E;  // result after an interactive diagnosis run

inline constexpr uint32_t kLogServiceModule = 0x3B0000;
inline constexpr uint32_t kMsgDetectStarted = 0x3B0001;
inline constexpr uint32_t kMsgLogListRequest = 0x3B0002;
inline constexpr uint32_t kMsgStartUpload = 0x3B0003;
inline constexpr uint32_t kMsgUploadDeclined = 0x3B0004;
inline constexpr uint32_t kMsgDetectReply = 0x3C0001;  // one byte: not 0 when the log upload is offered
inline constexpr uint32_t kMsgLogList = 0x3C0002;      // a list of (u32 module, narrow file name)

inline constexpr uint32_t kNoReply = 0xFFFFFFFF;
inline constexpr uint32_t kPayloadVersion = 1;

inline constexpr uint32_t kDoctorColorNormal = 0xFF68D568;    // green
inline constexpr uint32_t kDoctorColorAbnormal = 0xFFFA2A2D;  // red

// nState of a row.
inline constexpr uint32_t kDoctorStateBusy = 0;  // under diagnosis or under repair
inline constexpr uint32_t kDoctorStateNormal = 2;
inline constexpr uint32_t kDoctorStateAbnormal = 3;

// One row of the health-check module's list: the state of one hardware category.
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

// The result the health-check module shows: a summary and one row per category.
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

// What a module tells the health-check module about itself (the answer to its query).
struct tagDoctorModuleInfo {
  std::u16string strIcon;
  std::u16string strModuleIcon;
  std::u16string strNameKey;  // a string-table key, not its text
  uint32_t nModuleId = 0xFFFFFFFF;
  uint32_t nStartMsgId = 0xFFFFFFFF;
  uint32_t nRepairMsgId = 0xFFFFFFFF;
  uint16_t usTime = 5000;

  bool operator==(const tagDoctorModuleInfo&) const = default;
};

// The hardware column of a row: the model name in the host list's small grey text.
inline std::u16string DoctorHardwareText(const std::u16string& modelName) {
  return u"{f 16}{c #7F7F7F}" + modelName + u"{/f}{/c}";
}

template <typename Record, typename Plain>
concept RecordOf = std::same_as<std::remove_const_t<Record>, Plain>;

template <RecordOf<tagDoctorItem> Item, typename Visit>
void WireFields(Item& item, Visit&& visit) {
  visit(item.strIcon);
  visit(item.clrStatus);
  visit(item.strName);
  visit(item.strHardware);
  visit(item.strResult);
  visit(item.nState);
  visit(item.nReserved1);
  visit(item.strAction);
  visit(item.clrAction);
  visit(item.clrActionAlt);
  visit(item.strReserved);
  visit(item.bReserved1);
  visit(item.bReserved2);
  visit(item.nReserved3);
}

template <RecordOf<tagDoctorResult> Result, typename Visit>
void WireFields(Result& result, Visit&& visit) {
  visit(result.nModuleId);
  visit(result.strSummaryKey);
  visit(result.nAbnormalCount);
  visit(result.strSummary);
  visit(result.strDetail);
  visit(result.vecItems);
  visit(result.nTime);
  visit(result.bFinished);
  visit(result.bReserved);
}

template <RecordOf<tagDoctorModuleInfo> Info, typename Visit>
void WireFields(Info& info, Visit&& visit) {
  visit(info.strIcon);
  visit(info.strModuleIcon);
  visit(info.strNameKey);
  visit(info.nModuleId);
  visit(info.nStartMsgId);
  visit(info.nRepairMsgId);
  visit(info.usTime);
}

// The fewest bytes a record takes on the wire (empty strings and lists): what a reader checks a
// list's count against before it believes it.
struct WireSizeFloor {
  size_t bytes = 0;
  void operator()(const uint32_t&) { bytes += 4; }
  void operator()(const uint16_t&) { bytes += 2; }
  void operator()(const uint8_t&) { bytes += 1; }
  void operator()(const std::u16string&) { bytes += 4; }
  template <typename T>
  void operator()(const std::vector<T>&) {
    bytes += 4;
  }
};

template <typename Record>
size_t SmallestWireSize() {
  const Record empty{};
  WireSizeFloor floor;
  WireFields(empty, floor);
  return floor.bytes;
}

}  // namespace doctor
