#include "history/diagnose_history.h"

#include <cstdio>
#include <ctime>
#include <string>

#include "model/hardware_catalog.h"
#include "model/hardware_state.h"
#include "platform/clock.h"
#include "utility/DataManager.h"
#include "utility/Logger.h"

namespace zel::sysdiagnose {
namespace {

constexpr const char* kTable = "TABLE_HARDWARE_DIAGNOSE";
constexpr const char* kSourceTag = "zel_history_diagnose";
constexpr size_t kRowValues = 17;
constexpr int kStateCount = kHardwareCategoryCount;
constexpr int kProbeDays = 90;

// Integers come back as 64-bit values; the history record keeps their low 32 bits.
int32_t Low32(const linb::any& value) { return static_cast<int32_t>(linb::any_cast<int64_t>(value)); }

// Converts a row of the table; throws linb::bad_any_cast on a value of an unexpected type.
tagQueryDataItem ItemFromRow(const DataManager::Row& row) {
  tagQueryDataItem item;
  for (int i = 0; i < kStateCount; ++i) StateAt(item, i) = Low32(row[static_cast<size_t>(i)]);
  item.normalCount = Low32(row[12]);
  item.abnormalCount = Low32(row[13]);
  item.date = linb::any_cast<std::string>(row[14]);
  item.time = linb::any_cast<std::string>(row[15]);
  item.secondTime = Low32(row[16]);
  return item;
}

// Reads the first row that `query` gives into `item`.
bool QueryFirstRow(const std::string& query, tagQueryDataItem& item) {
  std::vector<DataManager::Row> rows;
  DataManager::Instance().Get(query, DataManager::RETURN_ORDER_COLUMNS, rows);
  if (rows.empty() || rows.front().size() < kRowValues) return false;
  // A row that does not hold what this table stores is treated as no row at all: the history
  // shows nothing for it rather than failing.
  try {
    item = ItemFromRow(rows.front());
  } catch (const linb::bad_any_cast&) {
    hostlog::Error("a history row holds a value of an unexpected type; treated as not found: " + query,
                   "zel::sysdiagnose::DiagnoseHistory::QueryFirstRow", kSourceTag, __LINE__, __PRETTY_FUNCTION__);
    return false;
  }
  return true;
}

// Seconds since 1970 of local midnight `dayOffset` days after the date of `day`. The days are
// real local days, so one in which the clocks change still ends at midnight.
int64_t LocalMidnight(const platform::LocalTime& day, int dayOffset) {
  std::tm tm{};
  tm.tm_year = day.year - 1900;
  tm.tm_mon = day.month - 1;
  tm.tm_mday = day.day + dayOffset;
  tm.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&tm));
}

}  // namespace

void DiagnoseHistory::SaveDiagnoseRecord(tagDiagnoseRecord& record) {
  // One clock reading for all three fields, so the texts never disagree with the seconds.
  const int64_t now = platform::SecondsSince1970();
  const platform::LocalTime t = platform::ToLocalTime(now);
  char time[260];
  char date[260];
  std::snprintf(time, sizeof time, "%4d.%02d.%02d.%02d.%02d.%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  std::snprintf(date, sizeof date, "%4d.%02d.%02d", t.year, t.month, t.day);
  record.date = date;
  record.time = time;
  record.secondTime = now;

  DataManager::Row row;
  row.reserve(kRowValues);
  for (int i = 0; i < kStateCount; ++i) row.emplace_back(StateAt(record, i));
  row.emplace_back(record.normalCount);
  row.emplace_back(record.abnormalCount);
  row.emplace_back(record.date);
  row.emplace_back(record.time);
  row.emplace_back(record.secondTime);
  DataManager::Instance().Put(kTable, row);
}

bool DiagnoseHistory::QueryLatestBetween(tagQueryDataItem& item, int32_t before, int32_t since) {
  const std::string query =
      "select * from TABLE_HARDWARE_DIAGNOSE where SecondTime=(select Max(SecondTime) from "
      "TABLE_HARDWARE_DIAGNOSE where SecondTime<" +
      std::to_string(before) + " and SecondTime>=" + std::to_string(since) + ")";
  return QueryFirstRow(query, item);
}

bool DiagnoseHistory::QueryBySecondTime(tagQueryDataItem& item, int32_t secondTime) {
  return QueryFirstRow("select * from TABLE_HARDWARE_DIAGNOSE where SecondTime=" + std::to_string(secondTime),
                       item);
}

void DiagnoseHistory::RecountStates(tagQueryDataItem& item) {
  int32_t normal = 0;
  int32_t abnormal = 0;
  for (const tagDetectItem& entry : GetHardwareCatalog().Items()) {
    const int32_t* state = StateOf(item, entry.id);
    if (!state) continue;
    if (*state == 0) {
      ++normal;
    } else if (*state > 0) {
      ++abnormal;
    }
  }
  item.normalCount = normal;
  item.abnormalCount = abnormal;
}

void DiagnoseHistory::QueryRecentDays(int count, const DaysCallback& callback) {
  const platform::LocalTime today = platform::ToLocalTime(platform::SecondsSince1970());
  std::vector<tagQueryDataItem> days;
  // One day's start is the next older day's end: each midnight is worked out once.
  int64_t end = LocalMidnight(today, 1);
  for (int back = 0; static_cast<int>(days.size()) < count && back < kProbeDays; ++back) {
    const int64_t start = LocalMidnight(today, -back);
    tagQueryDataItem item;
    if (QueryLatestBetween(item, static_cast<int32_t>(end), static_cast<int32_t>(start))) {
      RecountStates(item);
      days.push_back(std::move(item));
    }
    end = start;
  }
  if (callback) callback(days);
}

void DiagnoseHistory::QueryRecord(int secondTime, const RecordCallback& callback) {
  tagQueryDataItem item;
  const bool found = QueryBySecondTime(item, secondTime);
  RecountStates(item);
  if (callback) callback(found, item);
}

}  // namespace zel::sysdiagnose
