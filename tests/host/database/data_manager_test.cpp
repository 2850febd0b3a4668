#include "utility/DataManager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/log_capture.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;
using Rows = std::vector<DataManager::Row>;

constexpr const char* kTable = "TABLE_HARDWARE_DIAGNOSE";

DataManager::Row HistoryRow(int64_t firstValue) {
  DataManager::Row row{firstValue};
  for (int i = 1; i < 14; ++i) row.emplace_back(int64_t{i});
  row.emplace_back(std::string("2026.03.09"));
  row.emplace_back(std::string("2026.03.09.10.11.12"));
  row.emplace_back(int64_t{1773050000});
  return row;
}

Rows Query(const std::string& sql) {
  Rows rows;
  EXPECT_TRUE(DataManager::Instance().Get(sql, DataManager::RETURN_ORDER_COLUMNS, rows)) << sql;
  return rows;
}

TEST(DataManager, StoredRowReadsBackInColumnOrderWithItsTypes) {
  testenv::ScopedDataDir dir;
  ASSERT_TRUE(DataManager::Instance().Put(kTable, HistoryRow(4294967295)));

  const Rows rows = Query("select * from TABLE_HARDWARE_DIAGNOSE");
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_EQ(rows[0].size(), 17u);
  EXPECT_EQ(linb::any_cast<int64_t>(rows[0][0]), 4294967295);
  EXPECT_EQ(linb::any_cast<int64_t>(rows[0][13]), 13);
  EXPECT_EQ(linb::any_cast<std::string>(rows[0][15]), "2026.03.09.10.11.12");
  const Rows other = Query("select 1.5, NULL");
  EXPECT_EQ(linb::any_cast<double>(other.at(0)[0]), 1.5);
  EXPECT_FALSE(other[0][1].has_value());
}

TEST(DataManager, BadSqlAndRowsThatDoNotFitTheStrictTableReturnFalseAndAreLogged) {
  testenv::ScopedDataDir dir;
  testenv::LogCapture log;
  Rows rows;

  EXPECT_FALSE(DataManager::Instance().Get("select * from NO_SUCH_TABLE", DataManager::RETURN_ORDER_COLUMNS, rows));
  EXPECT_FALSE(DataManager::Instance().Put(kTable, {linb::any(int64_t{1})}));
  DataManager::Row wrongType = HistoryRow(1);
  wrongType[1] = std::string("seven");  // a strict table keeps a text out of an integer column
  EXPECT_FALSE(DataManager::Instance().Put(kTable, wrongType));

  const auto errors = log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL);
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_NE(errors[0].message.find("NO_SUCH_TABLE"), std::string::npos) << errors[0].message;
}

TEST(DataManager, GarbageFileIsMovedAsideAndTheNextSaveSucceeds) {
  testenv::ScopedDataDir dir;
  const std::string garbage(8192, '!');
  std::ofstream(dir.path() / "history.db", std::ios::binary) << garbage;
  testenv::LogCapture log;

  EXPECT_TRUE(DataManager::Instance().Put(kTable, HistoryRow(0)));

  EXPECT_EQ(Query("select * from TABLE_HARDWARE_DIAGNOSE").size(), 1u);
  std::vector<fs::path> aside;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    if (entry.path().filename().string().starts_with("history.db.notadb-")) aside.push_back(entry.path());
  }
  ASSERT_EQ(aside.size(), 1u);
  std::ifstream kept(aside[0], std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), garbage);
  EXPECT_EQ(log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL).size(), 1u);
}

}  // namespace
