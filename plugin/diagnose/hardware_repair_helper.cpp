#include "diagnose/hardware_repair_helper.h"

#include <chrono>
#include <exception>
#include <optional>
#include <string>
#include <thread>

#include "diagnose/detect_runner.h"
#include "history/diagnose_history.h"
#include "ipc/ipc_helper.h"
#include "model/hardware_catalog.h"
#include "model/hardware_state.h"
#include "model/page_call.h"
#include "platform/clock.h"
#include "platform/encoding.h"
#include "platform/numparse.h"
#include "utility/Logger.h"
#include "utility/Registry.h"

namespace zel::sysdiagnose {

using HardwareDetect::CAudioDetect;
using HardwareDetect::WifiFaultDetect;

namespace {

uint32_t CodeArgument(const std::u16string& text) { return static_cast<uint32_t>(platform::Wtoi(text)); }

HardwareRepairHelper::RepairResult FreshRepairResult() { return {0, false, false, true, u""}; }

std::u16string UnsignedText(uint32_t code) { return platform::Utf8ToUtf16(std::to_string(code)); }

}  // namespace

struct HardwareRepairHelper::RunTask {
  DetectRunner* runner;
  RepairPlan plan;
  CategoryStartCallback onRepairCategoryStart;
  EntryStartCallback onRepairEntryStart;
  CancelledCallback onCancelled;
  EntryDoneCallback onRepairEntryDone;
  CategoryDoneCallback onRepairCategoryDone;
  RepairFinishedCallback onRepairFinished;
};

HardwareRepairHelper& HardwareRepairHelper::Instance() {
  static HardwareRepairHelper instance;
  return instance;
}

HardwareRepairHelper::HardwareRepairHelper() {
  // Every entry holds its family's lock for the whole library call, so repairs of one device
  // family never overlap whoever starts them.
  struct Row {
    const char16_t* key;
    std::mutex HardwareRepairHelper::*lock;
    std::function<RepairResult(HardwareRepairHelper&, const std::u16string&)> call;
  };
  const Row rows[] = {
      {u"RepairWifiDriver", &HardwareRepairHelper::wifiLock_,
       [](HardwareRepairHelper&, const std::u16string&) { return WifiFaultDetect::GetInstance().RepairWifiDriver(); }},
      {u"RepairWifiProblem", &HardwareRepairHelper::wifiLock_,
       [](HardwareRepairHelper&, const std::u16string& text) {
         return WifiFaultDetect::GetInstance().RepairWifiProblem(CodeArgument(text));
       }},
      {u"RepairHotkey", &HardwareRepairHelper::keyboardLock_,
       [](HardwareRepairHelper& self, const std::u16string&) { return self.keyboard_.RepairHotkey(); }},
      {u"RepairFilterKey", &HardwareRepairHelper::keyboardLock_,
       [](HardwareRepairHelper& self, const std::u16string&) { return self.keyboard_.CloseFilterKey(); }},
      {u"RepairAudio", &HardwareRepairHelper::audioLock_,
       [](HardwareRepairHelper&, const std::u16string& text) {
         return CAudioDetect::GetInstance().RepairAudioProblem(CodeArgument(text));
       }},
      {u"RepairBluetooth", &HardwareRepairHelper::bluetoothLock_,
       [](HardwareRepairHelper& self, const std::u16string& text) {
         return self.bluetooth_.RepairBTProblems(CodeArgument(text));
       }},
      {u"RepairVideoCard", &HardwareRepairHelper::graphicsLock_,
       [](HardwareRepairHelper& self, const std::u16string& text) {
         return self.videoCard_.RepairVIDEOCARDProblems(CodeArgument(text));
       }},
      {u"RepairFingerprint", &HardwareRepairHelper::fingerprintLock_,
       [](HardwareRepairHelper& self, const std::u16string& text) {
         return self.biometric_.RepairByErrorCode(CodeArgument(text));
       }},
  };
  for (const Row& row : rows) {
    table_.emplace(row.key, [this, lock = row.lock, call = row.call](RepairResult& result, const std::u16string& text) {
      std::lock_guard guard(this->*lock);
      result = call(*this, text);
    });
  }
}

void HardwareRepairHelper::Repair(std::u16string repairName, std::u16string errorCodeText, RepairResult& result) {
  const auto it = table_.find(repairName);
  if (it != table_.end()) it->second(result, errorCodeText);
}

void HardwareRepairHelper::RepairAsync(const std::u16string& repairName, uint32_t errorCode,
                                       RepairDoneCallback onRepairDone) {
  std::thread([this, repairName, errorCode, onRepairDone = std::move(onRepairDone)] {
    RepairResult result = FreshRepairResult();
    try {
      Repair(repairName, UnsignedText(errorCode), result);
    } catch (const std::exception& e) {
      // The line's owner still hears back: a repair that threw did not succeed.
      hostlog::Error(std::string("repair ended by an exception: ") + e.what(),
                     "zel::sysdiagnose::HardwareRepairHelper::RepairAsync", "zel_diagnose_repair", __LINE__,
                     __PRETTY_FUNCTION__);
      result.succeeded = false;
    }
    CallPage(onRepairDone, "onRepairDone", result);
  }).detach();
}

void HardwareRepairHelper::StartRepairRun(DetectRunner& runner, RepairPlan plan,
                                          CategoryStartCallback onRepairCategoryStart,
                                          EntryStartCallback onRepairEntryStart, CancelledCallback onCancelled,
                                          EntryDoneCallback onRepairEntryDone,
                                          CategoryDoneCallback onRepairCategoryDone,
                                          RepairFinishedCallback onRepairFinished) {
  RunTask task{&runner,
               std::move(plan),
               std::move(onRepairCategoryStart),
               std::move(onRepairEntryStart),
               std::move(onCancelled),
               std::move(onRepairEntryDone),
               std::move(onRepairCategoryDone),
               std::move(onRepairFinished)};
  runner.cancelRequested_ = false;  // a late cancel of the diagnosis must not stop the repairs
  runner.StartWorker([task = std::move(task)] {
    DetectRunner& runner = *task.runner;
    std::optional<RunOutcome> outcome;
    try {
      outcome = RunRepairs(task);
    } catch (const std::exception& e) {
      // As with a cancel: keep what was repaired so far and tell the page the run is over.
      hostlog::Error(std::string("repair run ended by an exception: ") + e.what(),
                     "zel::sysdiagnose::HardwareRepairHelper::StartRepairRun", "zel_diagnose_repair", __LINE__,
                     __PRETTY_FUNCTION__);
    }
    if (!outcome) return runner.EndAsCancelled(task.onCancelled);
    DiagnoseHistory::SaveDiagnoseRecord(runner.record_);
    CallPage(task.onRepairFinished, "onRepairFinished", outcome->allOk, outcome->restart, outcome->firstFailed);
  });
}

std::optional<HardwareRepairHelper::RunOutcome> HardwareRepairHelper::RunRepairs(const RunTask& task) {
  DetectRunner& runner = *task.runner;
  RunOutcome outcome;
  uint32_t repaired = 0;

  const std::vector<enmHardwareID> selection = runner.categories_;
  for (size_t i = 0; i < selection.size(); ++i) {
    const auto position = static_cast<int32_t>(i);
    const enmHardwareID category = selection[i];
    const auto planned = task.plan.find(category);
    if (planned == task.plan.end() || planned->second.empty()) continue;

    CallPage(task.onRepairCategoryStart, "onRepairCategoryStart", category);
    bool categoryOk = true;
    for (tagRepairItemInfo entry : planned->second) {
      CallPage(task.onRepairEntryStart, "onRepairEntryStart", position, category, entry);
      platform::SleepFor(std::chrono::milliseconds(500));
      if (runner.cancelRequested_) return std::nullopt;
      RepairResult result = FreshRepairResult();
      Instance().Repair(entry.repairName, entry.errorCode, result);
      CallPage(task.onRepairEntryDone, "onRepairEntryDone", position, category, entry, result);
      if (!result.succeeded) categoryOk = outcome.allOk = false;
      if (result.needRestart) outcome.restart = true;
    }

    if (int64_t* state = StateOf(runner.record_, category)) *state = categoryOk ? 0 : 1;
    if (categoryOk) {
      ++runner.record_.normalCount;
      --runner.record_.abnormalCount;
      runner.SetDoctorState(category, kDoctorStateNormal);
      ++repaired;
    } else if (outcome.firstFailed == -1) {
      outcome.firstFailed = category;
    }
    GetHardwareCatalog().RefreshModelName(category);
    CallPage(task.onRepairCategoryDone, "onRepairCategoryDone", position, category, categoryOk);
  }

  AddRepairCount(repaired);
  runner.doctorReport_.bFinished = 1;
  IPCHelper::Instance().PostDoctorSummary(runner.doctorReport_, 2);
  return outcome;
}

void HardwareRepairHelper::AddRepairCount(uint32_t n) {
  static std::mutex counterLock;
  std::lock_guard guard(counterLock);

  DE::Registry registry;
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (!registry.KeyExists(kRepairCountKey) && !registry.CreateKey(kRepairCountKey)) return;

  uint32_t value = 0;
  if (!DE::Registry::GetValue(HKEY_CURRENT_USER, kRepairCountKey, kRepairCountValue, value, KEY_ALL_ACCESS)) {
    value = 0;
    DE::Registry::SetValue(HKEY_CURRENT_USER, kRepairCountKey, kRepairCountValue, 0, KEY_ALL_ACCESS);
  }
  const uint64_t sum = static_cast<uint64_t>(value) + n;
  value = sum > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(sum);
  DE::Registry::SetValue(HKEY_CURRENT_USER, kRepairCountKey, kRepairCountValue, value, KEY_ALL_ACCESS);
}

}  // namespace zel::sysdiagnose
