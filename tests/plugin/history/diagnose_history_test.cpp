#include "history/diagnose_history.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "history_fixture.h"
#include "model/hardware_state.h"

namespace {

using historytest::China;
using historytest::HistoryTest;
using zel::sysdiagnose::DiagnoseHistory;
using zel::sysdiagnose::tagDiagnoseRecord;
using zel::sysdiagnose::tagQueryDataItem;

std::vector<tagQueryDataItem> RecentDays(int count) {
  std::vector<tagQueryDataItem> result;
  DiagnoseHistory::QueryRecentDays(count, [&](const std::vector<tagQueryDataItem>& days) { result = days; });
  return result;
}

std::vector<int32_t> SecondTimes(const std::vector<tagQueryDataItem>& days) {
  std::vector<int32_t> seconds;
  for (const auto& day : days) seconds.push_back(day.secondTime);
  return seconds;
}

using SaveDiagnoseRecordTest = HistoryTest;

TEST_F(SaveDiagnoseRecordTest, OverwritesTheCallersDateTimeAndSecondsWithTheMomentOfStoring) {
  tagDiagnoseRecord record = AllNormal();
  record.date = "1999.01.01";
  record.time = "1999.01.01.00.00.00";
  record.secondTime = 12345;

  now_ = China(2026, 3, 9, 7, 5, 9);
  DiagnoseHistory::SaveDiagnoseRecord(record);

  EXPECT_EQ(record.date, "2026.03.09");
  EXPECT_EQ(record.time, "2026.03.09.07.05.09");
  EXPECT_EQ(record.secondTime, China(2026, 3, 9, 7, 5, 9));
}

TEST_F(SaveDiagnoseRecordTest, ValuesReadBackAsTheirLow32BitsSigned) {
  tagDiagnoseRecord record = AllNormal();
  record.cpuState = 4294967295;
  record.diskState = 4294967296 + 5;
  record.abnormalCount = 3;
  record = SaveAt(China(2026, 3, 9, 12, 0, 0), record);

  tagQueryDataItem item;
  ASSERT_TRUE(DiagnoseHistory::QueryBySecondTime(item, static_cast<int32_t>(record.secondTime)));

  EXPECT_EQ(item.cpuState, -1);
  EXPECT_EQ(item.diskState, 5);
  EXPECT_EQ(item.abnormalCount, 3);
  EXPECT_EQ(item.date, "2026.03.09");
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

TEST_F(HistoryTest, RecountCountsCatalogueStatesFromZeroUpAndSkipsNegativeOnes) {
  tagQueryDataItem item;  // every state 0
  item.cpuState = 2;          // abnormal
  item.audioState = -1;       // not diagnosed
  item.bluetoothState = 1;    // not in the catalogue
  item.normalCount = 99;
  item.abnormalCount = 99;

  DiagnoseHistory::RecountStates(item);

  EXPECT_EQ(item.normalCount, historytest::kCatalogueCategories - 2);
  EXPECT_EQ(item.abnormalCount, 1);
}

using QueryRecordTest = HistoryTest;

TEST_F(QueryRecordTest, AnswersTheRunOfExactlyThatSecondRecountedOrAnAllNormalItem) {
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
  EXPECT_EQ(run.normalCount, historytest::kCatalogueCategories - 1);

  for (const int32_t beside : {second - 1, second + 1}) {
    const auto [missed, blank] = ask(beside);
    EXPECT_FALSE(missed) << beside;
    for (int32_t i = 0; i < zel::sysdiagnose::kHardwareCategoryCount; ++i) EXPECT_EQ(StateAt(blank, i), 0) << i;
    EXPECT_EQ(blank.normalCount, historytest::kCatalogueCategories);
    EXPECT_EQ(blank.abnormalCount, 0);
  }
}

using QueryRecentDaysTest = HistoryTest;

TEST_F(QueryRecentDaysTest, TwoRunsOfOneDayGiveOnlyTheLaterOne) {
  SaveAt(China(2026, 3, 9, 8, 0, 0), AllNormal());
  SaveAt(China(2026, 3, 9, 9, 0, 0), AllNormal());
  now_ = China(2026, 3, 9, 18, 0, 0);

  EXPECT_EQ(SecondTimes(RecentDays(12)), (std::vector<int32_t>{static_cast<int32_t>(China(2026, 3, 9, 9, 0, 0))}));
}

TEST_F(QueryRecentDaysTest, ReturnsDaysNewestFirstAndNeverLooksBackMoreThanNinetyDays) {
  const int64_t today = China(2026, 6, 30, 10, 0, 0);
  SaveAt(today - 89 * 86400, AllNormal());  // the oldest day still probed
  SaveAt(today - 90 * 86400, AllNormal());  // one day too old
  SaveAt(today - 3 * 86400, AllNormal());
  now_ = today;

  EXPECT_EQ(SecondTimes(RecentDays(12)),
            (std::vector<int32_t>{static_cast<int32_t>(today - 3 * 86400), static_cast<int32_t>(today - 89 * 86400)}));
}

TEST_F(QueryRecentDaysTest, MidnightBelongsToTheNewDayAndTheSecondBeforeToTheOld) {
  SaveAt(China(2026, 3, 8, 23, 59, 59), AllNormal());
  SaveAt(China(2026, 3, 9, 0, 0, 0), AllNormal());
  now_ = China(2026, 3, 9, 0, 0, 30);

  const auto days = RecentDays(12);

  ASSERT_EQ(days.size(), 2u);
  EXPECT_EQ(days[0].time, "2026.03.09.00.00.00");
  EXPECT_EQ(days[1].time, "2026.03.08.23.59.59");
}

}  // namespace
