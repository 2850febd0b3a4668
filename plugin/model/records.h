#pragma once
// The plain records and enumerations the subsystems hand to one another.
#include <cstdint>
#include <string>

// One log file offered for upload, as the host's diagnosis service lists it (global scope).
struct SYSTEM_DETECT_LOG_ITEM {
  int32_t iModule = 0;       // pkt::sd::emDataType; 4 is the application log
  std::string strLogName;    // UTF-8

  bool operator==(const SYSTEM_DETECT_LOG_ITEM&) const = default;
};

namespace zel::sysdiagnose {

enum enmHardwareID : int32_t {
  HARDWARE_AUDIO = 0,
  HARDWARE_MAINBOARD = 1,
  HARDWARE_BLUETOOTH = 2,
  HARDWARE_NETCARD = 3,
  HARDWARE_CPU = 4,
  HARDWARE_MEMORY = 5,
  HARDWARE_DISK = 6,
  HARDWARE_GPU = 7,
  HARDWARE_DISPLAY = 8,
  HARDWARE_BATTERY = 9,
  HARDWARE_KEYBOARD = 10,
  HARDWARE_FINGERPRINT = 11,
};

inline constexpr int32_t kHardwareCategoryCount = 12;

// True for the twelve known categories; code that switches over categories passes over others.
constexpr bool IsHardwareCategory(int32_t id) { return id >= 0 && id < kHardwareCategoryCount; }

enum enumPageType : int32_t {
  PAGE_ARCHIEVEMENT = 0,
  PAGE_SCAN = 1,
  PAGE_DETECT = 2,
};

struct tagDetectItem {
  int32_t id = 0;
  std::u16string name;
  std::u16string description;

  bool operator==(const tagDetectItem&) const = default;
};

struct tagXmlUIInfo {
  int32_t id = 0;
  std::u16string modelName;
  std::u16string iconSmall;
  std::u16string iconMiddle;
  std::u16string name;
  std::u16string icon30;
  std::u16string detectName;
  std::u16string iconLarge;
  std::u16string summary;

  bool operator==(const tagXmlUIInfo&) const = default;
};

struct tagHardwareDetailInfo {
  int32_t separator = 0;
  std::u16string title;
  std::u16string content;

  bool operator==(const tagHardwareDetailInfo&) const = default;
};

struct tagDetectItemDetail {
  std::u16string name;
  std::u16string repairName;
  std::u16string repairFailText;

  bool operator==(const tagDetectItemDetail&) const = default;
};

struct tagHardwareDetectInfo {
  std::u16string name;
  bool passed = true;
  std::u16string text;
  int32_t code = 0;
  bool valid = true;
  int32_t level = 0;

  bool operator==(const tagHardwareDetectInfo&) const = default;
};

struct tagDetectResult {
  bool passed = true;
  bool extra = false;
  std::u16string text;
  int32_t level = 1;

  bool operator==(const tagDetectResult&) const = default;
};

struct tagRepairItemInfo {
  int32_t itemId = 0;
  std::u16string title;
  std::u16string repairName;
  std::u16string errorCode;

  bool operator==(const tagRepairItemInfo&) const = default;
};

// The run record handed to the record store. The twelve states are in record order
// (processor first), not in enmHardwareID order: see StateIndexOf.
struct tagDiagnoseRecord {
  int64_t cpuState = -1;
  int64_t mainboardState = -1;
  int64_t memoryState = -1;
  int64_t diskState = -1;
  int64_t gpuState = -1;
  int64_t displayState = -1;
  int64_t audioState = -1;
  int64_t netcardState = -1;
  int64_t bluetoothState = -1;
  int64_t batteryState = -1;
  int64_t keyboardState = -1;
  int64_t fingerprintState = -1;
  int64_t normalCount = 0;
  int64_t abnormalCount = 0;
  std::string date;
  std::string time;
  int64_t secondTime = -1;

  bool operator==(const tagDiagnoseRecord&) const = default;
};

// A run read back from the history.
struct tagQueryDataItem {
  int32_t cpuState = 0;
  int32_t mainboardState = 0;
  int32_t memoryState = 0;
  int32_t diskState = 0;
  int32_t gpuState = 0;
  int32_t displayState = 0;
  int32_t audioState = 0;
  int32_t netcardState = 0;
  int32_t bluetoothState = 0;
  int32_t batteryState = 0;
  int32_t keyboardState = 0;
  int32_t fingerprintState = 0;
  int32_t normalCount = 0;
  int32_t abnormalCount = 0;
  std::string date;
  std::string time;
  int32_t secondTime = 0;

  bool operator==(const tagQueryDataItem&) const = default;
};

}  // namespace zel::sysdiagnose
