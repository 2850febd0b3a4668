#pragma once
// Runs the diagnosis of a selection of categories on a detached worker, one category after
// another, hands announcements, lines, messages and verdicts to the page through callables, keeps
// the run's verdict per category, stores the finished run and reports it to the host's health
// check. A cancel request is honoured between categories. The same object carries the repair run
// over its selection, which repairs through HardwareRepairHelper and amends the same record.
//
// Lives on the UI thread (Start, RequestCancel, SignalRowConsumed); its worker owns everything else
// while `running` is set. The runner must outlive its workers.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "DeviceFalutDetect/DeviceFalutDetect.h"
#include "diagnose/fault_detectors.h"
#include "diagnose/routine_callbacks.h"
#include "ipc/doctor_result.h"
#include "model/records.h"

namespace zel::sysdiagnose {

class DetectRunner {
 public:
  // Number of failed categories of level 0, and every category that did not pass, in run order.
  using FinishedCallback = std::function<void(int32_t abnormalLevel0, std::vector<enmHardwareID> failed)>;
  using CancelledCallback = std::function<void()>;

  // The repair run: what to repair per category, and what it tells the page. `position` is the
  // category's place in the selection.
  using RepairResult = HardwareDetect::tagHARDWARE_REPAIR_RESULT;
  using RepairPlan = std::map<enmHardwareID, std::vector<tagRepairItemInfo>>;
  using CategoryStartCallback = std::function<void(enmHardwareID category)>;
  using EntryStartCallback = std::function<void(int32_t position, enmHardwareID category, tagRepairItemInfo& entry)>;
  using EntryDoneCallback = std::function<void(int32_t position, enmHardwareID category, tagRepairItemInfo& entry,
                                               RepairResult& result)>;
  using CategoryDoneCallback = std::function<void(int32_t position, enmHardwareID category, bool allSucceeded)>;
  using RepairFinishedCallback = std::function<void(bool allSucceeded, bool needRestart, int32_t firstFailed)>;

  DetectRunner();
  ~DetectRunner();
  DetectRunner(const DetectRunner&) = delete;
  DetectRunner& operator=(const DetectRunner&) = delete;

  // Starts a worker on the selection; returns at once. The page starts a run only when none is
  // active. A failure to start the thread throws std::system_error.
  void Start(std::vector<enmHardwareID> categories, CheckStartCallback onCheckStart, LineCallback onLine,
             MessageCallback onMessage, ResultCallback onResult, FinishedCallback onFinished,
             CancelledCallback onCancelled);

  // The detect page's repair-all pass over the current selection, on a worker; returns at once.
  // The record and the health-check report of the last diagnosis take the repaired categories.
  void StartRepair(RepairPlan plan, CategoryStartCallback onRepairCategoryStart, EntryStartCallback onRepairEntryStart,
                   CancelledCallback onCancelled, EntryDoneCallback onRepairEntryDone,
                   CategoryDoneCallback onRepairCategoryDone, RepairFinishedCallback onRepairFinished);

  // The cancel button: seen by the worker before its next category (or repair entry).
  void RequestCancel() { cancelRequested_ = true; }
  bool IsRunning() const;

  // The line hand-off: the page's onLine clears the flag, posts the line and waits; the page
  // signals once it has shown the line.
  void ClearRowConsumed();
  void WaitRowConsumed();
  void SignalRowConsumed();

  // Read by the page between runs (never while a worker runs).
  const tagDiagnoseRecord& Record() const { return record_; }
  const tagDoctorResult& DoctorReport() const { return doctorReport_; }
  const std::vector<enmHardwareID>& Categories() const { return categories_; }

 private:
  struct Callables;
  struct RepairCallables;
  // What a diagnosis run that went through hands the page.
  struct Outcome {
    int32_t abnormalLevel0 = 0;
    std::vector<enmHardwareID> failed;
  };
  // What a repair run that went through hands the page.
  struct RepairOutcome {
    bool allOk = true;
    bool restart = false;
    int32_t firstFailed = -1;
  };

  // Marks the runner running and starts `work` on a detached worker that ends the mark last.
  void StartWorker(std::function<void()> work);
  void RunWorker(const Callables& callables);
  // Nothing when a cancel request stopped the run.
  std::optional<Outcome> RunCategories(const Callables& callables);
  void RunRepairWorker(const RepairPlan& plan, const RepairCallables& callables);
  // Nothing when a cancel request stopped the run.
  std::optional<RepairOutcome> RunRepairs(const RepairPlan& plan, const RepairCallables& callables);
  // A category whose every entry was repaired counts as normal from now on.
  void MarkRepaired(enmHardwareID category, bool allRepaired);
  // A cancelled run (or one ended by an exception): the record as far as it has come is stored,
  // the cancel request is spent and the page is told.
  void EndAsCancelled(const CancelledCallback& onCancelled);
  // Sets the doctor item of every catalogue entry of `category` to `state`.
  void SetDoctorState(int32_t category, uint32_t state);

  std::mutex lock_;
  std::condition_variable rowConsumedCondition_;
  std::atomic<bool> cancelRequested_{false};
  bool rowConsumed_ = false;  // under lock_
  // Running: the number of the worker started last, until it ends; 0 when none runs. A worker
  // ends only its own run, so one that ends after the page has already started the next (from
  // the ending it heard) leaves that one running.
  mutable std::mutex runLock_;
  uint64_t runningWorker_ = 0;   // under runLock_
  uint64_t workersStarted_ = 0;  // under runLock_
  FaultDetectors detectors_;
  tagDoctorResult doctorReport_;
  tagDiagnoseRecord record_;
  std::vector<enmHardwareID> categories_;
};

}  // namespace zel::sysdiagnose
