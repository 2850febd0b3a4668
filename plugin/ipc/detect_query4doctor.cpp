#include "ipc/detect_query4doctor.h"

#include <cctype>
#include <condition_variable>
#include <chrono>
#include <mutex>
#include <optional>

#include "DuiLib/UICulture.h"
#include "diagnose/doctor_routines.h"
#include "diagnose/hardware_repair_helper.h"
#include "history/diagnose_history.h"
#include "ipc/ipc_helper.h"
#include "model/hardware_catalog.h"
#include "model/hardware_state.h"
#include "platform/clock.h"
#include "platform/encoding.h"
#include "utility/Concurrency.h"
#include "utility/Logger.h"
#include "utility/SystemInfo.h"

namespace zel::sysdiagnose {

struct DetectQuery4Doctor::State {
  // Tasks in flight, so that callers can wait for a run to be stored.
  mutable std::mutex tasksLock;
  mutable std::condition_variable tasksDone;
  int activeTasks = 0;

  FaultDetectors detectors;
  mutable std::mutex resultLock;  // guards m_result for snapshots taken from other threads
  tagDoctorResult m_result;
  std::vector<std::vector<tagDoctorRepairEntry>> m_repairLists;
};

namespace {

using namespace std::chrono_literals;

constexpr int32_t kModeDetection = 0;
constexpr int32_t kModeRepair = 1;

// Process-wide and deliberately never destroyed: pool tasks may still hold them at exit.
std::mutex& DetectionMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

struct CancelSource {
  std::mutex lock;
  std::optional<std::stop_source> source;
};
CancelSource& DetectionCancel() {
  static auto* cancel = new CancelSource;
  return *cancel;
}

bool IsChineseUser() {
  std::string language = platform::Utf16ToUtf8(SystemInfo::getCurrentUserLanguage());
  for (char& c : language) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return language.find("zh-cn") != std::string::npos;
}

std::u16string Text(const char16_t* key) { return UICulture::GetInstance().GetString(key); }

// What a row offers follows its state: the repair command only while it is abnormal and
// repairable, the failure notice after a failed repair (with no action colour, as only the
// command has one), nothing otherwise.
enum class RowAction { None, RepairCommand, RepairFailed };

void SetRowAction(tagDoctorItem& item, RowAction action) {
  item.strAction.clear();
  item.clrAction = 0;
  item.clrActionAlt = 0;
  if (action == RowAction::RepairFailed) item.strAction = Text(u"IDS_HARDWARE_DETECT_ITEM_OPERAT_FAIL");
  if (action != RowAction::RepairCommand) return;
  item.strAction = Text(u"IDS_HARDWARE_DETECT_ITEM_REPAIR_COMMAND");
  (IsChineseUser() ? item.clrAction : item.clrActionAlt) = kDoctorColorAbnormal;
}

// Every repair of a category's list, one after the other. The category is repaired only when
// every call succeeded; the message shown is that of the last call that failed.
struct CategoryRepair {
  bool succeeded = true;
  std::u16string failureMessage;
};

CategoryRepair RepairCategory(const std::vector<tagDoctorRepairEntry>& repairs) {
  CategoryRepair outcome;
  HardwareDetect::tagHARDWARE_REPAIR_RESULT result{0, false, false, true, u""};
  for (const tagDoctorRepairEntry& entry : repairs) {
    HardwareRepairHelper::Instance().Repair(entry.strRepairName, platform::Utf8ToUtf16(std::to_string(entry.nCode)),
                                            result);
    if (!result.succeeded) {
      outcome.succeeded = false;
      outcome.failureMessage = result.message;
    }
  }
  return outcome;
}

tagDoctorItem PendingItem(const tagXmlUIInfo& ui) {
  tagDoctorItem item;
  item.strIcon = ui.iconSmall;
  item.strName = ui.name;
  item.strHardware = DoctorHardwareText(ui.modelName);
  item.clrStatus = kDoctorColorNormal;
  item.nState = kDoctorStateBusy;
  return item;
}

// Refreshes the category's model name and gives the row's hardware text for it.
std::u16string RefreshedHardwareText(int32_t category) {
  GetHardwareCatalog().RefreshModelName(category);
  tagXmlUIInfo ui;
  GetHardwareCatalog().GetUIInfo(category, ui);
  return DoctorHardwareText(ui.modelName);
}

void SetState(tagDiagnoseRecord& states, int32_t category, bool abnormal) {
  // The processor's checks never make it abnormal in the history.
  if (int64_t* state = StateOf(states, category)) *state = (abnormal && category != HARDWARE_CPU) ? 1 : 0;
}

void Post(DetectQuery4Doctor::State& state, uint8_t finished, int32_t mode) {
  std::lock_guard guard(state.resultLock);
  state.m_result.bFinished = finished;
  IPCHelper::Instance().PostDoctorSummary(state.m_result, mode);
}

tagDiagnoseRecord ZeroStates() {
  tagDiagnoseRecord record = ResetDiagnoseRecord();
  for (int32_t i = 0; i < kHardwareCategoryCount; ++i) StateAt(record, i) = 0;
  return record;
}

void RunDetection(DetectQuery4Doctor::State& state, std::stop_token token) {
  std::lock_guard running(DetectionMutex());
  {
    std::lock_guard guard(state.resultLock);
    state.m_result.vecItems.clear();
  }
  state.m_repairLists.clear();

  const std::vector<tagDetectItem> catalogue = GetHardwareCatalog().Items();
  const auto uiInfos = GetHardwareCatalog().UIInfosCopy();
  tagDiagnoseRecord states = ZeroStates();

  for (size_t i = 0; i < catalogue.size(); ++i) {
    const int32_t category = catalogue[i].id;
    const auto ui = uiInfos.find(category);
    {
      std::lock_guard guard(state.resultLock);
      state.m_result.vecItems.push_back(PendingItem(ui != uiInfos.end() ? ui->second : tagXmlUIInfo{}));
    }
    state.m_repairLists.emplace_back();
    Post(state, 0, kModeDetection);

    tagDoctorItem item = state.m_result.vecItems.back();  // only this task writes the items
    DoctorDiagnoseCategory(state.detectors, category, item, state.m_repairLists.back(), states);
    // The copy above may predate the catalogue's model-name fill: the row shows the name as now.
    item.strHardware = RefreshedHardwareText(category);
    {
      std::lock_guard guard(state.resultLock);
      state.m_result.vecItems.back() = item;
    }
    platform::SleepFor(200ms);

    if (item.nState == kDoctorStateAbnormal) {
      ++states.abnormalCount;
    } else {
      ++states.normalCount;
    }
    if (token.stop_requested()) return;  // cancelled: nothing more is posted or stored
    Post(state, i + 1 == catalogue.size() ? 1 : 0, kModeDetection);
  }
  DiagnoseHistory::SaveDiagnoseRecord(states);
}

// Repairs take the detection mutex as well, so they never work on a record a detection is writing.
void RunRepair(DetectQuery4Doctor::State& state) {
  std::lock_guard running(DetectionMutex());
  tagDiagnoseRecord states = ZeroStates();
  {
    std::lock_guard guard(state.resultLock);
    for (const tagDoctorItem& item : state.m_result.vecItems) {
      (item.nState == kDoctorStateAbnormal ? states.abnormalCount : states.normalCount) += 1;
    }
    state.m_result.nModuleId = 0x390000;
    for (tagDoctorItem& item : state.m_result.vecItems) {
      if (item.nState == kDoctorStateAbnormal) item.nState = kDoctorStateBusy;
    }
  }
  Post(state, 0, kModeRepair);
  platform::SleepFor(1s);

  const std::vector<tagDetectItem>& catalogue = GetHardwareCatalog().Items();
  uint32_t repaired = 0;
  for (size_t k = 0; k < state.m_repairLists.size() && k < catalogue.size(); ++k) {
    const int32_t category = catalogue[k].id;
    const auto& repairs = state.m_repairLists[k];

    const CategoryRepair repair = RepairCategory(repairs);
    const bool succeeded = repair.succeeded;
    const std::u16string hardware = RefreshedHardwareText(category);

    std::unique_lock guard(state.resultLock);
    tagDoctorItem& item = state.m_result.vecItems[k];
    item.strHardware = hardware;
    if (item.nState == kDoctorStateBusy && !repairs.empty()) {
      if (succeeded) {
        item.nState = kDoctorStateNormal;
        item.clrStatus = kDoctorColorNormal;
        SetRowAction(item, RowAction::None);
        --states.abnormalCount;
        ++states.normalCount;
        ++repaired;
      } else {
        item.nState = kDoctorStateAbnormal;
        SetRowAction(item, RowAction::RepairFailed);
        item.strResult = UICulture::GetInstance().GetString(repair.failureMessage);
      }
      SetState(states, category, !succeeded);
      guard.unlock();
      Post(state, 0, kModeRepair);
      platform::SleepFor(500ms);
    } else if (item.nState != kDoctorStateBusy) {
      SetState(states, category, false);
    } else {
      item.nState = kDoctorStateAbnormal;  // abnormal with nothing to repair
      SetState(states, category, true);
      guard.unlock();
      Post(state, 0, kModeRepair);
      platform::SleepFor(5s);
    }
  }
  HardwareRepairHelper::AddRepairCount(repaired);
  Post(state, 1, kModeRepair);
  DiagnoseHistory::SaveDiagnoseRecord(states);
}

// Runs `body` on a pool task, counted as active until it ends.
void RunCounted(const std::shared_ptr<DetectQuery4Doctor::State>& state, std::function<void()> body) {
  {
    std::lock_guard guard(state->tasksLock);
    ++state->activeTasks;
  }
  Concurrency::RunTask([state, body = std::move(body)] {
    struct Done {
      DetectQuery4Doctor::State& state;
      ~Done() {
        std::lock_guard guard(state.tasksLock);
        --state.activeTasks;
        state.tasksDone.notify_all();
      }
    } done{*state};
    body();
  });
}

}  // namespace

void DoctorDiagnoseCategory(FaultDetectors& detectors, int32_t category, tagDoctorItem& item,
                            std::vector<tagDoctorRepairEntry>& repairs, tagDiagnoseRecord& states) {
  if (!IsHardwareCategory(category)) {
    item.clrStatus = kDoctorColorNormal;
    item.strResult.clear();
    return;
  }
  const tagDetectResult verdict = DoctorDiagnose(category, detectors, repairs);
  item.nState = (verdict.passed || category == HARDWARE_CPU) ? kDoctorStateNormal : kDoctorStateAbnormal;
  if (!verdict.passed) {
    if (verdict.extra) SetRowAction(item, RowAction::RepairCommand);
    item.clrStatus = kDoctorColorAbnormal;
  } else {
    item.clrStatus = kDoctorColorNormal;
  }
  item.strResult = verdict.text;
  SetState(states, category, !verdict.passed);
}

DetectQuery4Doctor::DetectQuery4Doctor() : state_(std::make_shared<State>()) {
  startRegistration_ = IPCHelper::Instance().SetDoctorStartHandler([this](bool stopOnly) { OnStartStop(stopOnly); });
  repairRegistration_ =
      IPCHelper::Instance().SetDoctorRepairHandler([this](const std::vector<int32_t>& items) { OnRepairRequest(items); });
}

DetectQuery4Doctor::~DetectQuery4Doctor() {
  startRegistration_.Reset();
  repairRegistration_.Reset();
  // A detection still running stops after its category; its task keeps the state alive until then.
  CancelSource& cancel = DetectionCancel();
  std::lock_guard guard(cancel.lock);
  if (cancel.source) cancel.source->request_stop();
}

void DetectQuery4Doctor::OnStartStop(bool stopOnly) {
  CancelSource& cancel = DetectionCancel();
  std::lock_guard guard(cancel.lock);
  if (!cancel.source) cancel.source.emplace();
  cancel.source->request_stop();
  if (stopOnly) return;
  cancel.source.emplace();
  RunCounted(state_, [state = state_.get(), token = cancel.source->get_token()] { RunDetection(*state, token); });
}

void DetectQuery4Doctor::OnRepairRequest(const std::vector<int32_t>&) {
  RunCounted(state_, [state = state_.get()] { RunRepair(*state); });
}

bool DetectQuery4Doctor::WaitUntilIdle(std::chrono::milliseconds timeout) const {
  std::unique_lock guard(state_->tasksLock);
  return state_->tasksDone.wait_for(guard, timeout, [this] { return state_->activeTasks == 0; });
}

tagDoctorResult DetectQuery4Doctor::ResultSnapshot() const {
  std::lock_guard guard(state_->resultLock);
  return state_->m_result;
}

}  // namespace zel::sysdiagnose
