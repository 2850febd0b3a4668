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

// Replaces the system times and the processor clock for one test.
class ScopedProcessorFacts {
 public:
  ScopedProcessorFacts() { platform::SetProcessorClockForTesting([] { return 2400u; }); }
  ~ScopedProcessorFacts() {
    platform::SetSystemTimesForTesting({});
    platform::SetProcessorClockForTesting({});
  }
  // The given readings in turn; the last one repeats.
  void Times(std::vector<std::optional<platform::SystemTimes>> readings) {
    auto shared = std::make_shared<std::vector<std::optional<platform::SystemTimes>>>(std::move(readings));
    auto next = std::make_shared<size_t>(0);
    platform::SetSystemTimesForTesting([shared, next] {
      const size_t i = std::min(*next, shared->size() - 1);
      ++*next;
      return (*shared)[i];
    });
  }
  // Every reading advances by 1000 units, `busyPerMille` of them busy.
  void SteadyLoad(uint64_t busyPerMille) {
    auto now = std::make_shared<platform::SystemTimes>();
    platform::SetSystemTimesForTesting([now, busyPerMille] {
      now->idle += 1000 - busyPerMille;
      now->kernel += 1000 - busyPerMille;  // kernel includes idle
      now->user += busyPerMille;
      return std::optional<platform::SystemTimes>(*now);
    });
  }
};

platform::SystemTimes At(uint64_t idle, uint64_t kernel, uint64_t user) { return {idle, kernel, user}; }

struct SampleLists {
  std::vector<std::string> usage, clock, temper;
};

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> items;
  if (list.empty()) return items;
  std::stringstream in(list);
  for (std::string item; std::getline(in, item, '|');) items.push_back(item);
  return items;
}

// The lists of the one "624000009" sent since the events were cleared.
SampleLists ReportedSamples() {
  std::vector<std::string> reports;
  for (const auto& [id, value] : EventDataReport::Instance().SentEvents()) {
    if (id == "624000009") reports.push_back(value);
  }
  EXPECT_EQ(reports.size(), 1u);
  if (reports.empty()) return {};
  const auto json = nlohmann::json::parse(reports.back());
  return {Split(json.at("CpuUsage")), Split(json.at("CpuClock")), Split(json.at("DeviceTemper"))};
}

// ---- load arithmetic --------------------------------------------------------------------------

uint32_t LoadBetween(ScopedProcessorFacts& facts, platform::SystemTimes before, platform::SystemTimes after) {
  facts.Times({before, after});
  BIReport report;
  report.CpuLoadPercent();  // baseline
  return report.CpuLoadPercent();
}

TEST(CpuLoadPercent, IsTheBusyShareOfKernelPlusUser) {
  ScopedProcessorFacts facts;
  // 1000 units passed, 250 of them idle.
  EXPECT_EQ(LoadBetween(facts, At(0, 0, 0), At(250, 600, 400)), 75u);
  EXPECT_EQ(LoadBetween(facts, At(0, 0, 0), At(71, 100, 0)), 29u);  // exact shares stay exact
}

TEST(CpuLoadPercent, TruncatesTowardZero) {
  ScopedProcessorFacts facts;
  EXPECT_EQ(LoadBetween(facts, At(0, 0, 0), At(1, 2, 1)), 66u);  // 2/3
  EXPECT_EQ(LoadBetween(facts, At(0, 0, 0), At(999, 1000, 0)), 0u);
}

TEST(CpuLoadPercent, IsZeroWhenTimesStandStillOrRunBackwards) {
  ScopedProcessorFacts facts;
  EXPECT_EQ(LoadBetween(facts, At(10, 20, 30), At(10, 20, 30)), 0u);        // no time passed
  EXPECT_EQ(LoadBetween(facts, At(10, 20, 30), At(20, 30, 30)), 0u);        // all idle
  EXPECT_EQ(LoadBetween(facts, At(100, 200, 30), At(50, 300, 30)), 0u);     // idle went back
  EXPECT_EQ(LoadBetween(facts, At(100, 500, 500), At(100, 100, 100)), 0u);  // total went back
}

TEST(CpuLoadPercent, NeverExceedsOneHundred) {
  ScopedProcessorFacts facts;
  EXPECT_EQ(LoadBetween(facts, At(0, 0, 0), At(0, 500, 500)), 100u);
  EXPECT_EQ(LoadBetween(facts, At(0, 0, 0), At(0, UINT64_MAX / 4, UINT64_MAX / 4)), 100u);
}

TEST(CpuLoadPercent, FailedReadGivesZeroAndKeepsTheBaseline) {
  ScopedProcessorFacts facts;
  facts.Times({At(0, 0, 0), std::nullopt, At(500, 500, 500)});
  BIReport report;
  report.CpuLoadPercent();

  EXPECT_EQ(report.CpuLoadPercent(), 0u);
  EXPECT_EQ(report.CpuLoadPercent(), 50u);  // measured from the last good reading
}

TEST(CpuClockMHz, ComesFromTheFirstProcessor) {
  ScopedProcessorFacts facts;
  BIReport report;
  EXPECT_EQ(report.CpuClockMHz(), 2400u);
  platform::SetProcessorClockForTesting([] { return 0u; });  // the clock cannot be read
  EXPECT_EQ(report.CpuClockMHz(), 0u);
}

// ---- sampling ---------------------------------------------------------------------------------

TEST(BIReport, StoppedBeforeTheFirstPeriodReportsThreeEmptyLists) {
  ScopedProcessorFacts facts;
  facts.SteadyLoad(400);
  EventDataReport::Instance().ClearSentEvents();
  BIReport report;

  report.Start();
  std::this_thread::sleep_for(50ms);
  report.Stop();
  report.SendReport();

  const SampleLists lists = ReportedSamples();
  EXPECT_TRUE(lists.usage.empty() && lists.clock.empty() && lists.temper.empty());
}

TEST(BIReport, NoSampleIsTakenOnceStopHasReturned) {
  ScopedProcessorFacts facts;
  facts.SteadyLoad(100);
  std::atomic<int> reads = 0;
  platform::SetProcessorClockForTesting([&reads] {
    ++reads;
    std::this_thread::sleep_for(1ms);  // widen the window in which Stop meets a sample
    return 1800u;
  });
  for (int round = 0; round < 8; ++round) {
    BIReport report;
    report.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(199 + round % 3));  // stop right at a tick
    report.Stop();
    const int afterStop = reads.load();
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(reads.load(), afterStop) << "round " << round;
  }
}

TEST(BIReport, DestroyingARunningSamplerStopsIt) {
  ScopedProcessorFacts facts;
  facts.SteadyLoad(100);
  std::atomic<int> reads = 0;
  platform::SetProcessorClockForTesting([&reads] { return static_cast<uint32_t>(++reads); });
  {
    BIReport report;
    report.Start();
    std::this_thread::sleep_for(450ms);
  }
  const int afterDestruction = reads.load();
  EXPECT_GE(afterDestruction, 1);
  std::this_thread::sleep_for(250ms);
  EXPECT_EQ(reads.load(), afterDestruction);
}

// ---- around the audio loop-back check ---------------------------------------------------------

TEST(DiagnoseAudio, SamplesEveryTwoHundredMillisecondsWhileTheLoopBackCheckRuns) {
  ScopedProcessorFacts facts;  // the clock only: loads come from the real system times
  testenv::UseMachine(R"({"checks": {"audio": {"loopBack": {"code": 0, "delayMs": 1000}}}})");
  FaultDetectors detectors;
  tagDetectResult verdict;
  EventDataReport::Instance().ClearSentEvents();

  DiagnoseAudio(detectors, verdict, {}, {}, {}, {});

  const SampleLists lists = ReportedSamples();
  EXPECT_GE(lists.usage.size(), 3u);
  EXPECT_LE(lists.usage.size(), 7u);
  EXPECT_EQ(lists.clock.size(), lists.usage.size());
  EXPECT_EQ(lists.temper.size(), lists.usage.size());
  for (const auto& load : lists.usage) {
    EXPECT_GE(std::stoi(load), 0);
    EXPECT_LE(std::stoi(load), 100);
  }
  for (const auto& clock : lists.clock) EXPECT_EQ(clock, "2400");
  for (const auto& temper : lists.temper) EXPECT_EQ(temper, "0");
  const auto events = EventDataReport::Instance().SentEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1], (std::pair<std::string, std::string>{"620000027", "0,0"}));
}

}  // namespace
}  // namespace zel::sysdiagnose
