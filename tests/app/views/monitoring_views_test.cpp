// A finished health check as the monitoring views read it: the verdict of each category from the
// report and the levels of its failing checks, each disk's SMART health, the measured values; then
// the Prometheus text and the monitoring-plugin status line made of it.
#include <gmock/gmock.h>

#include <map>
#include <sstream>

#include "app/views/plugin_status.h"
#include "app/views/prometheus_export.h"
#include "app/views/run_result.h"

namespace {

using namespace app;
using host::machine::CheckResult;
using host::machine::DiskAnswer;
using host::machine::DiskCheck;
using host::machine::JournalEntry;
using host::machine::RepairOutcome;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr uint32_t kNotChecked = static_cast<uint32_t>(-5);

// A row as the plug-in posts it: its icon names the category.
DoctorRow Row(std::u16string icon, std::u16string name, uint32_t state) {
  DoctorRow row;
  row.strIcon = u"file='drawable/hardware/ic_" + icon + u"42.png' source='0,0,42,42' dest='3,3,17,17'";
  row.strName = std::move(name);
  row.strHardware = u"{f 16}{c #7F7F7F}Model of " + row.strName + u"{/f}{/c}";
  row.nState = state;
  return row;
}

JournalEntry Check(std::string path, uint32_t code, uint32_t level = 0, double seconds = 0) {
  JournalEntry entry;
  entry.path = std::move(path);
  entry.end = entry.begin +
              std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
  CheckResult result;
  result.code = code;
  result.passed = code == 0;
  result.level = level;
  entry.answer = result;
  return entry;
}

JournalEntry Disk(size_t index, uint32_t code, std::vector<uint8_t> smart) {
  JournalEntry entry;
  entry.path = "disks[" + std::to_string(index) + "]";
  entry.answer = DiskAnswer{index, {0x01, 0x05, 0x09, 0xC5}, DiskCheck{code, std::move(smart), 0}};
  return entry;
}

JournalEntry Repair(std::string name, bool succeeded) {
  JournalEntry entry;
  entry.path = std::move(name);
  RepairOutcome outcome;
  outcome.succeeded = succeeded;
  entry.answer = outcome;
  return entry;
}

std::map<std::string, Verdict> VerdictsOf(const RunResult& run) {
  std::map<std::string, Verdict> verdicts;
  for (const CategoryResult& category : run.categories) verdicts[category.id] = category.verdict;
  return verdicts;
}

// ---- the run's result -----------------------------------------------------------------------

TEST(RunResult, EachCategoryHasThePluginsVerdictWithNoticesToldApartByTheLevelsOfItsFailingChecks) {
  RunInputs inputs;
  inputs.report.vecItems = {
      Row(u"cpu", u"Processor", kDoctorStateNormal),       Row(u"ram", u"Memory", kDoctorStateAbnormal),
      Row(u"harddisk", u"Storage", kDoctorStateNormal),    Row(u"sound", u"Audio", kDoctorStateAbnormal),
      Row(u"network", u"Network", kDoctorStateAbnormal),   Row(u"battery", u"Battery", kDoctorStateBusy),
      Row(u"keyboard", u"Keyboard", kDoctorStateAbnormal), Row(u"fp", u"Fingerprint", kDoctorStateNormal),
  };
  inputs.detection = {
      Check("cpu.codes.sse", 5),  // the plug-in passes processors
      Check("memory.random", 3),
      Check("memory.board", kNotChecked, 1),  // a fault beside a notice
      Disk(0, 1, {}),
      Disk(1, 3, {0, 2, 0, 2}),                 // disk 1 fails two attributes
      Check("audio.loopBack", kNotChecked, 1),  // could not look
      Check("keyboard.filterKey", 7, 1),
      Check("keyboard.hotKey", 0),  // a notice only
  };                                // the network row failed without a check answer to tell a notice by: abnormal
  inputs.diskModels = {"SN520", "ST1000LM035"};

  const RunResult run = BuildRunResult(inputs);

  const std::map<std::string, Verdict> expected = {
      {"processor", Verdict::Normal}, {"mainboard", Verdict::NotRun}, {"memory", Verdict::Abnormal},
      {"disks", Verdict::Abnormal},   {"graphics", Verdict::NotRun},  {"display", Verdict::NotRun},
      {"audio", Verdict::Notice},     {"network", Verdict::Abnormal}, {"battery", Verdict::NotRun},
      {"keyboard", Verdict::Notice},  {"bluetooth", Verdict::NotRun}, {"fingerprint", Verdict::Normal},
  };
  EXPECT_EQ(VerdictsOf(run), expected);
  EXPECT_EQ(run.NamesOf(Verdict::Abnormal), (std::vector<std::string>{"Memory", "Storage", "Network"}));
  EXPECT_EQ(run.categories[2].model, "Model of Memory");
  ASSERT_EQ(run.disks.size(), 2u);
  EXPECT_EQ(run.disks[1].model, "ST1000LM035");
  EXPECT_EQ(run.disks[1].failingAttributes, (std::vector<uint8_t>{0x05, 0xC5}));
  EXPECT_EQ(run.checks.size(), 6u);
  EXPECT_EQ(run.checks[1].category, "memory");
}

TEST(RunResult, ADisksLastAnswerCountsWithNoFailingAttributesWhenUnreadable) {
  RunInputs inputs;
  inputs.report.vecItems = {Row(u"harddisk", u"Storage", kDoctorStateNormal)};
  inputs.detection = {Disk(0, 3, {0, 1}), Disk(1, 2, {1, 1, 1, 1}), Disk(0, 1, {})};

  const RunResult run = BuildRunResult(inputs);

  ASSERT_EQ(run.disks.size(), 2u);
  EXPECT_TRUE(run.disks[0].readable);
  EXPECT_TRUE(run.disks[0].failingAttributes.empty());
  EXPECT_FALSE(run.disks[1].readable);
  EXPECT_TRUE(run.disks[1].failingAttributes.empty());
  EXPECT_EQ(run.disks[1].model, "") << "a disk the machine does not list has no model";
  EXPECT_EQ(run.categories[3].verdict, Verdict::Normal);
}

TEST(RunResult, MemoryThroughputIsTheBufferTimesTheChecksThatLookedOverTheirTime) {
  constexpr size_t kBuffer = 64 << 20;
  const struct {
    const char* name;
    std::optional<size_t> buffer;
    std::vector<JournalEntry> detection;
    std::optional<double> throughput;
  } cases[] = {
      {"two checks", kBuffer, {Check("memory.random", 0, 0, 0.5), Check("memory.board", 3, 0, 1.5)}, kBuffer * 2 / 2.0},
      {"one could not look",
       kBuffer,
       {Check("memory.random", 0, 0, 0.5), Check("memory.board", kNotChecked, 1, 9)},
       kBuffer / 0.5},
      {"a described machine", std::nullopt, {Check("memory.random", 0, 0, 0.5)}, std::nullopt},
      {"no memory check", kBuffer, {Check("wifi.switch", 0, 0, 0.5)}, std::nullopt},
  };
  for (const auto& c : cases) {
    RunInputs inputs;
    inputs.detection = c.detection;
    inputs.measured.memoryTestBytes = c.buffer;
    const auto throughput = BuildRunResult(inputs).memoryBytesPerSecond;
    ASSERT_EQ(throughput.has_value(), c.throughput.has_value()) << c.name;
    if (throughput) {
      EXPECT_NEAR(*throughput, *c.throughput, *c.throughput * 1e-6) << c.name;
    }
  }
}

TEST(RunResult, RepairsAreCountedFromTheRepairPassOnlyWithTheMeasurementsBeside) {
  RunInputs inputs;
  inputs.detection = {Repair("RepairWifiProblem", true)};  // not part of a repair pass
  inputs.repair = {Repair("RepairWifiProblem", true), Check("wifi.switch", 0), Repair("RepairBTProblems", false)};
  inputs.measured.batteryHealthRatio = 0.8;
  inputs.measured.batteryVolts = 12.41;

  const RunResult run = BuildRunResult(inputs);

  EXPECT_EQ(run.repairsTried, 2);
  EXPECT_EQ(run.repairsSucceeded, 1);
  EXPECT_EQ(run.batteryHealthRatio, 0.8);
  EXPECT_EQ(run.batteryVolts, 12.41);
  EXPECT_EQ(run.Count(Verdict::NotRun), 12) << "no report: nothing ran";
}

// ---- the views ------------------------------------------------------------------------------

RunResult SampleRun(std::map<std::string, Verdict> verdicts) {
  RunResult run;
  run.start = std::chrono::system_clock::time_point(std::chrono::seconds(1700000000));
  run.seconds = 4.125;
  run.machine = "profile faulty.json";
  for (const char* id : {"processor", "memory", "battery", "keyboard", "bluetooth"}) {
    std::string name = id;
    name[0] = static_cast<char>(std::toupper(name[0]));
    const auto verdict = verdicts.find(id);
    run.categories.push_back({id, name, "Model", verdict == verdicts.end() ? Verdict::Normal : verdict->second});
  }
  return run;
}

std::vector<std::string> LinesOf(const std::string& text, std::string_view prefix) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(prefix)) lines.push_back(line);
  }
  return lines;
}

TEST(PrometheusExport, EachCategoryHasOneSeriesPerVerdictAndTheRunItsNumbers) {
  RunResult run = SampleRun({{"memory", Verdict::Abnormal}, {"bluetooth", Verdict::NotRun}});
  run.checks = {{"memory", "memory.random", false, 3, 0, 0.5}, {"audio", "audio.loopBack", false, kNotChecked, 1, 0}};
  run.repairsTried = 3;
  run.repairsSucceeded = 2;
  const std::string text = PrometheusText(run);

  EXPECT_EQ(LinesOf(text, "sysdiagnose_category_verdict{category=\"memory\""),
            (std::vector<std::string>{
                R"(sysdiagnose_category_verdict{category="memory",model="Model",verdict="normal"} 0)",
                R"(sysdiagnose_category_verdict{category="memory",model="Model",verdict="abnormal"} 1)",
                R"(sysdiagnose_category_verdict{category="memory",model="Model",verdict="notice"} 0)",
                R"(sysdiagnose_category_verdict{category="memory",model="Model",verdict="not_run"} 0)"}));
  for (const char* line :
       {"sysdiagnose_run_start_timestamp_seconds 1700000000\n", "sysdiagnose_run_duration_seconds 4.125\n",
        "sysdiagnose_run_categories{verdict=\"normal\"} 3\n", "sysdiagnose_run_categories{verdict=\"not_run\"} 1\n",
        "sysdiagnose_run_repairs_tried 3\n", "sysdiagnose_run_repairs_succeeded 2\n",
        "sysdiagnose_check_passed{category=\"memory\",check=\"memory.random\"} 0\n",
        "sysdiagnose_check_code{category=\"audio\",check=\"audio.loopBack\"} 4294967291\n",
        "sysdiagnose_machine_info{machine=\"profile faulty.json\"} 1\n"}) {
    EXPECT_THAT(text, HasSubstr(line));
  }
}

TEST(PrometheusExport, AnUnmeasuredValueHasNoFamilyAndAMeasuredOneItsHelpTypeAndSeries) {
  RunResult run = SampleRun({});
  const std::string described = PrometheusText(run);
  run.batteryHealthRatio = 0.55;
  run.batteryVolts = 11.2;
  run.memoryBytesPerSecond = 6.5e8;
  run.disks = {{0, "SN520", true, {}}, {1, "ST1000LM035", true, {5, 197}}, {2, "SN730", false, {}}};
  const std::string measured = PrometheusText(run);

  for (const char* family :
       {"sysdiagnose_battery_health_ratio", "sysdiagnose_battery_voltage_volts",
        "sysdiagnose_memory_test_throughput_bytes_per_second", "sysdiagnose_disk_smart_readable"}) {
    EXPECT_THAT(described, Not(HasSubstr(family)));
    EXPECT_THAT(measured, HasSubstr(std::string("\n# TYPE ") + family + " gauge\n"));
  }
  for (const char* line :
       {"sysdiagnose_battery_health_ratio 0.55\n", "sysdiagnose_memory_test_throughput_bytes_per_second 650000000\n",
        "sysdiagnose_disk_smart_failing_attributes{disk=\"1\",model=\"ST1000LM035\"} 2\n",
        "sysdiagnose_disk_smart_attribute_failing{disk=\"1\",model=\"ST1000LM035\",attribute=\"197\"} 1\n",
        "sysdiagnose_disk_smart_readable{disk=\"2\",model=\"SN730\"} 0\n"}) {
    EXPECT_THAT(measured, HasSubstr(line));
  }
  EXPECT_THAT(measured, Not(HasSubstr("failing_attributes{disk=\"2\""))) << "an unreadable disk is not a healthy one";
  // every family: its help line, then its type line, then its series
  const auto helps = LinesOf(measured, "# HELP "), types = LinesOf(measured, "# TYPE ");
  ASSERT_EQ(helps.size(), types.size());
  for (size_t i = 0; i < helps.size(); ++i) {
    const std::string name = helps[i].substr(7, helps[i].find(' ', 7) - 7);
    EXPECT_EQ(types[i], "# TYPE " + name + " gauge");
    EXPECT_THAT(measured, HasSubstr(helps[i] + "\n" + types[i] + "\n" + name));
  }
}

TEST(PrometheusExport, LabelValuesAreEscaped) {
  RunResult run = SampleRun({});
  run.categories[0].model = "Dell \"XPS\" 13\\9310\nrev";
  EXPECT_THAT(PrometheusText(run), HasSubstr(R"(model="Dell \"XPS\" 13\\9310\nrev",verdict="normal"} 1)"));
}

TEST(PluginStatus, OneLineWithFaultsAndNoticesApartAndTheExitStatusOfTheWorstFinding) {
  const struct {
    std::map<std::string, Verdict> verdicts;
    PluginState state;
    std::string line;
  } cases[] = {
      {{}, PluginState::Ok, "SYSDIAGNOSE OK - 5 normal | abnormal=0;;0 notice=0;0 normal=5 duration=4.1s"},
      {{{"keyboard", Verdict::Notice}, {"bluetooth", Verdict::NotRun}},
       PluginState::Warning,
       "SYSDIAGNOSE WARNING - 1 notice: Keyboard | abnormal=0;;0 notice=1;0 normal=3 duration=4.1s"},
      {{{"memory", Verdict::Abnormal}, {"battery", Verdict::Abnormal}, {"keyboard", Verdict::Notice}},
       PluginState::Critical,
       "SYSDIAGNOSE CRITICAL - 2 abnormal: Memory, Battery; 1 notice: Keyboard | abnormal=2;;0 notice=1;0 normal=2 "
       "duration=4.1s"},
      {{{"processor", Verdict::NotRun},
        {"memory", Verdict::NotRun},
        {"battery", Verdict::NotRun},
        {"keyboard", Verdict::NotRun},
        {"bluetooth", Verdict::NotRun}},
       PluginState::Unknown,
       "SYSDIAGNOSE UNKNOWN - the health check diagnosed no category"},
  };
  for (const auto& c : cases) {
    const PluginStatus status = StatusOf(SampleRun(c.verdicts));
    EXPECT_EQ(status.line, c.line);
    EXPECT_EQ(status.ExitCode(), static_cast<int>(c.state)) << c.line;
  }
  // whatever a category or a reason is called, the engine gets one line without a stray '|'
  RunResult odd = SampleRun({{"memory", Verdict::Abnormal}});
  odd.categories[1].name = "RAM | slot\nA";
  EXPECT_THAT(StatusOf(odd).line, HasSubstr("1 abnormal: RAM   slot A |"));
  EXPECT_EQ(UnknownStatus("no report\nfrom the plug-in").line, "SYSDIAGNOSE UNKNOWN - no report from the plug-in");
  EXPECT_EQ(UnknownStatus("x").ExitCode(), 3);
}

}  // namespace
