#pragma once
// Stores every finished run as one row of the host's history table and reads the runs back.
// Stateless; the host's DataManager serialises the database, so any thread may save. Reads call
// their callback once, on the calling thread, before they return.
#include <cstdint>
#include <functional>
#include <vector>

#include "model/records.h"

namespace zel::sysdiagnose {

class DiagnoseHistory {
 public:
  using DaysCallback = std::function<void(const std::vector<tagQueryDataItem>&)>;
  using RecordCallback = std::function<void(bool found, const tagQueryDataItem&)>;

  // Stamps the record with the current moment (its date, time and secondTime are overwritten)
  // and stores it.
  static void SaveDiagnoseRecord(tagDiagnoseRecord& record);

  // The latest run with since <= SecondTime < before; false leaves `item` as it was.
  static bool QueryLatestBetween(tagQueryDataItem& item, int32_t before, int32_t since);
  // The run stored at exactly `secondTime`; false leaves `item` as it was.
  static bool QueryBySecondTime(tagQueryDataItem& item, int32_t secondTime);

  // Recounts normal and abnormal categories from the states, over today's catalogue.
  static void RecountStates(tagQueryDataItem& item);

  // The latest run of each of the most recent `count` local days that had runs, newest first,
  // looking back at most 90 days.
  static void QueryRecentDays(int count, const DaysCallback& callback);
  // The run stored at `secondTime`; when there is none, an item with every state 0.
  static void QueryRecord(int secondTime, const RecordCallback& callback);
};

}  // namespace zel::sysdiagnose
