#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>

#include "host/scoped_env.h"

namespace {

void ExpectLocalTime(const platform::LocalTime& t, int year, int month, int day, int hour, int minute) {
  EXPECT_EQ(t.year, year);
  EXPECT_EQ(t.month, month);
  EXPECT_EQ(t.day, day);
  EXPECT_EQ(t.hour, hour);
  EXPECT_EQ(t.minute, minute);
}

TEST(Clock, LocalTimeFollowsTheTimeZoneAndItsSummerTime) {
  testenv::ScopedEnv restoreTz("TZ", std::nullopt);
  platform::SetTimeZoneForTesting("Asia/Shanghai");
  ExpectLocalTime(platform::ToLocalTime(1700000000), 2023, 11, 15, 6, 13);

  platform::SetTimeZoneForTesting("EST5EDT,M3.2.0,M11.1.0");
  ExpectLocalTime(platform::ToLocalTime(1690000000), 2023, 7, 22, 0, 26);    // summer: UTC-4
  ExpectLocalTime(platform::ToLocalTime(1700000000), 2023, 11, 14, 17, 13);  // winter: UTC-5

  platform::SetClockForTesting([] { return int64_t{1700000000}; });
  ExpectLocalTime(platform::GetLocalTime(), 2023, 11, 14, 17, 13);
  platform::SetClockForTesting(nullptr);
}

}  // namespace
