#pragma once
// The host's database: the SQLite file history.db in the data directory, opened on first use and
// re-opened when the data directory changes. One connection, used under a lock, so any thread
// may call in.
#include <any>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// Row values cross the host interface as `linb::any`; here that is the standard one.
namespace linb {
using std::any;
using std::any_cast;
using bad_any_cast = std::bad_any_cast;
}  // namespace linb

class DataManager {
 public:
  // How Get hands back a row.
  enum emReturnOrder : int32_t {
    RETURN_ORDER_COLUMNS = 1,  // each row's values in the order of the query's result columns
  };

  using Row = std::vector<linb::any>;

  static DataManager& Instance();

  // Appends one row to the table. Values may hold int64_t (or int32_t) and std::string (or a
  // const char*). False, with a logged error, when the row cannot be stored.
  bool Put(const std::string& table, const Row& row);

  // Runs one query and appends its rows to `rows`: INTEGER as int64_t, TEXT as std::string,
  // REAL as double, BLOB as std::string, NULL as an empty any. False, with a logged error, on an
  // SQL error; the rows read before the error stay in `rows`.
  bool Get(const std::string& query, emReturnOrder order, std::vector<Row>& rows);

  // What failed in this process so far: stores (Put) and reads (Get), and the last reason of each.
  struct Failures {
    uint64_t stores = 0;
    uint64_t reads = 0;
    std::string lastStore;
    std::string lastRead;
  };
  Failures FailuresSoFar();

  DataManager(const DataManager&) = delete;
  DataManager& operator=(const DataManager&) = delete;

 private:
  DataManager() = default;
  ~DataManager();

  // Opens the database of the current data directory for a read or a write unless it is open so.
  // A read needs no more than the file as it is, and of a history not begun it makes no file: it
  // reads an empty table in memory. Before the first write the file's every page is checked. A
  // file that is no database, or a damaged one, is kept aside and a new database started. Empty
  // text on success, else why it cannot be opened.
  std::string EnsureOpenLocked(bool forWriting);
  // Opens `path`, or an empty database in memory in its place, and makes sure the table and its
  // index exist, after checking every page when `checkPages`; returns the SQLite result code.
  int OpenAndPrepareLocked(const std::string& path, bool inMemory, bool checkPages);
  // Keeps a database that cannot be used aside, and says so in the log; empty text, else why not.
  std::string KeepDamagedAsideLocked(const std::string& path, std::string_view why);
  // Runs one query into `rows`; the SQLite result code, with `error` set when it is not SQLITE_OK.
  int RunQueryLocked(const std::string& query, std::vector<Row>& rows, std::string& error);
  // Renames a database that cannot be used (and its log) to a name that says `why`.
  std::string KeepAsideLocked(const std::string& path, std::string_view why);
  void CloseLocked();
  // Notes a failed store or read with its reason; false, for the caller to return.
  bool FailLocked(bool store, const std::string& reason, const char* function, int line, const char* signature);

  // The statement prepared for a query's shape (kept in the order last used, first first), or null.
  sqlite3_stmt* ShapedStatementLocked(const std::string& shape);
  void KeepShapedStatementLocked(const std::string& shape, sqlite3_stmt* statement);

  std::mutex lock_;
  sqlite3* db_ = nullptr;
  std::vector<std::pair<std::string, sqlite3_stmt*>> shaped_;
  std::string path_;       // the database the connection stands for
  bool inMemory_ = false;  // the history has no file yet
  bool checked_ = false;   // every page was checked since it was opened
  Failures failures_;
};
