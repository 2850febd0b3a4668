#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Each test leaves the real clock, the real sleep and the process's time zone behind it.
class ClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) savedTz_ = tz;
  }
  void TearDown() override {
    platform::SetClockForTesting(nullptr);
    platform::SetSleepForTesting(nullptr);
    if (savedTz_) {
      platform::SetTimeZoneForTesting(savedTz_->c_str());
    } else {
      unsetenv("TZ");
      tzset();
    }
  }

 private:
  std::optional<std::string> savedTz_;
};

void ExpectLocalTime(const platform::LocalTime& t, int year, int month, int day, int hour, int minute, int second) {
  EXPECT_EQ(t.year, year);
  EXPECT_EQ(t.month, month);
  EXPECT_EQ(t.day, day);
  EXPECT_EQ(t.hour, hour);
  EXPECT_EQ(t.minute, minute);
  EXPECT_EQ(t.second, second);
}

TEST_F(ClockTest, TheHookReplacesTheWallClockUntilCleared) {
  platform::SetClockForTesting([] { return int64_t{1700000000}; });
  EXPECT_EQ(platform::SecondsSince1970(), 1700000000);

  platform::SetClockForTesting(nullptr);
  const int64_t real = static_cast<int64_t>(std::time(nullptr));
  EXPECT_NEAR(static_cast<double>(platform::SecondsSince1970()), static_cast<double>(real), 2.0);
}

TEST_F(ClockTest, LocalTimeFollowsTheTimeZone) {
  platform::SetTimeZoneForTesting("UTC");
  ExpectLocalTime(platform::ToLocalTime(0), 1970, 1, 1, 0, 0, 0);
  ExpectLocalTime(platform::ToLocalTime(1700000000), 2023, 11, 14, 22, 13, 20);

  platform::SetTimeZoneForTesting("Asia/Shanghai");
  ExpectLocalTime(platform::ToLocalTime(1700000000), 2023, 11, 15, 6, 13, 20);
}

TEST_F(ClockTest, LocalTimeKnowsDaylightSavingTime) {
  platform::SetTimeZoneForTesting("EST5EDT,M3.2.0,M11.1.0");
  ExpectLocalTime(platform::ToLocalTime(1690000000), 2023, 7, 22, 0, 26, 40);   // summer: UTC-4
  ExpectLocalTime(platform::ToLocalTime(1700000000), 2023, 11, 14, 17, 13, 20);  // winter: UTC-5
}

TEST_F(ClockTest, GetLocalTimeReadsTheHookedClock) {
  platform::SetTimeZoneForTesting("UTC");
  platform::SetClockForTesting([] { return int64_t{1700000000} - 1700000000 % 86400; });
  ExpectLocalTime(platform::GetLocalTime(), 2023, 11, 14, 0, 0, 0);
}

TEST_F(ClockTest, SleepGoesToTheHookInsteadOfWaiting) {
  std::vector<std::chrono::milliseconds> asked;
  platform::SetSleepForTesting([&](std::chrono::milliseconds d) { asked.push_back(d); });

  const auto begin = std::chrono::steady_clock::now();
  platform::SleepFor(5000ms);
  platform::SleepFor(200ms);

  EXPECT_LT(std::chrono::steady_clock::now() - begin, 1s);
  EXPECT_EQ(asked, (std::vector<std::chrono::milliseconds>{5000ms, 200ms}));
}

TEST_F(ClockTest, SleepWaitsForRealWithoutAHook) {
  const auto begin = std::chrono::steady_clock::now();
  platform::SleepFor(30ms);
  EXPECT_GE(std::chrono::steady_clock::now() - begin, 30ms);
}

}  // namespace
