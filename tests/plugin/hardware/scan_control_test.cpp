// The background scan against the shipped catalogue and described machines. The test thread
// plays the scan page: it takes each row, shows it and releases the scan thread.
#include "hardware/scan_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <thread>

#include "DataReport/EventDataReport.h"
#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIMessageLoop.h"
#include "model/hardware_catalog.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Every category of the shipped catalogue is offered on this machine; cpu, memory and the
// always-present refresh rate of the display give information, nothing else does.
constexpr const char* kSmallNotebook = R"({"hardware": {
    "cpu": {"name": "Core i5", "cores": 4, "threads": 8},
    "memory": {"totalMB": 8192, "modules": [{"partNumber": "KF", "capacityMB": 8192}, {"partNumber": "KF2"}]},
    "bluetooth": {}, "biometric": {}}})";

struct ShownRow {
  enmHardwareID category;
  tagHardwareDetailInfo row;
};

// The page side: rows wait in a queue until the test shows them and releases the scan thread.
class ScanPage {
 public:
  explicit ScanPage(ScanControl& control) : control_(control) {}
  ScanPage(const ScanPage&) = delete;
  ScanPage& operator=(const ScanPage&) = delete;
  // Even after a failed check, no scan thread may be left waiting on a control that goes away.
  ~ScanPage() {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (control_.running && std::chrono::steady_clock::now() < deadline) {
      SignalRowConsumed(control_);
      std::this_thread::sleep_for(1ms);
    }
  }

  void Start() {
    {
      std::lock_guard lock(mutex_);
      ++started_;
    }
    StartHardwareScan(
        control_,
        [this](enmHardwareID category, tagHardwareDetailInfo& row) {
          ClearRowConsumed(control_);
          Push({category, row});
          WaitRowConsumed(control_);
          return true;
        },
        [this](enmHardwareID last) {
          std::lock_guard lock(mutex_);
          finishedWith_.push_back(last);
          changed_.notify_all();
        },
        [this] {
          std::lock_guard lock(mutex_);
          ++cancelled_;
          changed_.notify_all();
        });
  }

  // Waits for the next row or the end of the scan; nullopt at the end.
  std::optional<ShownRow> NextRow() {
    std::unique_lock lock(mutex_);
    const bool ready = changed_.wait_for(lock, 10s, [this] { return !queue_.empty() || Ended(); });
    EXPECT_TRUE(ready) << "the scan neither passed a row nor ended";
    if (queue_.empty()) return std::nullopt;
    ShownRow next = queue_.front();
    queue_.pop_front();
    return next;
  }

  // Shows every row, calling `onShown` before releasing the scan thread; returns the rows.
  std::vector<ShownRow> ShowAll(const std::function<void(const ShownRow&)>& onShown = {}) {
    std::vector<ShownRow> shown;
    while (auto row = NextRow()) {
      shown.push_back(*row);
      if (onShown) onShown(*row);
      SignalRowConsumed(control_);
    }
    WaitIdle();
    return shown;
  }

  // The scan thread sends its event after the end callback: wait until it has let go.
  void WaitIdle() {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (control_.running && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    ASSERT_FALSE(control_.running);
  }

  std::vector<enmHardwareID> finishedWith() {
    std::lock_guard lock(mutex_);
    return finishedWith_;
  }
  int cancelled() {
    std::lock_guard lock(mutex_);
    return cancelled_;
  }

 private:
  bool Ended() const { return finishedWith_.size() + static_cast<size_t>(cancelled_) >= started_; }
  void Push(ShownRow row) {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(row));
    changed_.notify_all();
  }

  ScanControl& control_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ShownRow> queue_;
  std::vector<enmHardwareID> finishedWith_;
  int cancelled_ = 0;
  size_t started_ = 0;
};

std::vector<int32_t> CatalogueIds() {
  std::vector<int32_t> ids;
  for (const auto& item : GetHardwareCatalog().Items()) ids.push_back(item.id);
  return ids;
}

// Categories in the order their rows arrived, each once.
std::vector<int32_t> CategoriesOf(const std::vector<ShownRow>& rows) {
  std::vector<int32_t> categories;
  for (const auto& row : rows) {
    if (categories.empty() || categories.back() != row.category) categories.push_back(row.category);
  }
  return categories;
}

std::vector<std::string> ScanEvents() {
  std::vector<std::string> values;
  for (const auto& [id, value] : EventDataReport::Instance().SentEvents()) {
    if (id == "620000010") values.push_back(value);
  }
  return values;
}

class ScanControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testenv::UseMachine(kSmallNotebook);
    ASSERT_FALSE(GetHardwareCatalog().Items().empty()) << "the shipped catalogue was not found";
    EventDataReport::Instance().ClearSentEvents();
  }

  ScanControl control_;
  ScanPage page_{control_};
};

TEST_F(ScanControlTest, ScansTheCatalogueInOrderAndReportsWhatWasFound) {
  const auto ids = CatalogueIds();

  page_.Start();
  const auto rows = page_.ShowAll();

  EXPECT_EQ(CategoriesOf(rows), ids);
  EXPECT_EQ(page_.finishedWith(), std::vector<enmHardwareID>{static_cast<enmHardwareID>(ids.back())});
  EXPECT_EQ(page_.cancelled(), 0);
  std::string expected;
  for (int32_t id : ids) {
    if (!expected.empty()) expected += ',';
    expected += id == HARDWARE_CPU || id == HARDWARE_MEMORY || id == HARDWARE_DISPLAY ? '1' : '0';
  }
  EXPECT_EQ(ScanEvents(), std::vector<std::string>{expected});
  EXPECT_FALSE(control_.cancelRequested);
}

TEST_F(ScanControlTest, CancelLetsTheCurrentCategoryFinishThenStops) {
  const auto ids = CatalogueIds();
  ASSERT_GE(ids.size(), 4u);
  const int32_t third = ids[2];
  std::vector<tagHardwareDetailInfo> expectedThird;
  CollectHardwareDetails(third, [&](enmHardwareID, tagHardwareDetailInfo& row) {
    expectedThird.push_back(row);
    return true;
  });
  ASSERT_GE(expectedThird.size(), 2u) << "the third category needs several rows to show it runs to its end";

  page_.Start();
  const auto rows = page_.ShowAll([this, third](const ShownRow& row) {
    if (row.category == third) control_.cancelRequested = true;
  });

  EXPECT_EQ(CategoriesOf(rows), (std::vector<int32_t>{ids[0], ids[1], third}));
  std::vector<tagHardwareDetailInfo> shownThird;
  for (const auto& row : rows) {
    if (row.category == third) shownThird.push_back(row.row);
  }
  EXPECT_EQ(shownThird, expectedThird);
  EXPECT_EQ(page_.cancelled(), 1);
  EXPECT_TRUE(page_.finishedWith().empty());
  EXPECT_TRUE(ScanEvents().empty());
  EXPECT_FALSE(control_.cancelRequested);
}

TEST_F(ScanControlTest, LateCancelDoesNotLeakIntoTheNextScan) {
  const auto ids = CatalogueIds();
  page_.Start();
  const auto first = page_.ShowAll([this, &ids](const ShownRow& row) {
    if (row.category == ids.back()) control_.cancelRequested = true;  // too late for this scan
  });
  ASSERT_EQ(page_.cancelled(), 0);
  ASSERT_EQ(page_.finishedWith().size(), 1u);

  page_.Start();
  const auto second = page_.ShowAll();

  EXPECT_EQ(CategoriesOf(second), ids);
  EXPECT_EQ(page_.cancelled(), 0);
  EXPECT_EQ(page_.finishedWith().size(), 2u);
  EXPECT_EQ(ScanEvents().size(), 2u);
}

TEST_F(ScanControlTest, ScanWaitsForThePageToReleaseEachRow) {
  page_.Start();
  ASSERT_TRUE(page_.NextRow().has_value());

  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(control_.running);
  {
    std::lock_guard lock(control_.lock);
    EXPECT_FALSE(control_.rowConsumed);
  }

  SignalRowConsumed(control_);
  const auto rest = page_.ShowAll();
  EXPECT_FALSE(rest.empty());
  EXPECT_EQ(page_.finishedWith().size(), 1u);
}

TEST_F(ScanControlTest, RowsCrossToTheUiThreadOneAtATime) {
  UIMessageLoop::Instance().Reset();
  std::vector<int32_t> shownOnUi;
  std::atomic<int> inFlight{0};
  std::atomic<int> maxInFlight{0};
  bool finished = false;
  const std::thread::id uiThread = std::this_thread::get_id();

  StartHardwareScan(
      control_,
      [this, &shownOnUi, &inFlight, &maxInFlight, uiThread](enmHardwareID category, tagHardwareDetailInfo&) {
        EXPECT_NE(std::this_thread::get_id(), uiThread);
        ClearRowConsumed(control_);
        maxInFlight = std::max(maxInFlight.load(), ++inFlight);
        UIMainQueue::getInstance().dispatch([this, category, &shownOnUi, &inFlight] {
          shownOnUi.push_back(category);
          --inFlight;
          SignalRowConsumed(control_);
        });
        WaitRowConsumed(control_);
        return true;
      },
      [&finished](enmHardwareID) { UIMainQueue::getInstance().dispatch([&finished] { finished = true; }); },
      [] {});

  ASSERT_TRUE(UIMessageLoop::Instance().RunUntil([&finished] { return finished; }, 10000ms));
  page_.WaitIdle();
  shownOnUi.erase(std::unique(shownOnUi.begin(), shownOnUi.end()), shownOnUi.end());
  EXPECT_EQ(shownOnUi, CatalogueIds());
  EXPECT_EQ(maxInFlight, 1);
}

// ---- Catalogues of their own, scanned in a fresh process ---------------------------------------

[[noreturn]] void ScanOwnCatalogueAndCheck(const char* catalogue, enmHardwareID expectedLast,
                                           const std::string& expectedFlags, size_t expectedCategories) {
  const fs::path appDir = fs::temp_directory_path() / ("scan-own-" + std::to_string(std::random_device()()));
  fs::create_directories(appDir / "config");
  if (catalogue != nullptr) std::ofstream(appDir / "config" / "SysdiagnoseList.xml") << catalogue;
  if (const char* shipped = std::getenv("SYSDIAGNOSE_APP_DIR")) {  // keep the string tables
    std::error_code ignored;
    fs::create_directory_symlink(fs::path(shipped) / "lang", appDir / "lang", ignored);
  }
  setenv("SYSDIAGNOSE_APP_DIR", appDir.c_str(), 1);
  testenv::UseMachine(kSmallNotebook);

  ScanControl control;
  ScanPage page(control);
  page.Start();
  const auto rows = page.ShowAll();

  int failures = 0;
  auto check = [&failures](bool ok, const char* what) {
    if (!ok) {
      std::fprintf(stderr, "FAILED: %s\n", what);
      ++failures;
    }
  };
  check(page.finishedWith() == std::vector<enmHardwareID>{expectedLast}, "onFinished with the last entry's id");
  check(CategoriesOf(rows).size() == expectedCategories, "only the known categories are collected");
  const auto events = ScanEvents();
  check(events == std::vector<std::string>{expectedFlags}, "one scan event with one flag per scanned category");
  if (events.size() == 1) std::fprintf(stderr, "event value: '%s'\n", events[0].c_str());

  fs::remove_all(appDir);
  std::fflush(stderr);
  std::_Exit(failures);
}

TEST(ScanOwnCatalogueTest, EmptyCatalogueFinishesWithMinusOneAndAnEmptyEvent) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ScanOwnCatalogueAndCheck(nullptr, static_cast<enmHardwareID>(-1), "", 0),
              ::testing::ExitedWithCode(0), "");
}

TEST(ScanOwnCatalogueTest, UnknownIdsAreSkippedButStillEndTheScan) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ScanOwnCatalogueAndCheck(R"(<sysdiagnose>
      <DetectItem id="4" name="CPU" description=""/>
      <DetectItem id="42" name="Unknown" description=""/>
      <DetectItem id="3" name="Network" description=""/>
      <DetectItem id="77" name="Unknown" description=""/>
    </sysdiagnose>)",
                                       static_cast<enmHardwareID>(77), "1,0", 2),
              ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zel::sysdiagnose
