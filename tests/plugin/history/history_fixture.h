#pragma once
// What the history tests share: the catalogue they count over, a settable clock and time zone,
// and times written as local wall-clock times of that zone.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "model/records.h"
#include "support/test_env.h"

namespace historytest {

// The catalogue every history test runs with: ten categories in this order (no Bluetooth, no
// fingerprint sensor) and one entry with an id that is not a category.
inline constexpr int32_t kCatalogueIds[] = {4, 1, 5, 6, 7, 8, 0, 3, 9, 10, 42};
inline constexpr int32_t kCatalogueCategories = 10;

// The application directory as the test run was given it, before the tests moved it.
const std::string& OriginalAppDirectory();

using testenv::Utc;

// A private data directory, the time zone `tz` and a clock that reads `now`.
class HistoryTest : public ::testing::Test {
 protected:
  explicit HistoryTest(const char* tz = "CST-8") : clock_(tz, [this] { return now_; }) {}

  // Stores `record` as a run made at `moment`; returns it as stamped by the store.
  zel::sysdiagnose::tagDiagnoseRecord SaveAt(int64_t moment, zel::sysdiagnose::tagDiagnoseRecord record);
  // A run record with every state 0 (all normal).
  static zel::sysdiagnose::tagDiagnoseRecord AllNormal();

  testenv::ScopedDataDir dataDir_;
  int64_t now_ = 0;

 private:
  testenv::ScopedClock clock_;
};

// Local wall-clock time of the zone "CST-8" (UTC+8, no daylight saving).
inline int64_t China(int year, int month, int day, int hour, int minute, int second) {
  return Utc(year, month, day, hour, minute, second) - 8 * 3600;
}

}  // namespace historytest
