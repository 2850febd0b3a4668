// The background scan against the shipped catalogue and described machines. Rows are taken on
// the scan thread itself; the test waits for the scan's end and for its thread to let go.
#include "hardware/scan_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <stdexcept>
#include <thread>

#include "DataReport/EventDataReport.h"
#include "model/hardware_catalog.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Cpu, memory (two modules) and the always-present refresh rate of the display give
// information; the network gives none.
constexpr const char* kSmallNotebook = R"({"hardware": {
    "cpu": {"name": "Core i5", "cores": 4, "threads": 8},
    "memory": {"totalMB": 8192, "modules": [{"partNumber": "KF", "capacityMB": 8192}, {"partNumber": "KF2"}]},
    "bluetooth": {}, "biometric": {}}})";

struct ScanOutcome {
  std::vector<int32_t> categories;  // in the order their rows came, each once
  std::vector<std::pair<int32_t, tagHardwareDetailInfo>> rows;
  std::vector<enmHardwareID> finishedWith;
  int cancelled = 0;
};

// Runs one scan to its end; `onRow` sees the category of every row as it passes. A `throwing`
// page throws from every callable once it has recorded.
ScanOutcome Scan(ScanControl& control, const std::function<void(int32_t)>& onRow = {}, bool throwing = false) {
  ScanOutcome out;
  std::promise<void> ended;
  StartHardwareScan(
      control,
      [&](enmHardwareID category, tagHardwareDetailInfo& row) {
        if (out.categories.empty() || out.categories.back() != category) out.categories.push_back(category);
        out.rows.emplace_back(category, row);
        if (onRow) onRow(category);
        if (throwing) throw std::runtime_error("row control gone");
        return true;
      },
      [&](enmHardwareID last) {
        out.finishedWith.push_back(last);
        ended.set_value();
        if (throwing) throw std::runtime_error("page gone");
      },
      [&] {
        ++out.cancelled;
        ended.set_value();
        if (throwing) throw std::runtime_error("page gone");
      });
  EXPECT_EQ(ended.get_future().wait_for(10s), std::future_status::ready);
  // The event is sent after the end callback: wait until the scan thread has let go.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (control.running && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(control.running);
  return out;
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
    for (const auto& item : GetHardwareCatalog().Items()) ids_.push_back(item.id);
    ASSERT_GE(ids_.size(), 4u) << "the shipped catalogue was not found";
    EventDataReport::Instance().ClearSentEvents();
  }

  ScanControl control_;
  std::vector<int32_t> ids_;
};

// A cancel during the last category is too late for its scan and must not stop the next one; a
// cancel during the third lets that category finish, then stops without an event.
TEST_F(ScanControlTest, ACancelEndsTheScanAfterTheCurrentCategoryOnly) {
  const auto late = Scan(control_, [this](int32_t category) {
    if (category == ids_.back()) control_.cancelRequested = true;
  });
  EXPECT_EQ(late.categories, ids_);
  EXPECT_EQ(late.finishedWith, std::vector<enmHardwareID>{static_cast<enmHardwareID>(ids_.back())});
  EXPECT_EQ(ScanEvents().size(), 1u);
  const int32_t third = ids_[2];
  std::vector<tagHardwareDetailInfo> expectedThird;
  CollectHardwareDetails(third, [&](enmHardwareID, tagHardwareDetailInfo& row) {
    expectedThird.push_back(row);
    return true;
  });
  ASSERT_GE(expectedThird.size(), 2u) << "the third category needs several rows to show it runs to its end";

  const auto outcome = Scan(control_, [this, third](int32_t category) {
    if (category == third) control_.cancelRequested = true;
  });

  EXPECT_EQ(outcome.categories, (std::vector<int32_t>{ids_[0], ids_[1], third}));
  std::vector<tagHardwareDetailInfo> shownThird;
  for (const auto& [category, row] : outcome.rows) {
    if (category == third) shownThird.push_back(row);
  }
  EXPECT_EQ(shownThird, expectedThird);
  EXPECT_EQ(outcome.cancelled, 1);
  EXPECT_TRUE(outcome.finishedWith.empty());
  EXPECT_EQ(ScanEvents().size(), 1u);
}

TEST_F(ScanControlTest, ThrowingCallablesOfThePageNeitherStopTheScanNorEndItTwice) {
  const auto outcome = Scan(control_, {}, true);

  EXPECT_EQ(outcome.categories, ids_);  // every category still gave its rows
  EXPECT_EQ(outcome.finishedWith, std::vector<enmHardwareID>{static_cast<enmHardwareID>(ids_.back())});
  EXPECT_EQ(outcome.cancelled, 0);
  EXPECT_EQ(ScanEvents().size(), 1u);
}

// ---- Catalogues of their own, scanned in a fresh process ---------------------------------------

// Runs in the child; prints "[finished with <id>; events: "<value>" ...]" for the parent to match.
[[noreturn]] void ScanOwnCatalogue(const char* catalogue) {
  const fs::path appDir = fs::temp_directory_path() / ("scan-own-" + std::to_string(std::random_device()()));
  fs::create_directories(appDir / "config");
  if (catalogue != nullptr) std::ofstream(appDir / "config" / "SysdiagnoseList.xml") << catalogue;
  setenv("SYSDIAGNOSE_APP_DIR", appDir.c_str(), 1);
  testenv::UseMachine(kSmallNotebook);

  ScanControl control;
  const auto outcome = Scan(control);

  std::string report = "[finished with";
  for (auto last : outcome.finishedWith) report += " " + std::to_string(last);
  report += "; events:";
  for (const auto& value : ScanEvents()) report += " \"" + value + "\"";
  std::fprintf(stderr, "%s]\n", report.c_str());
  fs::remove_all(appDir);
  std::fflush(stderr);
  std::_Exit(0);
}

// An empty catalogue finishes with -1 and an empty event.
TEST(ScanOwnCatalogueTest, EventFlagsEachScannedCategoryInOrderSkippingUnknownIds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(ScanOwnCatalogue(nullptr), ::testing::ExitedWithCode(0), "\\[finished with -1; events: \"\"\\]");
  EXPECT_EXIT(ScanOwnCatalogue(R"(<sysdiagnose>
      <DetectItem id="4" name="CPU" description=""/>
      <DetectItem id="3" name="Network" description=""/>
      <DetectItem id="42" name="Unknown" description=""/>
      <DetectItem id="5" name="Memory" description=""/>
      <DetectItem id="77" name="Unknown" description=""/>
    </sysdiagnose>)"),
              ::testing::ExitedWithCode(0), "\\[finished with 77; events: \"1,0,1\"\\]");
}

}  // namespace
}  // namespace zel::sysdiagnose
