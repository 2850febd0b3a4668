#include "utility/DataManager.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>

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

TEST(DataManager, AFailedReadOrStoreReturnsFalseWithItsReasonLogged) {
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
  // what the host's commands tell the user
  const DataManager::Failures failures = DataManager::Instance().FailuresSoFar();
  EXPECT_GE(failures.reads, 1u);
  EXPECT_GE(failures.stores, 2u);
  EXPECT_NE(failures.lastRead.find("no such table: NO_SUCH_TABLE"), std::string::npos) << failures.lastRead;
  EXPECT_NE(failures.lastStore.find("cannot store a row"), std::string::npos) << failures.lastStore;
}

// A history table of `rows` rows, written the usual way, with its second page then overwritten.
std::string DamagedDatabase(const fs::path& path, int rows) {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  std::string sql = "PRAGMA page_size=4096; CREATE TABLE TABLE_HARDWARE_DIAGNOSE(x TEXT, SecondTime INTEGER);";
  for (int i = 0; i < rows; ++i) sql += "INSERT INTO TABLE_HARDWARE_DIAGNOSE VALUES(printf('%.200c', 'r'), 0);";
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
  file.seekp(4096);
  file << std::string(4096, '\xFF');
  file.close();
  return testenv::ReadFile(path);
}

// A link planted beside the database is neither followed nor changed; the file it names keeps its
// mode.
TEST(DataManager, LinksPlantedBesideTheDatabaseAreNotFollowed) {
  testenv::ScopedDataDir dir;
  const fs::path target = dir.path() / "someone-elses";
  std::ofstream(target) << "keep";
  fs::permissions(target, fs::perms(0644));
  for (const char* companion : {"-wal", "-shm", "-journal"}) fs::create_symlink(target, dir.path() / (std::string("history.db") + companion));

  DataManager::Instance().Put(kTable, HistoryRow(0));

  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0644));
  EXPECT_EQ(testenv::ReadFile(target), "keep");
}

// A file that is no database, or one whose header is sound but whose pages are not: both are
// kept aside and the history starts again, found before a save adds to them (every page is
// checked) or when a read meets them.
TEST(DataManager, AnUnreadableDatabaseIsMovedAsideForAFreshHistory) {
  const struct {
    bool save;
    const char* why;
  } cases[] = {{true, "notadb"}, {true, "corrupt"}, {false, "notadb"}, {false, "corrupt"}};
  for (const auto& [save, why] : cases) {
    SCOPED_TRACE(save ? "a save" : "a read");
    testenv::ScopedDataDir dir;
    const fs::path file = dir.path() / "history.db";
    std::string content(8192, '!');
    if (why == std::string("corrupt")) {
      content = DamagedDatabase(file, 100);
    } else {
      std::ofstream(file, std::ios::binary) << content;
    }
    testenv::LogCapture log;

    if (save) {
      EXPECT_TRUE(DataManager::Instance().Put(kTable, HistoryRow(0))) << why;
      EXPECT_EQ(Query("select * from TABLE_HARDWARE_DIAGNOSE").size(), 1u);
    } else {
      EXPECT_EQ(Query("select * from TABLE_HARDWARE_DIAGNOSE where SecondTime>=0").size(), 0u) << why;
    }
    std::vector<fs::path> aside;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      if (entry.path().filename().string().starts_with(std::string("history.db.") + why + "-")) {
        aside.push_back(entry.path());
      }
    }
    ASSERT_EQ(aside.size(), 1u) << why;
    EXPECT_EQ(testenv::ReadFile(aside[0]), content);
    EXPECT_EQ(log.LinesAtLeast(log4cplus::ERROR_LOG_LEVEL).size(), 1u);
  }
}

// Reading a history not begun makes no file, nor the data directory (a scan reads the history
// page and stores nothing); the first save begins both.
TEST(DataManager, AReadOfAHistoryNotBegunMakesNoFile) {
  testenv::ScopedDataDir scoped;
  const fs::path dir = scoped.path() / "not-made-yet";
  setenv("SYSDIAGNOSE_DATA_DIR", dir.c_str(), 1);
  const Rows none = Query("select count(*) from TABLE_HARDWARE_DIAGNOSE");
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(linb::any_cast<int64_t>(none[0][0]), 0);
  EXPECT_TRUE(fs::is_empty(scoped.path()));

  ASSERT_TRUE(DataManager::Instance().Put(kTable, HistoryRow(0)));
  EXPECT_TRUE(fs::exists(dir / "history.db"));
  EXPECT_EQ(fs::status(dir).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(Query("select * from TABLE_HARDWARE_DIAGNOSE").size(), 1u);
}

// A history of an older version, without the index on the run's moment, gets it on opening, and
// the history page's two queries find their rows through it rather than by reading every row.
TEST(DataManager, TheHistoryQueriesGoThroughTheIndexOnTheRunsMomentAddedToAnOlderHistory) {
  testenv::ScopedDataDir dir;
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open((dir.path() / "history.db").c_str(), &db), SQLITE_OK);
  std::string table = "CREATE TABLE TABLE_HARDWARE_DIAGNOSE(";
  for (int i = 0; i < 16; ++i) table += "c" + std::to_string(i) + (i < 14 ? " INTEGER, " : " TEXT, ");
  table += "SecondTime INTEGER);";
  ASSERT_EQ(sqlite3_exec(db, table.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  ASSERT_TRUE(DataManager::Instance().Put(kTable, HistoryRow(0)));

  for (const char* query : {"select * from TABLE_HARDWARE_DIAGNOSE where SecondTime=(select Max(SecondTime) from "
                            "TABLE_HARDWARE_DIAGNOSE where SecondTime<1773100000 and SecondTime>=1773000000)",
                            "select * from TABLE_HARDWARE_DIAGNOSE where SecondTime=1773050000"}) {
    EXPECT_EQ(Query(query).size(), 1u) << query;
    std::string plan;
    for (const auto& row : Query(std::string("explain query plan ") + query)) plan += linb::any_cast<std::string>(row.back()) + "\n";
    EXPECT_EQ(plan.find("SCAN"), std::string::npos) << plan;
    EXPECT_NE(plan.find("IDX_HARDWARE_DIAGNOSE_SECOND_TIME"), std::string::npos) << plan;
  }
}

}  // namespace
