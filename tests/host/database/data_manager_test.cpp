#include "utility/DataManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "support/log_capture.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using Rows = std::vector<DataManager::Row>;

constexpr const char* kTable = "TABLE_HARDWARE_DIAGNOSE";

DataManager::Row HistoryRow(int64_t secondTime, linb::any firstValue = int64_t{0}) {
  DataManager::Row row{std::move(firstValue)};
  for (int i = 1; i < 14; ++i) row.emplace_back(int64_t{i});
  row.emplace_back(std::string("2026.03.09"));
  row.emplace_back(std::string("2026.03.09.10.11.12"));
  row.emplace_back(secondTime);
  return row;
}

Rows Query(const std::string& sql) {
  Rows rows;
  EXPECT_TRUE(DataManager::Instance().Get(sql, DataManager::RETURN_ORDER_COLUMNS, rows)) << sql;
  return rows;
}

int64_t RowCount() { return linb::any_cast<int64_t>(Query("select count(*) from TABLE_HARDWARE_DIAGNOSE").at(0).at(0)); }

TEST(DataManager, StoredRowReadsBackInColumnOrderWithItsTypes) {
  testenv::ScopedDataDir dir;
  ASSERT_TRUE(DataManager::Instance().Put(kTable, HistoryRow(1773050000, int64_t{4294967295})));

  const Rows rows = Query("select * from TABLE_HARDWARE_DIAGNOSE");
  const Rows other = Query("select 1.5, NULL, x'4142'");

  ASSERT_EQ(rows.size(), 1u);
  ASSERT_EQ(rows[0].size(), 17u);
  EXPECT_EQ(linb::any_cast<int64_t>(rows[0][0]), 4294967295);
  for (size_t i = 1; i < 14; ++i) EXPECT_EQ(linb::any_cast<int64_t>(rows[0][i]), static_cast<int64_t>(i));
  EXPECT_EQ(linb::any_cast<std::string>(rows[0][14]), "2026.03.09");
  EXPECT_EQ(linb::any_cast<std::string>(rows[0][15]), "2026.03.09.10.11.12");
  EXPECT_EQ(linb::any_cast<int64_t>(rows[0][16]), 1773050000);
  EXPECT_TRUE(fs::exists(dir.path() / "history.db"));
  EXPECT_EQ(linb::any_cast<double>(other.at(0)[0]), 1.5);
  EXPECT_FALSE(other[0][1].has_value());
  EXPECT_EQ(linb::any_cast<std::string>(other[0][2]), "AB");
}

TEST(DataManager, SecondTimeIsIndexedAndTheJournalIsWal) {
  testenv::ScopedDataDir dir;

  const Rows mode = Query("PRAGMA journal_mode");
  const Rows plan = Query(
      "EXPLAIN QUERY PLAN select * from TABLE_HARDWARE_DIAGNOSE where SecondTime=(select Max(SecondTime) "
      "from TABLE_HARDWARE_DIAGNOSE where SecondTime<100 and SecondTime>=0)");

  EXPECT_EQ(linb::any_cast<std::string>(mode.at(0).at(0)), "wal");
  ASSERT_FALSE(plan.empty());
  for (const auto& step : plan) {
    const std::string detail = linb::any_cast<std::string>(step.back());
    EXPECT_EQ(detail.find("SCAN"), std::string::npos) << "full scan in the plan: " << detail;
  }
}

TEST(DataManager, BadSqlAndRowsThatDoNotFitReturnFalseAndAreLogged) {
  testenv::ScopedDataDir dir;
  testenv::LogCapture log;
  DataManager& db = DataManager::Instance();
  Rows rows;

  EXPECT_FALSE(db.Get("select * from NO_SUCH_TABLE", DataManager::RETURN_ORDER_COLUMNS, rows));
  EXPECT_FALSE(db.Get("select 1; DROP TABLE TABLE_HARDWARE_DIAGNOSE", DataManager::RETURN_ORDER_COLUMNS, rows));
  EXPECT_FALSE(db.Get("select 1", static_cast<DataManager::emReturnOrder>(0), rows));
  EXPECT_FALSE(db.Put(kTable, {linb::any(int64_t{1}), linb::any(int64_t{2})}));
  EXPECT_FALSE(db.Put(kTable, HistoryRow(1, std::string("abc"))));  // text for an integer column
  EXPECT_FALSE(db.Put(kTable, HistoryRow(2, 2.5)));                 // a type the table does not hold
  EXPECT_FALSE(db.Put(kTable, HistoryRow(3, linb::any())));
  EXPECT_FALSE(db.Put("TABLE_HARDWARE_DIAGNOSE; DROP TABLE x", HistoryRow(4)));

  EXPECT_TRUE(rows.empty());
  const auto errors = log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL);
  ASSERT_EQ(errors.size(), 8u);
  EXPECT_NE(errors[0].message.find("NO_SUCH_TABLE"), std::string::npos) << errors[0].message;
  EXPECT_NE(errors[3].message.find("17 columns"), std::string::npos) << errors[3].message;
  EXPECT_EQ(RowCount(), 0);
}

TEST(DataManager, FollowsTheDataDirectoryWhenItMoves) {
  testenv::ScopedDataDir first;
  ASSERT_TRUE(DataManager::Instance().Put(kTable, HistoryRow(1)));
  {
    testenv::ScopedDataDir second;
    EXPECT_EQ(RowCount(), 0);
    ASSERT_TRUE(DataManager::Instance().Put(kTable, HistoryRow(2)));
    EXPECT_EQ(RowCount(), 1);
  }
  EXPECT_EQ(RowCount(), 1);
}

class DataManagerGarbageFile : public ::testing::TestWithParam<size_t> {};

TEST_P(DataManagerGarbageFile, IsKeptAsideAndANewDatabaseTakesTheRow) {
  testenv::ScopedDataDir dir;
  std::string garbage;
  for (size_t i = 0; i < GetParam(); ++i) garbage += static_cast<char>('!' + (i * 7) % 90);
  std::ofstream(dir.path() / "history.db", std::ios::binary) << garbage;
  testenv::LogCapture log;

  EXPECT_TRUE(DataManager::Instance().Put(kTable, HistoryRow(42)));

  EXPECT_EQ(RowCount(), 1);
  std::vector<fs::path> aside;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    if (entry.path().filename().string().starts_with("history.db.notadb-")) aside.push_back(entry.path());
  }
  ASSERT_EQ(aside.size(), 1u);
  std::ifstream kept(aside[0], std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), garbage);
  const auto errors = log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].message.find("is not a database"), std::string::npos) << errors[0].message;
  EXPECT_NE(errors[0].message.find(aside[0].string()), std::string::npos) << errors[0].message;
}

INSTANTIATE_TEST_SUITE_P(ShortAndLong, DataManagerGarbageFile, ::testing::Values(size_t{13}, size_t{8192}));

TEST(DataManager, PutsFromManyThreadsAreAllStored) {
  testenv::ScopedDataDir dir;
  constexpr int kThreads = 4;
  constexpr int kRowsEach = 25;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < kRowsEach; ++i) {
        if (!DataManager::Instance().Put(kTable, HistoryRow(t * 1000 + i))) ++failures;
        Rows rows;
        DataManager::Instance().Get("select max(SecondTime) from TABLE_HARDWARE_DIAGNOSE",
                                    DataManager::RETURN_ORDER_COLUMNS, rows);
      }
    });
  }
  for (auto& thread : threads) thread.join();

  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(RowCount(), kThreads * kRowsEach);
}

}  // namespace
