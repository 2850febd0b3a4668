#include "telemetry/bi_report.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "DataReport/EventDataReport.h"
#include "diagnose/category_routines.h"
#include "platform/system_times.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

using namespace std::chrono_literals;

// A processor clock of 2400 MHz for one test; system times stay real unless a case sets them.
class ScopedProcessorFacts {
 public:
  ScopedProcessorFacts() { platform::SetProcessorClockForTesting([] { return 2400u; }); }
  ~ScopedProcessorFacts() {
    platform::SetSystemTimesForTesting({});
    platform::SetProcessorClockForTesting({});
  }
};

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> items;
  std::stringstream in(list);
  for (std::string item; std::getline(in, item, '|');) items.push_back(item);
  return items;
}

// Capped at 100; 0 when no time passed or the counters went back.
TEST(CpuLoadPercent, IsTheTruncatedBusyShareOfTheTimePassed) {
  const struct {
    platform::SystemTimes before, after;  // idle, kernel (idle included), user
    uint32_t load;
  } cases[] = {
      {{0, 0, 0}, {250, 600, 400}, 75},
      {{0, 0, 0}, {1, 2, 1}, 66},  // 2/3 truncated
      {{10, 20, 30}, {10, 20, 30}, 0},  // no time passed
      {{100, 500, 500}, {100, 100, 100}, 0},  // total went back
      {{0, 0, 0}, {0, UINT64_MAX / 4, UINT64_MAX / 4}, 100},
  };
  ScopedProcessorFacts facts;
  for (const auto& c : cases) {
    auto readings = std::make_shared<std::vector<platform::SystemTimes>>(std::vector{c.before, c.after});
    auto next = std::make_shared<size_t>(0);
    platform::SetSystemTimesForTesting([readings, next] {
      return std::optional<platform::SystemTimes>((*readings)[std::min((*next)++, readings->size() - 1)]);
    });
    BIReport report;
    report.CpuLoadPercent();  // baseline

    EXPECT_EQ(report.CpuLoadPercent(), c.load) << c.after.idle << "/" << c.after.kernel << "/" << c.after.user;
  }
}

TEST(BIReport, NoSampleIsTakenOnceStopHasReturned) {
  ScopedProcessorFacts facts;
  std::atomic<int> reads = 0;
  platform::SetProcessorClockForTesting([&reads] {
    ++reads;
    std::this_thread::sleep_for(1ms);  // widen the window in which Stop meets a sample
    return 1800u;
  });
  for (int round = 0; round < 4; ++round) {
    BIReport report;
    report.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(199 + round % 3));  // stop right at a tick
    report.Stop();
    const int afterStop = reads.load();
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(reads.load(), afterStop) << "round " << round;
  }
}

TEST(DiagnoseAudio, SamplesEveryTwoHundredMillisecondsWhileTheLoopBackCheckRuns) {
  ScopedProcessorFacts facts;
  testenv::UseMachine(R"({"checks": {"audio": {"loopBack": {"code": 0, "delayMs": 1000}}}})");
  FaultDetectors detectors;
  tagDetectResult verdict;
  EventDataReport::Instance().ClearSentEvents();

  DiagnoseAudio(detectors, verdict, {}, {}, {}, {});

  const auto events = EventDataReport::Instance().SentEvents();
  ASSERT_EQ(events.size(), 2u);
  ASSERT_EQ(events[0].first, "624000009");
  const auto json = nlohmann::json::parse(events[0].second);
  const auto usage = Split(json.at("CpuUsage"));
  EXPECT_GE(usage.size(), 3u);
  EXPECT_LE(usage.size(), 7u);
  for (const auto& load : usage) EXPECT_LE(std::stoul(load), 100u) << load;  // a negative one reads as huge
  EXPECT_EQ(Split(json.at("CpuClock")), std::vector<std::string>(usage.size(), "2400"));
  EXPECT_EQ(Split(json.at("DeviceTemper")), std::vector<std::string>(usage.size(), "0"));
}

}  // namespace
}  // namespace zel::sysdiagnose
