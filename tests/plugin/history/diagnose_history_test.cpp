#include "history/diagnose_history.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "history_fixture.h"
#include "model/hardware_state.h"
#include "support/log_capture.h"

namespace {

using historytest::China;
using historytest::HistoryTest;
using historytest::Utc;
using zel::sysdiagnose::DiagnoseHistory;
using zel::sysdiagnose::tagDiagnoseRecord;
using zel::sysdiagnose::tagQueryDataItem;

std::vector<tagQueryDataItem> RecentDays(int count) {
  std::vector<tagQueryDataItem> result;
  int calls = 0;
  DiagnoseHistory::QueryRecentDays(count, [&](const std::vector<tagQueryDataItem>& days) {
    result = days;
    ++calls;
  });
  EXPECT_EQ(calls, 1);
  return result;
}

std::vector<int32_t> SecondTimes(const std::vector<tagQueryDataItem>& days) {
  std::vector<int32_t> seconds;
  for (const auto& day : days) seconds.push_back(day.secondTime);
  return seconds;
}

// Writes a history.db whose table was made by someone else, before the host opens it.
void WriteForeignDatabase(const std::filesystem::path& dir, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir / "history.db").c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  const std::string message = error ? error : "";
  sqlite3_free(error);
  sqlite3_close(db);
  ASSERT_EQ(rc, SQLITE_OK) << message;
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
  tagQueryDataItem item;
  ASSERT_TRUE(DiagnoseHistory::QueryBySecondTime(item, static_cast<int32_t>(record.secondTime)));
  EXPECT_EQ(item.date, "2026.03.09");
  EXPECT_EQ(item.time, "2026.03.09.07.05.09");
}

TEST_F(SaveDiagnoseRecordTest, EveryValueReadsBackIntoItsOwnFieldAsItsLow32Bits) {
  tagDiagnoseRecord record = AllNormal();
  for (int32_t i = 0; i < 12; ++i) zel::sysdiagnose::StateAt(record, i) = 100 + i;
  record.cpuState = 4294967295;       // low 32 bits: -1
  record.diskState = 4294967296 + 5;  // low 32 bits: 5
  record.fingerprintState = -1;
  record.normalCount = 7;
  record.abnormalCount = 3;
  record = SaveAt(China(2026, 3, 9, 12, 0, 0), record);

  tagQueryDataItem item;
  ASSERT_TRUE(DiagnoseHistory::QueryBySecondTime(item, static_cast<int32_t>(record.secondTime)));

  EXPECT_EQ(item.cpuState, -1);
  EXPECT_EQ(item.diskState, 5);
  EXPECT_EQ(item.fingerprintState, -1);
  for (int32_t i : {1, 2, 4, 5, 6, 7, 8, 9, 10}) EXPECT_EQ(zel::sysdiagnose::StateAt(item, i), 100 + i) << i;
  EXPECT_EQ(item.normalCount, 7);
  EXPECT_EQ(item.abnormalCount, 3);
  EXPECT_EQ(item.secondTime, static_cast<int32_t>(China(2026, 3, 9, 12, 0, 0)));
}

using QueryLatestBetweenTest = HistoryTest;

TEST_F(QueryLatestBetweenTest, ARowWithAValueOfAnUnexpectedTypeIsNotFoundAndLogged) {
  std::string columns;
  for (int i = 1; i <= 16; ++i) columns += "c" + std::to_string(i) + ", ";
  WriteForeignDatabase(dataDir_.path(),
                       "CREATE TABLE TABLE_HARDWARE_DIAGNOSE (" + columns + "SecondTime INTEGER);"
                       "INSERT INTO TABLE_HARDWARE_DIAGNOSE VALUES ('abc',0,0,0,0,0,0,0,0,0,0,0,0,0,"
                       "'2026.03.09','2026.03.09.10.00.00',1000);");
  testenv::LogCapture log;
  tagQueryDataItem item;
  item.date = "untouched";

  EXPECT_FALSE(DiagnoseHistory::QueryBySecondTime(item, 1000));
  EXPECT_FALSE(DiagnoseHistory::QueryLatestBetween(item, 2000, 0));

  EXPECT_EQ(item.date, "untouched");
  const auto errors = log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[0].message.find("unexpected type"), std::string::npos) << errors[0].message;
}

TEST_F(QueryLatestBetweenTest, ARowOfFewerThanSeventeenValuesIsNotFound) {
  WriteForeignDatabase(dataDir_.path(),
                       "CREATE TABLE TABLE_HARDWARE_DIAGNOSE (a INTEGER, b TEXT, SecondTime INTEGER);"
                       "INSERT INTO TABLE_HARDWARE_DIAGNOSE VALUES (0, 'x', 1000);");
  tagQueryDataItem item;

  EXPECT_FALSE(DiagnoseHistory::QueryBySecondTime(item, 1000));
}

using RecountStatesTest = HistoryTest;

TEST_F(RecountStatesTest, CountsOnlyTodaysCatalogueAndOnlyZeroAndPositiveStates) {
  tagQueryDataItem item;  // every state 0
  item.cpuState = 2;         // abnormal
  item.audioState = -1;      // not diagnosed
  item.memoryState = -5;     // not diagnosed either
  item.bluetoothState = 1;   // not in the catalogue
  item.fingerprintState = 0; // not in the catalogue
  item.normalCount = 99;
  item.abnormalCount = 99;

  DiagnoseHistory::RecountStates(item);

  EXPECT_EQ(item.normalCount, historytest::kCatalogueCategories - 3);
  EXPECT_EQ(item.abnormalCount, 1);
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
  SaveAt(today - 400 * 86400, AllNormal());
  SaveAt(today - 3 * 86400, AllNormal());
  SaveAt(today - 1 * 86400, AllNormal());
  now_ = today;

  const auto days = RecentDays(12);

  EXPECT_EQ(SecondTimes(days), (std::vector<int32_t>{static_cast<int32_t>(today - 86400),
                                                      static_cast<int32_t>(today - 3 * 86400),
                                                      static_cast<int32_t>(today - 89 * 86400)}));
}

TEST_F(QueryRecentDaysTest, StopsAtTheWantedNumberOfDays) {
  const int64_t today = China(2026, 3, 9, 10, 0, 0);
  for (int back = 0; back < 5; ++back) SaveAt(today - back * 86400, AllNormal());
  now_ = today;

  EXPECT_EQ(SecondTimes(RecentDays(2)),
            (std::vector<int32_t>{static_cast<int32_t>(today), static_cast<int32_t>(today - 86400)}));
  EXPECT_TRUE(RecentDays(0).empty());
}

TEST_F(QueryRecentDaysTest, MidnightBelongsToTheNewDayAndTheSecondBeforeToTheOld) {
  SaveAt(China(2026, 3, 8, 23, 59, 59), AllNormal());
  SaveAt(China(2026, 3, 9, 0, 0, 0), AllNormal());
  now_ = China(2026, 3, 9, 0, 0, 30);

  const auto days = RecentDays(12);

  ASSERT_EQ(days.size(), 2u);
  EXPECT_EQ(days[0].date, "2026.03.09");
  EXPECT_EQ(days[0].time, "2026.03.09.00.00.00");
  EXPECT_EQ(days[1].date, "2026.03.08");
  EXPECT_EQ(days[1].time, "2026.03.08.23.59.59");
}

class QueryRecentDaysAcrossDaylightSaving : public HistoryTest {
 protected:
  QueryRecentDaysAcrossDaylightSaving() : HistoryTest("EST5EDT,M3.2.0,M11.1.0") {}
};

TEST_F(QueryRecentDaysAcrossDaylightSaving, ADayWhoseClocksChangeStillEndsAtLocalMidnight) {
  // Clocks went forward on 2026-03-08 at 02:00; that day had 23 hours.
  const int64_t saturdayLate = Utc(2026, 3, 8, 4, 30, 0);   // 03-07 23:30 EST
  const int64_t sundayEarly = Utc(2026, 3, 8, 5, 30, 0);    // 03-08 00:30 EST
  const int64_t sundayLate = Utc(2026, 3, 9, 3, 30, 0);     // 03-08 23:30 EDT
  for (int64_t moment : {saturdayLate, sundayEarly, sundayLate}) SaveAt(moment, AllNormal());
  now_ = Utc(2026, 3, 9, 16, 0, 0);  // 03-09 12:00 EDT

  const auto days = RecentDays(12);

  EXPECT_EQ(SecondTimes(days),
            (std::vector<int32_t>{static_cast<int32_t>(sundayLate), static_cast<int32_t>(saturdayLate)}));
  ASSERT_EQ(days.size(), 2u);
  EXPECT_EQ(days[0].date, "2026.03.08");
  EXPECT_EQ(days[1].date, "2026.03.07");
}

using QueryRecordTest = HistoryTest;

TEST_F(QueryRecordTest, FindsTheRunAndRecountsIt) {
  tagDiagnoseRecord record = AllNormal();
  record.keyboardState = 1;
  record = SaveAt(China(2026, 3, 9, 10, 0, 0), record);
  bool found = false;
  tagQueryDataItem run;
  int calls = 0;

  DiagnoseHistory::QueryRecord(static_cast<int>(record.secondTime), [&](bool f, const tagQueryDataItem& item) {
    found = f;
    run = item;
    ++calls;
  });

  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(found);
  EXPECT_EQ(run.keyboardState, 1);
  EXPECT_EQ(run.normalCount, historytest::kCatalogueCategories - 1);
  EXPECT_EQ(run.abnormalCount, 1);
}

TEST_F(QueryRecordTest, AMissingRunGivesAnAllNormalItemOverTheCatalogue) {
  bool found = true;
  tagQueryDataItem run;
  run.cpuState = 5;

  DiagnoseHistory::QueryRecord(424242, [&](bool f, const tagQueryDataItem& item) {
    found = f;
    run = item;
  });

  EXPECT_FALSE(found);
  EXPECT_EQ(run.cpuState, 0);
  EXPECT_EQ(run.secondTime, 0);
  EXPECT_EQ(run.normalCount, historytest::kCatalogueCategories);
  EXPECT_EQ(run.abnormalCount, 0);
}

}  // namespace
