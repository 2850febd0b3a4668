#include "platform/system_times.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using namespace std::chrono_literals;

class SystemTimesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::SetSystemTimesForTesting(nullptr);
    platform::SetProcessorClockForTesting(nullptr);
  }
};

uint64_t Busy(const platform::SystemTimes& t) { return t.kernel + t.user; }

void BurnProcessor(std::chrono::milliseconds duration) {
  volatile uint64_t sink = 0;
  const auto end = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < end) sink = sink + 1;
}

TEST_F(SystemTimesTest, ProcStatTimesAdvanceAndKernelIncludesIdle) {
  const auto before = platform::GetSystemTimes();
  ASSERT_TRUE(before.has_value());
  BurnProcessor(150ms);
  const auto after = platform::GetSystemTimes();
  ASSERT_TRUE(after.has_value());

  EXPECT_GE(before->kernel, before->idle);
  EXPECT_GE(after->kernel, after->idle);
  EXPECT_GE(after->idle, before->idle);
  EXPECT_GE(after->user, before->user);
  // 150 ms of work is some 15 ticks of the kernel's 100 Hz accounting clock.
  EXPECT_GT(Busy(*after), Busy(*before));
}

TEST_F(SystemTimesTest, HookReplacesTheSourceUntilCleared) {
  platform::SetSystemTimesForTesting([] { return platform::SystemTimes{10, 30, 50}; });
  auto hooked = platform::GetSystemTimes();
  ASSERT_TRUE(hooked.has_value());
  EXPECT_EQ(hooked->idle, 10u);
  EXPECT_EQ(hooked->kernel, 30u);
  EXPECT_EQ(hooked->user, 50u);

  platform::SetSystemTimesForTesting([] { return std::optional<platform::SystemTimes>(); });
  EXPECT_FALSE(platform::GetSystemTimes().has_value());

  platform::SetSystemTimesForTesting(nullptr);
  auto real = platform::GetSystemTimes();
  ASSERT_TRUE(real.has_value());
  EXPECT_GT(real->kernel, 30u);
}

TEST_F(SystemTimesTest, ProcessorClockHookReplacesCpufreq) {
  platform::SetProcessorClockForTesting([] { return 2400u; });
  EXPECT_EQ(platform::FirstProcessorClockMHz(), 2400u);
  platform::SetProcessorClockForTesting([] { return 0u; });
  EXPECT_EQ(platform::FirstProcessorClockMHz(), 0u);
}

}  // namespace
