#include "diagnose/detect_runner.h"

#include <chrono>
#include <exception>
#include <optional>
#include <thread>

#include "diagnose/category_routines.h"
#include "diagnose/hardware_repair_helper.h"
#include "diagnose/item_tests.h"
#include "history/diagnose_history.h"
#include "ipc/ipc_helper.h"
#include "model/hardware_catalog.h"
#include "model/hardware_state.h"
#include "model/page_call.h"
#include "platform/clock.h"
#include "utility/Logger.h"

namespace zel::sysdiagnose {

struct DetectRunner::Callables {
  CheckStartCallback onCheckStart;
  LineCallback onLine;
  MessageCallback onMessage;
  ResultCallback onResult;
  FinishedCallback onFinished;
  CancelledCallback onCancelled;
};

struct DetectRunner::RepairCallables {
  CategoryStartCallback onRepairCategoryStart;
  EntryStartCallback onRepairEntryStart;
  CancelledCallback onCancelled;
  EntryDoneCallback onRepairEntryDone;
  CategoryDoneCallback onRepairCategoryDone;
  RepairFinishedCallback onRepairFinished;
};

namespace {

tagDoctorItem PendingDoctorItem(const tagXmlUIInfo& ui) {
  tagDoctorItem item;
  item.strIcon = ui.iconMiddle;
  item.clrStatus = 0;
  item.strName = ui.name;
  item.strHardware = DoctorHardwareText(ui.modelName);
  item.nState = kDoctorStateBusy;
  return item;
}

// Runs one pass of a worker. A throwing library call must not take the host down: the pass ends
// as a cancel does (logged), and what it did so far is kept.
template <class Pass>
auto Guarded(Pass pass, const char* what, const char* function, const char* logger) -> decltype(pass()) {
  try {
    return pass();
  } catch (const std::exception& e) {
    hostlog::Error(std::string(what) + " ended by an exception: " + e.what(), function, logger, __LINE__,
                   __PRETTY_FUNCTION__);
    return std::nullopt;
  }
}

}  // namespace

DetectRunner::DetectRunner() : record_(ResetDiagnoseRecord()) {
  const HardwareCatalog& catalog = GetHardwareCatalog();
  const auto uiInfos = catalog.UIInfosCopy();
  for (const tagDetectItem& entry : catalog.Items()) {
    const auto it = uiInfos.find(entry.id);
    doctorReport_.vecItems.push_back(PendingDoctorItem(it != uiInfos.end() ? it->second : tagXmlUIInfo{}));
  }
}

DetectRunner::~DetectRunner() = default;

void DetectRunner::Start(std::vector<enmHardwareID> categories, CheckStartCallback onCheckStart,
                         LineCallback onLine, MessageCallback onMessage, ResultCallback onResult,
                         FinishedCallback onFinished, CancelledCallback onCancelled) {
  categories_ = std::move(categories);
  // A cancel that came too late for the previous run must not stop this one before it begins.
  cancelRequested_ = false;
  // The routines call these themselves, amid their library calls.
  Callables callables{Shielded(std::move(onCheckStart), "onCheckStart"), Shielded(std::move(onLine), "onLine"),
                      Shielded(std::move(onMessage), "onMessage"),       Shielded(std::move(onResult), "onResult"),
                      std::move(onFinished),                             std::move(onCancelled)};
  StartWorker([this, callables = std::move(callables)] { RunWorker(callables); });
}

void DetectRunner::StartWorker(std::function<void()> work) {
  // Running from now, not from when the thread gets going: a cancel pressed in between must be
  // seen as a cancel of this run, not as a press after its end.
  uint64_t worker;
  {
    std::lock_guard guard(runLock_);
    worker = ++workersStarted_;
    runningWorker_ = worker;
  }
  const auto end = [this, worker] {
    std::lock_guard guard(runLock_);
    if (runningWorker_ == worker) runningWorker_ = 0;
  };
  try {
    std::thread([end, work = std::move(work)] {
      work();
      end();
    }).detach();
  } catch (...) {
    end();
    throw;
  }
}

bool DetectRunner::IsRunning() const {
  std::lock_guard guard(runLock_);
  return runningWorker_ != 0;
}

void DetectRunner::ClearRowConsumed() {
  std::lock_guard lock(lock_);
  rowConsumed_ = false;
}

void DetectRunner::WaitRowConsumed() {
  std::unique_lock lock(lock_);
  rowConsumedCondition_.wait(lock, [this] { return rowConsumed_; });
}

void DetectRunner::SignalRowConsumed() {
  {
    std::lock_guard lock(lock_);
    rowConsumed_ = true;
  }
  rowConsumedCondition_.notify_all();
}

void DetectRunner::SetDoctorState(int32_t category, uint32_t state) {
  const auto& catalogue = GetHardwareCatalog().Items();
  for (size_t i = 0; i < catalogue.size() && i < doctorReport_.vecItems.size(); ++i) {
    if (catalogue[i].id == category) doctorReport_.vecItems[i].nState = state;
  }
}

void DetectRunner::RunWorker(const Callables& callables) {
  const std::optional<Outcome> outcome =
      Guarded([&] { return RunCategories(callables); }, "diagnosis", "zel::sysdiagnose::DetectRunner::RunWorker",
              "zel_diagnose_runner");
  if (!outcome) return EndAsCancelled(callables.onCancelled);
  DiagnoseHistory::SaveDiagnoseRecord(record_);
  CallPage(callables.onFinished, "onFinished", outcome->abnormalLevel0, outcome->failed);
}

void DetectRunner::EndAsCancelled(const CancelledCallback& onCancelled) {
  DiagnoseHistory::SaveDiagnoseRecord(record_);
  cancelRequested_ = false;
  CallPage(onCancelled, "onCancelled");
}

std::optional<DetectRunner::Outcome> DetectRunner::RunCategories(const Callables& callables) {
  record_ = ResetDiagnoseRecord();
  Outcome outcome;

  for (const enmHardwareID category : categories_) {
    if (cancelRequested_) return std::nullopt;
    tagDetectResult verdict = FreshVerdict();
    if (const DiagnoseRoutine routine = RoutineFor(category)) {
      verdict = routine(detectors_, verdict, callables.onCheckStart, callables.onLine, callables.onMessage,
                        callables.onResult);
    }
    // A failure of level 1 is abnormal in the counts but not in the stored state.
    if (int64_t* state = StateOf(record_, category)) *state = (!verdict.passed && verdict.level != 1) ? 1 : 0;
    SetDoctorState(category, verdict.passed ? kDoctorStateNormal : kDoctorStateAbnormal);
    if (verdict.passed) {
      ++record_.normalCount;
    } else {
      if (verdict.level == 0) ++outcome.abnormalLevel0;
      outcome.failed.push_back(category);
      ++record_.abnormalCount;
    }
    GetHardwareCatalog().RefreshModelName(category);
  }

  doctorReport_.bFinished = 1;
  IPCHelper::Instance().PostDoctorSummary(doctorReport_, 2);
  return outcome;
}

void DetectRunner::StartRepair(RepairPlan plan, CategoryStartCallback onRepairCategoryStart,
                               EntryStartCallback onRepairEntryStart, CancelledCallback onCancelled,
                               EntryDoneCallback onRepairEntryDone, CategoryDoneCallback onRepairCategoryDone,
                               RepairFinishedCallback onRepairFinished) {
  RepairCallables callables{std::move(onRepairCategoryStart), std::move(onRepairEntryStart),
                            std::move(onCancelled),           std::move(onRepairEntryDone),
                            std::move(onRepairCategoryDone),  std::move(onRepairFinished)};
  cancelRequested_ = false;  // a late cancel of the diagnosis must not stop the repairs
  StartWorker([this, plan = std::move(plan), callables = std::move(callables)] { RunRepairWorker(plan, callables); });
}

void DetectRunner::RunRepairWorker(const RepairPlan& plan, const RepairCallables& callables) {
  const std::optional<RepairOutcome> outcome =
      Guarded([&] { return RunRepairs(plan, callables); }, "repair run",
              "zel::sysdiagnose::DetectRunner::RunRepairWorker", "zel_diagnose_repair");
  if (!outcome) return EndAsCancelled(callables.onCancelled);
  DiagnoseHistory::SaveDiagnoseRecord(record_);
  CallPage(callables.onRepairFinished, "onRepairFinished", outcome->allOk, outcome->restart, outcome->firstFailed);
}

std::optional<DetectRunner::RepairOutcome> DetectRunner::RunRepairs(const RepairPlan& plan,
                                                                    const RepairCallables& callables) {
  RepairOutcome outcome;
  uint32_t repaired = 0;

  const std::vector<enmHardwareID> selection = categories_;
  for (size_t i = 0; i < selection.size(); ++i) {
    const auto position = static_cast<int32_t>(i);
    const enmHardwareID category = selection[i];
    const auto planned = plan.find(category);
    if (planned == plan.end() || planned->second.empty()) continue;

    CallPage(callables.onRepairCategoryStart, "onRepairCategoryStart", category);
    bool categoryOk = true;
    for (tagRepairItemInfo entry : planned->second) {
      CallPage(callables.onRepairEntryStart, "onRepairEntryStart", position, category, entry);
      platform::SleepFor(std::chrono::milliseconds(500));
      if (cancelRequested_) return std::nullopt;
      RepairResult result = HardwareRepairHelper::FreshResult();
      HardwareRepairHelper::Instance().Repair(entry.repairName, entry.errorCode, result);
      CallPage(callables.onRepairEntryDone, "onRepairEntryDone", position, category, entry, result);
      if (!result.succeeded) categoryOk = outcome.allOk = false;
      if (result.needRestart) outcome.restart = true;
    }

    MarkRepaired(category, categoryOk);
    if (categoryOk) {
      ++repaired;
    } else if (outcome.firstFailed == -1) {
      outcome.firstFailed = category;
    }
    GetHardwareCatalog().RefreshModelName(category);
    CallPage(callables.onRepairCategoryDone, "onRepairCategoryDone", position, category, categoryOk);
  }

  HardwareRepairHelper::AddRepairCount(repaired);
  doctorReport_.bFinished = 1;
  IPCHelper::Instance().PostDoctorSummary(doctorReport_, 2);
  return outcome;
}

void DetectRunner::MarkRepaired(enmHardwareID category, bool allRepaired) {
  if (int64_t* state = StateOf(record_, category)) *state = allRepaired ? 0 : 1;
  if (!allRepaired) return;
  ++record_.normalCount;
  --record_.abnormalCount;
  SetDoctorState(category, kDoctorStateNormal);
}

}  // namespace zel::sysdiagnose
