#pragma once
// The repair dispatcher: turns a repair name and a failing line's code into one call of the
// fault-detection library, one device family at a time; runs single repairs in the background and
// whole repair runs for the detect page; counts fully repaired categories in the registry.
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "DeviceFalutDetect/DeviceFalutDetect.h"
#include "model/records.h"

namespace zel::sysdiagnose {

class DetectRunner;

class HardwareRepairHelper {
 public:
  using RepairResult = HardwareDetect::tagHARDWARE_REPAIR_RESULT;
  using RepairPlan = std::map<enmHardwareID, std::vector<tagRepairItemInfo>>;

  using RepairDoneCallback = std::function<void(RepairResult& result)>;
  using CategoryStartCallback = std::function<void(enmHardwareID category)>;
  using EntryStartCallback = std::function<void(int32_t position, enmHardwareID category, tagRepairItemInfo& entry)>;
  using CancelledCallback = std::function<void()>;
  using EntryDoneCallback = std::function<void(int32_t position, enmHardwareID category, tagRepairItemInfo& entry,
                                               RepairResult& result)>;
  using CategoryDoneCallback = std::function<void(int32_t position, enmHardwareID category, bool allSucceeded)>;
  using RepairFinishedCallback = std::function<void(bool allSucceeded, bool needRestart, int32_t firstFailed)>;

  static HardwareRepairHelper& Instance();

  HardwareRepairHelper(const HardwareRepairHelper&) = delete;
  HardwareRepairHelper& operator=(const HardwareRepairHelper&) = delete;

  // Looks the name up (exact, case-sensitive) and runs its repair into `result`; an unknown name
  // leaves `result` untouched.
  void Repair(std::u16string repairName, std::u16string errorCodeText, RepairResult& result);

  // One repair on its own detached thread; `onRepairDone` (when set) receives the result.
  void RepairAsync(const std::u16string& repairName, uint32_t errorCode, RepairDoneCallback onRepairDone);

  // The detect page's repair-all pass over the runner's current selection, on a detached worker.
  void StartRepairRun(DetectRunner& runner, RepairPlan plan, CategoryStartCallback onRepairCategoryStart,
                      EntryStartCallback onRepairEntryStart, CancelledCallback onCancelled,
                      EntryDoneCallback onRepairEntryDone, CategoryDoneCallback onRepairCategoryDone,
                      RepairFinishedCallback onRepairFinished);

  // Adds `n` to the registry's count of fully repaired categories, saturating at 4294967295.
  static void AddRepairCount(uint32_t n);

  // The registry place of the counter.
  static constexpr const char* kRepairCountKey = "\\SOFTWARE\\Nexwarden\\HardareDetectRepair";
  static constexpr const char* kRepairCountValue = "Numbers";

 private:
  struct RunTask;
  // What a repair run that went through hands the page.
  struct RunOutcome {
    bool allOk = true;
    bool restart = false;
    int32_t firstFailed = -1;
  };
  using Entry = std::function<void(RepairResult& result, const std::u16string& errorCodeText)>;

  HardwareRepairHelper();
  // Nothing when a cancel request stopped the run.
  static std::optional<RunOutcome> RunRepairs(const RunTask& task);

  HardwareDetect::CKeyBoardDetect keyboard_;
  HardwareDetect::CBluetoothDetect bluetooth_;
  HardwareDetect::CVideoCardDetect videoCard_;
  HardwareDetect::CBiometricDetect biometric_;
  std::map<std::u16string, Entry> table_;
  std::mutex wifiLock_, keyboardLock_, audioLock_, bluetoothLock_, graphicsLock_, fingerprintLock_;
};

}  // namespace zel::sysdiagnose
