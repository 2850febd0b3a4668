#pragma once
// What the run tests share: a private data directory, pauses that return at once, and an observer
// that plays the detect page's callables and waits for the worker to end.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "DataReport/EventDataReport.h"
#include "diagnose/detect_runner.h"
#include "history/diagnose_history.h"
#include "platform/clock.h"
#include "support/test_env.h"
#include "utility/DataManager.h"

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
    // Every reading of the clock is one second later, from noon of a fixed day: runs stored one
    // after the other never share a second, and no test meets midnight.
    std::tm noon{};
    noon.tm_year = 2026 - 1900;
    noon.tm_mon = 5;
    noon.tm_mday = 15;
    noon.tm_hour = 12;
    noon.tm_isdst = -1;
    platform::SetClockForTesting([next = std::make_shared<std::atomic<int64_t>>(std::mktime(&noon))] {
      return next->fetch_add(1);
    });
  }
  void TearDown() override {
    platform::SetSleepForTesting(nullptr);
    platform::SetClockForTesting(nullptr);
  }

  // Called instead of every product pause.
  void OnSleep(std::function<void(std::chrono::milliseconds)> hook) {
    std::lock_guard lock(sleepLock_);
    onSleep_ = std::move(hook);
  }

  // The latest stored run of today.
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
  std::mutex sleepLock_;
  std::function<void(std::chrono::milliseconds)> onSleep_;
};

// The page's side of one diagnosis run.
class RunObserver {
 public:
  std::function<void(int32_t, const tagDetectItemDetail&)> onCheckStart;  // optional extra hook
  std::function<void()> atEnd;  // optional: runs after onFinished or onCancelled has been recorded

  void Start(DetectRunner& runner, std::vector<enmHardwareID> categories) {
    runner.Start(
        std::move(categories),
        [this](int32_t c, const tagDetectItemDetail& d) {
          {
            std::lock_guard lock(lock_);
            announced.emplace_back(c, d);
          }
          if (onCheckStart) onCheckStart(c, d);
        },
        [](int32_t, const tagHardwareDetectInfo&) {},
        [](int32_t, const std::u16string&) {},
        [this](int32_t c, const tagDetectResult& v) {
          std::lock_guard lock(lock_);
          verdicts.emplace_back(c, v);
        },
        [this](int32_t n, std::vector<enmHardwareID> f) {
          {
            std::lock_guard lock(lock_);
            ++endings;
            finished = true;
            abnormalLevel0 = n;
            failed = std::move(f);
            ended_.notify_all();
          }
          if (atEnd) atEnd();
        },
        [this] {
          {
            std::lock_guard lock(lock_);
            ++endings;
            cancelled = true;
            ended_.notify_all();
          }
          if (atEnd) atEnd();
        });
  }

  // Waits for onFinished or onCancelled, then for the worker to clear its running flag.
  bool Wait(const DetectRunner& runner) {
    std::unique_lock lock(lock_);
    if (!ended_.wait_for(lock, 10s, [this] { return finished || cancelled; })) return false;
    lock.unlock();
    for (int i = 0; i < 1000 && runner.IsRunning(); ++i) std::this_thread::sleep_for(1ms);
    return !runner.IsRunning();
  }

  std::vector<std::pair<int32_t, tagDetectItemDetail>> announced;
  std::vector<std::pair<int32_t, tagDetectResult>> verdicts;
  bool finished = false;
  bool cancelled = false;
  int endings = 0;  // onFinished and onCancelled calls together
  int32_t abnormalLevel0 = -1;
  std::vector<enmHardwareID> failed;

 private:
  std::mutex lock_;
  std::condition_variable ended_;
};

}  // namespace runtest
