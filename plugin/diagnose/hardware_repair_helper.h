#pragma once
// The repair dispatcher: turns a repair name and a failing line's code into one call of the
// fault-detection library, one device family at a time; runs single repairs in the background;
// counts fully repaired categories in the registry. The detect page's repair run is DetectRunner's.
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "DeviceFalutDetect/DeviceFalutDetect.h"
#include "model/records.h"

namespace zel::sysdiagnose {

class HardwareRepairHelper {
 public:
  using RepairResult = HardwareDetect::tagHARDWARE_REPAIR_RESULT;
  using RepairDoneCallback = std::function<void(RepairResult& result)>;

  static HardwareRepairHelper& Instance();
  // A result before any repair ran: succeeded, nothing to restart, no message. An unknown repair
  // name leaves it so.
  static RepairResult FreshResult() { return {0, false, false, true, u""}; }

  HardwareRepairHelper(const HardwareRepairHelper&) = delete;
  HardwareRepairHelper& operator=(const HardwareRepairHelper&) = delete;

  // Looks the name up (exact, case-sensitive) and runs its repair into `result`; an unknown name
  // leaves `result` untouched.
  void Repair(std::u16string repairName, std::u16string errorCodeText, RepairResult& result);

  // One repair on its own detached thread; `onRepairDone` (when set) receives the result.
  void RepairAsync(const std::u16string& repairName, uint32_t errorCode, RepairDoneCallback onRepairDone);

  // Adds `n` to the registry's count of fully repaired categories, saturating at 4294967295.
  static void AddRepairCount(uint32_t n);

  // The registry place of the counter.
  static constexpr const char* kRepairCountKey = "\\SOFTWARE\\Nexwarden\\HardareDetectRepair";
  static constexpr const char* kRepairCountValue = "Numbers";

 private:
  using Entry = std::function<void(RepairResult& result, const std::u16string& errorCodeText)>;

  HardwareRepairHelper();

  HardwareDetect::CKeyBoardDetect keyboard_;
  HardwareDetect::CBluetoothDetect bluetooth_;
  HardwareDetect::CVideoCardDetect videoCard_;
  HardwareDetect::CBiometricDetect biometric_;
  std::map<std::u16string, Entry> table_;
  std::mutex wifiLock_, keyboardLock_, audioLock_, bluetoothLock_, graphicsLock_, fingerprintLock_;
};

}  // namespace zel::sysdiagnose
