#include "utility/DataManager.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>

#include "platform/data_files.h"
#include "platform/paths.h"
#include "utility/KeepAside.h"
#include "utility/Logger.h"
#include "utility/QueryShape.h"

namespace {

constexpr const char* kSourceTag = "DataManager";
constexpr int kBusyTimeoutMs = 5000;
// The history page asks one question of each of up to 90 days, twice: a handful of shapes.
constexpr size_t kShapedStatements = 8;

struct Column {
  const char* name;
  const char* type;
};

// The history table: twelve category states (processor first), the two counts, the run's date
// and time texts and its moment in seconds since 1970.
constexpr std::array<Column, 17> kHistoryColumns = {{
    {"CpuState", "INTEGER"},         {"MainboardState", "INTEGER"}, {"MemoryState", "INTEGER"},
    {"DiskState", "INTEGER"},        {"GpuState", "INTEGER"},       {"DisplayState", "INTEGER"},
    {"AudioState", "INTEGER"},       {"NetcardState", "INTEGER"},   {"BluetoothState", "INTEGER"},
    {"BatteryState", "INTEGER"},     {"KeyboardState", "INTEGER"},  {"FingerprintState", "INTEGER"},
    {"NormalCount", "INTEGER"},      {"AbnormalCount", "INTEGER"},  {"RunDate", "TEXT"},
    {"RunTime", "TEXT"},             {"SecondTime", "INTEGER"},
}};

// WAL with synchronous=NORMAL: a save is an append to the log without a sync per row; a power
// loss can cost the last runs but never the database. STRICT columns refuse a value of the wrong
// type when it is stored instead of handing it to a reader later. The index serves both of the
// history's queries (the latest run of a day, a run by its moment). The journal mode is set last:
// a damaged file that makes the index fail is left as it was, rolled back, to be kept aside.
std::string SchemaSql() {
  std::string sql =
      "PRAGMA synchronous=NORMAL;"
      "CREATE TABLE IF NOT EXISTS TABLE_HARDWARE_DIAGNOSE (";
  for (size_t i = 0; i < kHistoryColumns.size(); ++i) {
    if (i) sql += ", ";
    sql += kHistoryColumns[i].name;
    sql += ' ';
    sql += kHistoryColumns[i].type;
    sql += " NOT NULL";
  }
  sql +=
      ") STRICT;"
      "CREATE INDEX IF NOT EXISTS IDX_HARDWARE_DIAGNOSE_SECOND_TIME "
      "ON TABLE_HARDWARE_DIAGNOSE(SecondTime);"
      "PRAGMA journal_mode=WAL;";
  return sql;
}

void LogError(const std::string& message, const char* qualifiedName, int line, const char* signature) {
  hostlog::Error(message, qualifiedName, kSourceTag, line, signature);
}

bool IsIdentifier(std::string_view name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !(digit && i > 0)) return false;
  }
  return true;
}

// Binds one row value; false for a type the database does not store.
bool BindValue(sqlite3_stmt* statement, int index, const linb::any& value) {
  if (const auto* v = linb::any_cast<int64_t>(&value)) return sqlite3_bind_int64(statement, index, *v) == SQLITE_OK;
  if (const auto* v = linb::any_cast<int32_t>(&value)) return sqlite3_bind_int64(statement, index, *v) == SQLITE_OK;
  if (const auto* v = linb::any_cast<std::string>(&value)) {
    return sqlite3_bind_text(statement, index, v->data(), static_cast<int>(v->size()), SQLITE_TRANSIENT) ==
           SQLITE_OK;
  }
  if (const auto* v = linb::any_cast<const char*>(&value); v && *v) {
    return sqlite3_bind_text(statement, index, *v, -1, SQLITE_TRANSIENT) == SQLITE_OK;
  }
  return false;
}

linb::any ColumnValue(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
      return static_cast<int64_t>(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
      return sqlite3_column_double(statement, column);
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
      const int size = sqlite3_column_bytes(statement, column);
      return bytes ? std::string(bytes, static_cast<size_t>(size)) : std::string();
    }
    default:
      return {};
  }
}

// Finalizes the statement when it goes out of scope.
struct Statement {
  sqlite3_stmt* handle = nullptr;
  ~Statement() { sqlite3_finalize(handle); }
};

// Prepares `sql` as exactly one statement into `out`: false, with nothing kept, when SQLite refuses
// it or it holds more than one; `sqliteRefused` tells which.
bool PrepareOne(sqlite3* db, const std::string& sql, sqlite3_stmt*& out, bool& sqliteRefused) {
  const char* tail = nullptr;
  sqliteRefused = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &out, &tail) != SQLITE_OK;
  if (!sqliteRefused && out && std::string_view(tail).find_first_not_of(" \t\r\n;") == std::string_view::npos) return true;
  sqlite3_finalize(out);
  out = nullptr;
  return false;
}

// Why a database cannot be used and must be kept aside: its file is none, or its pages are
// damaged. Empty for any other result.
std::string_view DamageOf(int rc) {
  switch (rc & 0xff) {
    case SQLITE_NOTADB: return "notadb";
    case SQLITE_CORRUPT: return "corrupt";
    default: return {};
  }
}

// Walks every page once (a history of years reads in milliseconds): SQLITE_CORRUPT when one is
// damaged, so that damage shows when the file is opened, not as rows that silently go missing.
int QuickCheck(sqlite3* db) {
  Statement statement;
  int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &statement.handle, nullptr);
  if (rc != SQLITE_OK) return rc;
  rc = sqlite3_step(statement.handle);
  if (rc != SQLITE_ROW) return rc;
  const auto* verdict = reinterpret_cast<const char*>(sqlite3_column_text(statement.handle, 0));
  return verdict != nullptr && std::string_view(verdict) == "ok" ? SQLITE_OK : SQLITE_CORRUPT;
}

}  // namespace

DataManager& DataManager::Instance() {
  static DataManager instance;
  return instance;
}

DataManager::~DataManager() { CloseLocked(); }

void DataManager::CloseLocked() {
  for (auto& [shape, statement] : shaped_) sqlite3_finalize(statement);
  shaped_.clear();
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
  path_.clear();
  inMemory_ = false;
  checked_ = false;
}

int DataManager::OpenAndPrepareLocked(const std::string& path, bool inMemory, bool checkPages) {
  CloseLocked();
  if (!inMemory) {
    // SQLite makes the database as the umask says and its -wal and -shm like the database: make
    // the database private first, and whatever an older run left beside it.
    if (const int fd = platform::OpenPrivateFile(path, O_RDWR); fd >= 0) ::close(fd);
    for (const char* suffix : platform::kHistoryCompanions) platform::MakePrivate(path + suffix);
  }
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
  int rc = sqlite3_open_v2(inMemory ? ":memory:" : path.c_str(), &db_, flags, nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    if (checkPages) rc = QuickCheck(db_);
  }
  if (rc == SQLITE_OK) rc = sqlite3_exec(db_, SchemaSql().c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return rc;
  path_ = path;
  inMemory_ = inMemory;
  checked_ = checkPages;
  return SQLITE_OK;
}

std::string DataManager::KeepAsideLocked(const std::string& path, std::string_view why) {
  // Kept for whoever wants to look at it. Its WAL goes along (it belongs to that file); the
  // shared-memory index is rebuilt on open.
  CloseLocked();
  std::error_code ec;
  const std::string aside = hostfiles::MoveAside(path, why, ec);
  if (ec) return {};
  std::error_code ignored;
  if (std::filesystem::is_regular_file(std::filesystem::symlink_status(path + "-wal", ignored))) {
    std::filesystem::rename(path + "-wal", aside + "-wal", ignored);
    platform::MakePrivate(aside + "-wal");
  }
  std::filesystem::remove(path + "-shm", ignored);
  return aside;
}

std::string DataManager::KeepDamagedAsideLocked(const std::string& path, std::string_view why) {
  const std::string what = why == "notadb" ? " is not a database" : " is damaged";
  const std::string aside = KeepAsideLocked(path, why);
  if (aside.empty()) return path + what + " and could not be moved aside";
  LogError(path + what + "; kept it as " + aside + " and started a new database", "DataManager::KeepDamagedAsideLocked",
           __LINE__, __PRETTY_FUNCTION__);
  return {};
}

std::string DataManager::EnsureOpenLocked(bool forWriting) {
  // Looked up, not made, on every query (the history page asks up to 180): only a write makes it.
  const std::string dir = platform::DataDirectoryPath();
  if (dir.empty()) return "there is no data directory: the user has no home directory";
  const std::string path = dir + "/" + std::string(platform::kHistoryFile);
  const bool open = db_ && path == path_;
  if (open && !inMemory_ && (!forWriting || checked_)) return {};
  if (forWriting) platform::CreatePrivateDirectory(dir);
  // A history begun since (by another process) is read from its file.
  std::error_code ignored;
  const bool exists = std::filesystem::symlink_status(path, ignored).type() != std::filesystem::file_type::not_found;
  if (open && inMemory_ && !forWriting && !exists) return {};
  int rc = OpenAndPrepareLocked(path, !forWriting && !exists, forWriting);
  if (const std::string_view why = DamageOf(rc); !why.empty()) {
    if (std::string problem = KeepDamagedAsideLocked(path, why); !problem.empty()) return problem;
    rc = OpenAndPrepareLocked(path, !forWriting, forWriting);
  }
  if (rc != SQLITE_OK) {
    const std::string detail = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    CloseLocked();
    return "cannot open " + path + ": " + detail;
  }
  return {};
}

DataManager::Failures DataManager::FailuresSoFar() {
  std::lock_guard guard(lock_);
  return failures_;
}

bool DataManager::FailLocked(bool store, const std::string& reason, const char* function, int line,
                             const char* signature) {
  ++(store ? failures_.stores : failures_.reads);
  (store ? failures_.lastStore : failures_.lastRead) = reason;
  LogError(reason, function, line, signature);
  // Damage found while at work is looked at again, and the file kept aside, on the next use.
  if (db_ != nullptr && !DamageOf(sqlite3_errcode(db_)).empty()) CloseLocked();
  return false;
}

bool DataManager::Put(const std::string& table, const Row& row) {
  std::lock_guard guard(lock_);
  const auto fail = [this](const std::string& reason, int line) {
    return FailLocked(true, reason, "DataManager::Put", line, __PRETTY_FUNCTION__);
  };
  if (!IsIdentifier(table)) return fail("\"" + table + "\" is not a table name", __LINE__);
  if (row.empty()) return fail("an empty row cannot be stored in " + table, __LINE__);
  std::string sql = "INSERT INTO " + table + " VALUES (";
  for (size_t i = 0; i < row.size(); ++i) sql += i ? ",?" : "?";
  sql += ")";

  if (const std::string problem = EnsureOpenLocked(true); !problem.empty()) return fail(problem, __LINE__);
  Statement statement;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement.handle, nullptr) != SQLITE_OK) {
    return fail("cannot store a row in " + table + ": " + sqlite3_errmsg(db_), __LINE__);
  }
  for (size_t i = 0; i < row.size(); ++i) {
    if (!BindValue(statement.handle, static_cast<int>(i) + 1, row[i])) {
      return fail("value " + std::to_string(i + 1) + " of a row for " + table +
                      " is neither a 64-bit integer nor a text (" + row[i].type().name() + ")",
                  __LINE__);
    }
  }
  if (sqlite3_step(statement.handle) != SQLITE_DONE) {
    return fail("cannot store a row in " + table + ": " + sqlite3_errmsg(db_), __LINE__);
  }
  return true;
}

sqlite3_stmt* DataManager::ShapedStatementLocked(const std::string& shape) {
  for (size_t i = 0; i < shaped_.size(); ++i) {
    if (shaped_[i].first != shape) continue;
    std::rotate(shaped_.begin(), shaped_.begin() + static_cast<std::ptrdiff_t>(i),
                shaped_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    return shaped_.front().second;
  }
  return nullptr;
}

void DataManager::KeepShapedStatementLocked(const std::string& shape, sqlite3_stmt* statement) {
  if (shaped_.size() == kShapedStatements) {
    sqlite3_finalize(shaped_.back().second);
    shaped_.pop_back();
  }
  shaped_.insert(shaped_.begin(), {shape, statement});
}

int DataManager::RunQueryLocked(const std::string& query, std::vector<Row>& rows, std::string& error) {
  // A question asked of many days is parsed and planned once; a shape SQLite refuses (a literal
  // where no parameter may stand) is asked as it was written.
  const std::optional<QueryShape> shape = ShapeOf(query);
  sqlite3_stmt* shaped = shape ? ShapedStatementLocked(shape->sql) : nullptr;
  bool sqliteRefused = false;
  if (!shaped && shape && PrepareOne(db_, shape->sql, shaped, sqliteRefused)) {
    KeepShapedStatementLocked(shape->sql, shaped);
  }
  Statement written;
  if (!shaped && !PrepareOne(db_, query, written.handle, sqliteRefused)) {
    if (!sqliteRefused) {
      error = "query \"" + query + "\" must be exactly one statement";
      return SQLITE_MISUSE;
    }
    error = "query \"" + query + "\" failed: " + sqlite3_errmsg(db_);
    return sqlite3_errcode(db_);
  }
  sqlite3_stmt* statement = shaped ? shaped : written.handle;
  if (shaped) {
    for (size_t i = 0; i < shape->values.size(); ++i) {
      sqlite3_bind_int64(statement, static_cast<int>(i) + 1, shape->values[i]);
    }
  }
  const int columns = sqlite3_column_count(statement);
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    Row row;
    row.reserve(static_cast<size_t>(columns));
    for (int c = 0; c < columns; ++c) row.push_back(ColumnValue(statement, c));
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) error = "query \"" + query + "\" failed: " + sqlite3_errmsg(db_);
  if (shaped) {
    sqlite3_reset(shaped);
    sqlite3_clear_bindings(shaped);
  }
  return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

bool DataManager::Get(const std::string& query, emReturnOrder order, std::vector<Row>& rows) {
  std::lock_guard guard(lock_);
  const auto fail = [this](const std::string& reason, int line) {
    return FailLocked(false, reason, "DataManager::Get", line, __PRETTY_FUNCTION__);
  };
  if (order != RETURN_ORDER_COLUMNS) return fail("unknown return order " + std::to_string(int32_t{order}), __LINE__);
  if (const std::string problem = EnsureOpenLocked(false); !problem.empty()) return fail(problem, __LINE__);
  std::string error;
  int rc = RunQueryLocked(query, rows, error);
  // A read looks at the pages it needs, unchecked: the damage it meets is kept aside as a check
  // on opening would have done, and the history starts again.
  if (const std::string_view why = DamageOf(rc); !why.empty() && !inMemory_ && !checked_) {
    const std::string path = path_;
    if (std::string problem = KeepDamagedAsideLocked(path, why); !problem.empty()) return fail(problem, __LINE__);
    if (std::string problem = EnsureOpenLocked(false); !problem.empty()) return fail(problem, __LINE__);
    rows.clear();
    error.clear();
    rc = RunQueryLocked(query, rows, error);
  }
  if (rc != SQLITE_OK) return fail(error, __LINE__);
  return true;
}
