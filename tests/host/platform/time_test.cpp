// The wall clock in the local time zone, and the system's processor times.
#include <gtest/gtest.h>

#include <array>
#include <chrono>

#include "host/scoped_env.h"
#include "platform/clock.h"
#include "platform/system_times.h"

namespace {

std::array<int, 5> ToTheMinute(const platform::LocalTime& t) { return {t.year, t.month, t.day, t.hour, t.minute}; }

TEST(Clock, LocalTimeFollowsTheTimeZoneAndItsSummerTime) {
  testenv::ScopedEnv restoreTz("TZ", std::nullopt);
  platform::SetTimeZoneForTesting("Asia/Shanghai");
  EXPECT_EQ(ToTheMinute(platform::ToLocalTime(1700000000)), (std::array{2023, 11, 15, 6, 13}));

  platform::SetTimeZoneForTesting("EST5EDT,M3.2.0,M11.1.0");
  EXPECT_EQ(ToTheMinute(platform::ToLocalTime(1690000000)), (std::array{2023, 7, 22, 0, 26}));    // summer: UTC-4
  EXPECT_EQ(ToTheMinute(platform::ToLocalTime(1700000000)), (std::array{2023, 11, 14, 17, 13}));  // winter: UTC-5

  platform::SetClockForTesting([] { return int64_t{1700000000}; });
  EXPECT_EQ(ToTheMinute(platform::GetLocalTime()), (std::array{2023, 11, 14, 17, 13}));
  platform::SetClockForTesting(nullptr);
}

TEST(SystemTimes, ProcStatTimesAdvanceWithKernelIncludingIdle) {
  const auto before = platform::GetSystemTimes();
  ASSERT_TRUE(before.has_value());
  // 150 ms of work is some 15 ticks of the kernel's 100 Hz accounting clock.
  volatile uint64_t sink = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(150);
  while (std::chrono::steady_clock::now() < end) sink = sink + 1;
  const auto after = platform::GetSystemTimes();
  ASSERT_TRUE(after.has_value());

  EXPECT_GE(after->kernel, after->idle);
  EXPECT_GE(after->idle, before->idle);
  EXPECT_GT(after->kernel + after->user, before->kernel + before->user);
}

}  // namespace
