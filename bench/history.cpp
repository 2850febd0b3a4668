// Cost of storing a run and of reading the history page's twelve days, over histories of
// 1,000 and 100,000 runs spread evenly over three years.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "history/diagnose_history.h"
#include "model/hardware_catalog.h"
#include "model/hardware_state.h"
#include "platform/clock.h"

namespace {

namespace fs = std::filesystem;
using zel::sysdiagnose::DiagnoseHistory;
using zel::sysdiagnose::tagDiagnoseRecord;
using zel::sysdiagnose::tagQueryDataItem;

constexpr int64_t kNow = 1773050400;  // 2026-03-09 10:00 UTC
constexpr int64_t kThreeYears = 3 * 365 * 86400;

int64_t clockNow = kNow;

const fs::path& BenchRoot() {
  static const fs::path root = [] {
    std::random_device rd;
    fs::path dir = fs::temp_directory_path() / ("sysdiagnose-bench-history-" + std::to_string(rd()));
    fs::create_directories(dir);
    return dir;
  }();
  return root;
}

void UseDataDir(const fs::path& dir) {
  fs::create_directories(dir);
  setenv("SYSDIAGNOSE_DATA_DIR", dir.c_str(), 1);
}

tagDiagnoseRecord SampleRecord(int64_t n) {
  tagDiagnoseRecord record = zel::sysdiagnose::ResetDiagnoseRecord();
  for (int32_t i = 0; i < zel::sysdiagnose::kHardwareCategoryCount; ++i) {
    zel::sysdiagnose::StateAt(record, i) = (n + i) % 7 == 0 ? 1 : 0;
  }
  return record;
}

// A data directory holding `rows` runs, evenly spread over the three years before now.
void UseHistoryOf(int64_t rows) {
  static std::map<int64_t, fs::path> made;
  const auto it = made.find(rows);
  if (it != made.end()) {
    UseDataDir(it->second);
    return;
  }
  const fs::path dir = BenchRoot() / ("rows-" + std::to_string(rows));
  UseDataDir(dir);
  for (int64_t n = 0; n < rows; ++n) {
    clockNow = kNow - kThreeYears + (kThreeYears * n) / rows;
    tagDiagnoseRecord record = SampleRecord(n);
    DiagnoseHistory::SaveDiagnoseRecord(record);
  }
  clockNow = kNow;
  made[rows] = dir;
}

void BM_QueryRecentDays12(benchmark::State& state) {
  UseHistoryOf(state.range(0));
  size_t days = 0;
  for (auto _ : state) {
    DiagnoseHistory::QueryRecentDays(12, [&](const std::vector<tagQueryDataItem>& found) { days = found.size(); });
    benchmark::DoNotOptimize(days);
  }
  state.counters["days"] = static_cast<double>(days);
}
BENCHMARK(BM_QueryRecentDays12)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond)->Repetitions(9);

void BM_SaveDiagnoseRecord(benchmark::State& state) {
  UseDataDir(BenchRoot() / "save");
  int64_t n = 0;
  for (auto _ : state) {
    clockNow = kNow + n;
    tagDiagnoseRecord record = SampleRecord(n++);
    DiagnoseHistory::SaveDiagnoseRecord(record);
  }
  clockNow = kNow;
}
BENCHMARK(BM_SaveDiagnoseRecord)->Unit(benchmark::kMicrosecond)->Repetitions(9);

}  // namespace

int main(int argc, char** argv) {
  platform::SetTimeZoneForTesting("UTC");
  platform::SetClockForTesting([] { return clockNow; });
  zel::sysdiagnose::GetHardwareCatalog();  // built once, outside the measured loops
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  fs::remove_all(BenchRoot(), ec);
  return 0;
}
