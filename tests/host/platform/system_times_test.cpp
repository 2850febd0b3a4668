#include "platform/system_times.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(SystemTimes, ProcStatTimesAdvanceAndKernelIncludesIdle) {
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
