#pragma once
// The host's fault-detection library (namespace HardwareDetect). Calls are synchronous, may take
// long (a profile's delayMs), and answer from the machine model.
#include <cstdint>
#include <string>

namespace HardwareDetect {

struct tagHARDWARE_DETECT_RESULT {
  uint32_t code = 0;
  std::u16string messageKey;
  bool passed = true;
  uint32_t level = 0;
};

struct tagHARDWARE_REPAIR_RESULT {
  uint32_t code = 0;
  bool needRestart = false;
  bool needShutdown = false;
  bool succeeded = true;
  std::u16string message;
};

// One verdict byte per SMART attribute, 0 = normal.
struct tagHHD_DISK_SMART_INFO {
  uint8_t attributes[24];
};
struct tagSSD_DISK_SMART_INFO {
  uint8_t attributes[22];
};
static_assert(sizeof(tagHHD_DISK_SMART_INFO) == 24);
static_assert(sizeof(tagSSD_DISK_SMART_INFO) == 22);

class CCpuTest {
 public:
  bool IsSupportSSE();
  bool IsSupportSSE2();
  bool IsSupportSSSE3();
  bool IsSupportSSE41();
  bool IsSupportSSE42();
  uint32_t TestSSE(std::u16string& detail);
  uint32_t TestSSE2(std::u16string& detail);
  uint32_t TestSSE3(std::u16string& detail);
  uint32_t TestSSSE3(std::u16string& detail);
  uint32_t TestSSE41(std::u16string& detail);
  uint32_t TestSSE42(std::u16string& detail);
};

class CMemFaultDetect {
 public:
  uint32_t CheckStuckAddr(std::u16string& detail, int& flag);
  uint32_t CheckLineSeq(std::u16string& detail, int& flag);
  uint32_t CheckBlockSeq(std::u16string& detail, int& flag);
  uint32_t CheckBit0Walk(std::u16string& detail, int& flag);
  uint32_t CheckRandom(std::u16string& detail, int& flag);
  uint32_t CheckBoard(std::u16string& detail, int& flag);
  uint32_t CheckArithOperation(std::u16string& detail, int& flag);
  uint32_t CheckLogicOperation(std::u16string& detail, int& flag);
  uint32_t CheckBitFlip(std::u16string& detail, int& flag);
};

class CDiskFaultDetect {
 public:
  // The disk is found by its firmware revision among the machine's disks; 2 when none matches.
  uint32_t CheckHhdSmartResult(const std::u16string& firmware, tagHHD_DISK_SMART_INFO& info, int& flag);
  uint32_t CheckSsdSmartResult(const std::u16string& firmware, tagSSD_DISK_SMART_INFO& info, int& flag);
};

class CVideoCardDetect {
 public:
  int CheckDevice(tagHARDWARE_DETECT_RESULT& result);
  int CheckDeviceStatus(tagHARDWARE_DETECT_RESULT& result);
  tagHARDWARE_REPAIR_RESULT RepairVIDEOCARDProblems(uint32_t errorCode);
};

class CAudioDetect {
 public:
  static CAudioDetect& GetInstance();
  int CheckDevice(tagHARDWARE_DETECT_RESULT& result);
  int CheckLoopBack(tagHARDWARE_DETECT_RESULT& result);
  tagHARDWARE_REPAIR_RESULT RepairAudioProblem(uint32_t errorCode);
};

class WifiFaultDetect {
 public:
  static WifiFaultDetect& GetInstance();
  int CheckDevice(tagHARDWARE_DETECT_RESULT& result);
  int CheckNetworkCard(tagHARDWARE_DETECT_RESULT& result);
  int CheckWifiSwitch(tagHARDWARE_DETECT_RESULT& result);
  int CheckWifiSignal(tagHARDWARE_DETECT_RESULT& result);
  tagHARDWARE_REPAIR_RESULT RepairWifiDriver();
  tagHARDWARE_REPAIR_RESULT RepairWifiProblem(uint32_t errorCode);

 private:
  WifiFaultDetect() = default;
};

class CBatteryDetect {
 public:
  uint32_t CheckDevice(std::u16string& detail);
  uint32_t TestVoltage(std::u16string& detail);
  uint32_t TestLoss(std::u16string& detail);
};

class CKeyBoardDetect {
 public:
  int DetetctFilterKey(tagHARDWARE_DETECT_RESULT& result);
  int DetetctHotKey(tagHARDWARE_DETECT_RESULT& result);
  tagHARDWARE_REPAIR_RESULT CloseFilterKey();
  tagHARDWARE_REPAIR_RESULT RepairHotkey();
};

class CBluetoothDetect {
 public:
  bool IsSurportBt();
  int CheckDevice(tagHARDWARE_DETECT_RESULT& result);
  int CheckState(tagHARDWARE_DETECT_RESULT& result);
  tagHARDWARE_REPAIR_RESULT RepairBTProblems(uint32_t errorCode);
};

class CBiometricDetect {
 public:
  int CheckDevice(tagHARDWARE_DETECT_RESULT& result);
  int CheckFunction(tagHARDWARE_DETECT_RESULT& result);
  tagHARDWARE_REPAIR_RESULT RepairByErrorCode(uint32_t errorCode);
};

}  // namespace HardwareDetect
