#include "history/diagnose_history.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "model/hardware_catalog.h"
#include "model/hardware_state.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using namespace zel::sysdiagnose;

// The catalogue every history test runs with: ten categories in this order (no Bluetooth, no
// fingerprint sensor) and one entry with an id that is not a category.
constexpr int32_t kCatalogueIds[] = {4, 1, 5, 6, 7, 8, 0, 3, 9, 10, 42};
constexpr int32_t kCatalogueCategories = 10;

// Points the application directory at that catalogue before anything builds the process-wide
// catalogue, which reads it once.
class CatalogueEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    fs::create_directories(appDir_ / "config");
    std::ofstream xml(appDir_ / "config" / "SysdiagnoseList.xml");
    xml << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<sysdiagnose>\n";
    for (int32_t id : kCatalogueIds) {
      xml << "<DetectItem id=\"" << id << "\" name=\"c" << id << "\" description=\"d\"/>\n";
    }
    xml << "</sysdiagnose>\n";
    xml.close();
    setenv("SYSDIAGNOSE_APP_DIR", appDir_.c_str(), 1);
    testenv::UseEmptyMachine();
    ASSERT_EQ(GetHardwareCatalog().Items().size(), std::size(kCatalogueIds));
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(appDir_, ec);
  }

  const fs::path appDir_ = fs::temp_directory_path() / ("sysdiagnose-history-app-" + std::to_string(::getpid()));
};

[[maybe_unused]] ::testing::Environment* const kCatalogue =
    ::testing::AddGlobalTestEnvironment(new CatalogueEnvironment);

// Local wall-clock time of the zone "CST-8" (UTC+8, no daylight saving).
int64_t China(int year, int month, int day, int hour, int minute, int second) {
  return testenv::Utc(year, month, day, hour, minute, second) - 8 * 3600;
}

// A private data directory, the zone "CST-8" and a clock that reads `now_`.
class HistoryTest : public ::testing::Test {
 protected:
  // Stores `record` as a run made at `moment`; returns it as stamped by the store.
  tagDiagnoseRecord SaveAt(int64_t moment, tagDiagnoseRecord record = AllNormal()) {
    now_ = moment;
    DiagnoseHistory::SaveDiagnoseRecord(record);
    return record;
  }
  // A run record with every state 0 (all normal).
  static tagDiagnoseRecord AllNormal() {
    auto record = ResetDiagnoseRecord();
    for (int32_t i = 0; i < kHardwareCategoryCount; ++i) StateAt(record, i) = 0;
    return record;
  }

  testenv::ScopedDataDir dataDir_;
  int64_t now_ = 0;
  testenv::ScopedClock clock_{"CST-8", [this] { return now_; }};
};

std::vector<int64_t> RecentDays(int count) {
  std::vector<int64_t> seconds;
  DiagnoseHistory::QueryRecentDays(count, [&](const std::vector<tagQueryDataItem>& days) {
    for (const auto& day : days) seconds.push_back(day.secondTime);
  });
  return seconds;
}

TEST_F(HistoryTest, SavingStampsTheMomentOfStoring) {
  tagDiagnoseRecord record = AllNormal();
  record.date = "1999.01.01";
  record.time = "1999.01.01.00.00.00";
  record.secondTime = 12345;

  record = SaveAt(China(2026, 3, 9, 7, 5, 9), record);

  EXPECT_EQ(record.date, "2026.03.09");
  EXPECT_EQ(record.time, "2026.03.09.07.05.09");
  EXPECT_EQ(record.secondTime, China(2026, 3, 9, 7, 5, 9));
  tagQueryDataItem item;
  ASSERT_TRUE(DiagnoseHistory::QueryBySecondTime(item, static_cast<int32_t>(record.secondTime)));
  EXPECT_EQ(std::make_pair(item.date, item.time), std::make_pair(record.date, record.time));
}

TEST_F(HistoryTest, StoredValuesReadBackAsTheirLow32BitsSigned) {
  tagDiagnoseRecord record = AllNormal();
  record.cpuState = 4294967295;
  record.diskState = 4294967296 + 5;
  record.abnormalCount = 3;
  record = SaveAt(China(2026, 3, 9, 7, 5, 9), record);

  tagQueryDataItem item;
  ASSERT_TRUE(DiagnoseHistory::QueryBySecondTime(item, static_cast<int32_t>(record.secondTime)));
  EXPECT_EQ(item.cpuState, -1);
  EXPECT_EQ(item.diskState, 5);
  EXPECT_EQ(item.abnormalCount, 3);
}

TEST_F(HistoryTest, ARowWithAValueOfAnUnexpectedTypeIsNotFound) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dataDir_.path() / "history.db").c_str(), &db), SQLITE_OK);
  std::string columns;
  for (int i = 1; i <= 16; ++i) columns += "c" + std::to_string(i) + ", ";
  const std::string sql = "CREATE TABLE TABLE_HARDWARE_DIAGNOSE (" + columns + "SecondTime INTEGER);"
                          "INSERT INTO TABLE_HARDWARE_DIAGNOSE VALUES ('abc',0,0,0,0,0,0,0,0,0,0,0,0,0,"
                          "'2026.03.09','2026.03.09.10.00.00',1000);";
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK);
  tagQueryDataItem item;
  item.date = "untouched";

  EXPECT_FALSE(DiagnoseHistory::QueryBySecondTime(item, 1000));
  EXPECT_FALSE(DiagnoseHistory::QueryLatestBetween(item, 2000, 0));
  EXPECT_EQ(item.date, "untouched");
}

TEST_F(HistoryTest, RecountCountsOnlyDiagnosedCatalogueStates) {
  tagQueryDataItem item;  // every state 0
  item.cpuState = 2;          // abnormal
  item.audioState = -1;       // not diagnosed
  item.bluetoothState = 1;    // not in the catalogue
  item.normalCount = 99;
  item.abnormalCount = 99;

  DiagnoseHistory::RecountStates(item);

  EXPECT_EQ(item.normalCount, kCatalogueCategories - 2);
  EXPECT_EQ(item.abnormalCount, 1);
}

TEST_F(HistoryTest, QueryRecordAnswersTheRunOfExactlyThatSecondRecountedOrAnAllNormalItem) {
  tagDiagnoseRecord record = AllNormal();
  record.memoryState = 1;
  record.normalCount = 0;  // stored counts are not what the answer shows
  record.abnormalCount = 0;
  const int32_t second = static_cast<int32_t>(SaveAt(China(2026, 3, 9, 10, 0, 0), record).secondTime);
  const auto ask = [](int32_t seconds) {
    int calls = 0;
    bool found = false;
    tagQueryDataItem answer;
    DiagnoseHistory::QueryRecord(seconds, [&](bool f, const tagQueryDataItem& item) {
      ++calls;
      found = f;
      answer = item;
    });
    EXPECT_EQ(calls, 1);
    return std::make_pair(found, answer);
  };

  const auto [found, run] = ask(second);
  EXPECT_TRUE(found);
  EXPECT_EQ(run.memoryState, 1);
  EXPECT_EQ(run.secondTime, second);
  EXPECT_EQ(run.abnormalCount, 1);
  EXPECT_EQ(run.normalCount, kCatalogueCategories - 1);

  for (const int32_t beside : {second - 1, second + 1}) {
    const auto [missed, blank] = ask(beside);
    EXPECT_FALSE(missed) << beside;
    for (int32_t i = 0; i < kHardwareCategoryCount; ++i) EXPECT_EQ(StateAt(blank, i), 0) << i;
    EXPECT_EQ(blank.normalCount, kCatalogueCategories);
    EXPECT_EQ(blank.abnormalCount, 0);
  }
}

// Midnight belongs to the new day, the second before it to the old one; the 89th day back is the
// oldest still probed.
TEST_F(HistoryTest, RecentDaysGiveTheLatestRunOfEachLocalDayNewestFirstWithinNinetyDays) {
  const int64_t midnight = China(2026, 6, 30, 0, 0, 0);
  SaveAt(midnight - 90 * 86400);
  SaveAt(midnight - 89 * 86400);
  SaveAt(midnight - 16 * 3600);
  SaveAt(midnight - 1);
  SaveAt(midnight);
  now_ = midnight + 30;

  EXPECT_EQ(RecentDays(12), (std::vector{midnight, midnight - 1, midnight - 89 * 86400}));
}

}  // namespace
