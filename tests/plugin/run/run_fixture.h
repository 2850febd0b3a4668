#pragma once
// What the run tests share: a private data directory, pauses that return at once, and the page's
// side of a run, which waits for the worker to end.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <vector>

#include "DataReport/EventDataReport.h"
#include "diagnose/detect_runner.h"
#include "diagnose/hardware_repair_helper.h"
#include "history/diagnose_history.h"
#include "machine/machine.h"
#include "model/hardware_state.h"
#include "platform/clock.h"
#include "support/test_env.h"
#include "utility/DataManager.h"
#include "utility/Registry.h"

namespace runtest {

using namespace zel::sysdiagnose;
using namespace std::chrono_literals;

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetSleepForTesting([this](std::chrono::milliseconds d) {
      std::function<void(std::chrono::milliseconds)> hook;
      {
        std::lock_guard lock(sleepLock_);
        hook = onSleep_;
      }
      if (hook) hook(d);
    });
    EventDataReport::Instance().ClearSentEvents();
  }
  void TearDown() override { platform::SetSleepForTesting(nullptr); }

  // Called instead of every product pause.
  void OnSleep(std::function<void(std::chrono::milliseconds)> hook) {
    std::lock_guard lock(sleepLock_);
    onSleep_ = std::move(hook);
  }

  static tagQueryDataItem LatestStoredRun() {
    tagQueryDataItem latest;
    DiagnoseHistory::QueryRecentDays(1, [&](const std::vector<tagQueryDataItem>& items) {
      if (!items.empty()) latest = items.front();
    });
    return latest;
  }

  // Every run stored so far, whatever its day.
  static size_t StoredRuns() {
    std::vector<DataManager::Row> rows;
    DataManager::Instance().Get("select * from TABLE_HARDWARE_DIAGNOSE", DataManager::RETURN_ORDER_COLUMNS, rows);
    return rows.size();
  }

  testenv::ScopedDataDir dataDir_;

 private:
  // Every reading of the clock is one second later, from noon of a fixed day: runs stored one
  // after the other never share a second, and no test meets midnight.
  testenv::ScopedClock clock_{"UTC0", [next = std::make_shared<std::atomic<int64_t>>(
                                           testenv::Utc(2026, 6, 15, 12, 0, 0))] { return next->fetch_add(1); }};
  std::mutex sleepLock_;
  std::function<void(std::chrono::milliseconds)> onSleep_;
};

// The states of `categories` in a run record or a stored run, in that order.
template <class Record>
std::vector<int64_t> StatesOf(const Record& record, std::initializer_list<enmHardwareID> categories) {
  std::vector<int64_t> states;
  for (const enmHardwareID category : categories) states.push_back(StateAt(record, *StateIndexOf(category)));
  return states;
}

// The calls of the machine's journal to `call`, in order.
inline std::vector<host::machine::JournalEntry> CallsOf(const std::string& call) {
  std::vector<host::machine::JournalEntry> out;
  for (auto& entry : host::machine::Machine::Instance().Journal()) {
    if (entry.call == call) out.push_back(entry);
  }
  return out;
}

// The registry's count of fully repaired categories; nothing before the first count.
inline std::optional<uint32_t> RepairCount() {
  uint32_t value = 0;
  if (!DE::Registry::GetValue(HKEY_CURRENT_USER, HardwareRepairHelper::kRepairCountKey, "Numbers", value,
                              KEY_ALL_ACCESS)) {
    return std::nullopt;
  }
  return value;
}

// How a run ended, as the page heard it.
class Ending {
 public:
  bool finished = false, cancelled = false;
  int endings = 0;  // finished and cancelled calls together

  // Waits for the ending, then for the worker to clear its running flag.
  bool Wait(const DetectRunner& runner) {
    std::unique_lock guard(lock_);
    if (!ended_.wait_for(guard, 10s, [this] { return finished || cancelled; })) return false;
    guard.unlock();
    for (int i = 0; i < 1000 && runner.IsRunning(); ++i) std::this_thread::sleep_for(1ms);
    return !runner.IsRunning();
  }

 protected:
  void Record(const std::function<void()>& change) {
    std::lock_guard guard(lock_);
    change();
    ended_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable ended_;
};

// The page's side of one diagnosis run.
class RunObserver : public Ending {
 public:
  std::function<void(int32_t, const tagDetectItemDetail&)> onCheckStart;  // optional extra hook
  std::function<void()> atEnd;  // optional: runs after the ending has been recorded

  void Start(DetectRunner& runner, std::vector<enmHardwareID> categories) {
    runner.Start(
        std::move(categories),
        [this](int32_t c, const tagDetectItemDetail& d) {
          Record([&] { announced.emplace_back(c, d); });
          if (onCheckStart) onCheckStart(c, d);
        },
        [](int32_t, const tagHardwareDetectInfo&) {}, [](int32_t, const std::u16string&) {},
        [this](int32_t c, const tagDetectResult& v) { Record([&] { verdicts.emplace_back(c, v); }); },
        [this](int32_t n, std::vector<enmHardwareID> f) {
          Record([&] {
            finished = true;
            ++endings;
            abnormalLevel0 = n;
            failed = std::move(f);
          });
          if (atEnd) atEnd();
        },
        [this] {
          Record([&] {
            cancelled = true;
            ++endings;
          });
          if (atEnd) atEnd();
        });
  }

  std::vector<std::pair<int32_t, tagDetectItemDetail>> announced;
  std::vector<std::pair<int32_t, tagDetectResult>> verdicts;
  int32_t abnormalLevel0 = -1;
  std::vector<enmHardwareID> failed;
};

// The page's side of a repair run.
struct RepairObserver : Ending {
  std::vector<std::pair<enmHardwareID, bool>> categoriesDone;
  std::vector<std::u16string> entriesDone;
  bool allOk = false, restart = false;
  int32_t firstFailed = -2;
  bool throwing = false;  // every callable throws after it has recorded, as a page gone wrong would
  std::function<void()> onCategoryStart;  // optional extra hook

  void Start(DetectRunner& runner, DetectRunner::RepairPlan plan) {
    runner.StartRepair(
        std::move(plan),
        [this](enmHardwareID) {
          Note([] {});
          if (onCategoryStart) onCategoryStart();
        },
        [this](int32_t, enmHardwareID, tagRepairItemInfo&) { Note([] {}); }, [this] { End([&] { cancelled = true; }); },
        [this](int32_t, enmHardwareID, tagRepairItemInfo& e, DetectRunner::RepairResult&) {
          Note([&] { entriesDone.push_back(e.repairName); });
        },
        [this](int32_t, enmHardwareID c, bool ok) { Note([&] { categoriesDone.emplace_back(c, ok); }); },
        [this](bool ok, bool needRestart, int32_t first) {
          End([&] {
            finished = true;
            allOk = ok;
            restart = needRestart;
            firstFailed = first;
          });
        });
  }

  // Records the change, then throws when the page is to go wrong.
  void Note(const std::function<void()>& change) {
    Record(change);
    if (throwing) throw std::runtime_error("page gone");
  }
  void End(const std::function<void()>& change) {
    Note([&] {
      change();
      ++endings;
    });
  }
};


}  // namespace runtest
