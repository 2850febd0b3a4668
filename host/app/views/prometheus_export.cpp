#include "app/views/prometheus_export.h"

#include <charconv>
#include <cmath>
#include <utility>

namespace app {
namespace {

using Labels = std::vector<std::pair<const char*, std::string>>;

struct Sample {
  Labels labels;
  double value = 0;
};

// One metric family: every series here is a gauge. A family without samples is left out.
struct Family {
  const char* name;
  const char* help;
  std::vector<Sample> samples = {};
};

// Shortest text that reads back as the same value; whole numbers (codes, timestamps) in full.
std::string Number(double value) {
  char text[64];
  const bool whole = value == std::floor(value) && std::fabs(value) < 1e15;
  const auto end = whole ? std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr
                         : std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

// Label values escape backslash, double quote and line feed; help texts backslash and line feed.
std::string Escaped(std::string_view text, bool quotes) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '"' && quotes) {
      out += "\\\"";
    } else {
      out += c;
    }
  }
  return out;
}

void Render(const Family& family, std::string& out) {
  if (family.samples.empty()) return;
  out += std::string("# HELP ") + family.name + ' ' + Escaped(family.help, false) + '\n';
  out += std::string("# TYPE ") + family.name + " gauge\n";
  for (const Sample& sample : family.samples) {
    out += family.name;
    for (size_t i = 0; i < sample.labels.size(); ++i) {
      out += i == 0 ? '{' : ',';
      out += std::string(sample.labels[i].first) + "=\"" + Escaped(sample.labels[i].second, true) + '"';
    }
    if (!sample.labels.empty()) out += '}';
    out += ' ' + Number(sample.value) + '\n';
  }
}

std::vector<Sample> Single(std::optional<double> value) {
  if (!value) return {};
  return {Sample{{}, *value}};
}

double Seconds(std::chrono::system_clock::time_point at) {
  return std::chrono::duration<double>(at.time_since_epoch()).count();
}

std::vector<Sample> RunCategories(const RunResult& run) {
  std::vector<Sample> samples;
  for (Verdict verdict : kVerdicts)
    samples.push_back({{{"verdict", std::string(NameOf(verdict))}}, double(run.Count(verdict))});
  return samples;
}

// One series per possible verdict, 1 for the category's own: counting and alerting need no
// knowledge of which values exist.
std::vector<Sample> CategoryVerdicts(const RunResult& run) {
  std::vector<Sample> samples;
  for (const CategoryResult& category : run.categories) {
    for (Verdict verdict : kVerdicts) {
      samples.push_back(
          {{{"category", category.id}, {"model", category.model}, {"verdict", std::string(NameOf(verdict))}},
           category.verdict == verdict ? 1.0 : 0.0});
    }
  }
  return samples;
}

template <class Value>
std::vector<Sample> PerCheck(const RunResult& run, Value value) {
  std::vector<Sample> samples;
  for (const CheckLine& line : run.checks)
    samples.push_back({{{"category", line.category}, {"check", line.path}}, value(line)});
  return samples;
}

Labels DiskLabels(const DiskHealth& disk) { return {{"disk", std::to_string(disk.index)}, {"model", disk.model}}; }

std::vector<Sample> DiskReadable(const RunResult& run) {
  std::vector<Sample> samples;
  for (const DiskHealth& disk : run.disks) samples.push_back({DiskLabels(disk), disk.readable ? 1.0 : 0.0});
  return samples;
}

// Only a disk whose SMART data was read has a count: an unreadable one is not a healthy one.
std::vector<Sample> DiskFailingCounts(const RunResult& run) {
  std::vector<Sample> samples;
  for (const DiskHealth& disk : run.disks) {
    if (disk.readable) samples.push_back({DiskLabels(disk), double(disk.failingAttributes.size())});
  }
  return samples;
}

std::vector<Sample> DiskFailingAttributes(const RunResult& run) {
  std::vector<Sample> samples;
  for (const DiskHealth& disk : run.disks) {
    for (uint8_t attribute : disk.failingAttributes) {
      Labels labels = DiskLabels(disk);
      labels.emplace_back("attribute", std::to_string(attribute));
      samples.push_back({std::move(labels), 1.0});
    }
  }
  return samples;
}

}  // namespace

std::string PrometheusText(const RunResult& run) {
  const Family families[] = {
      {"sysdiagnose_machine_info",
       "The machine the health check ran on: this Linux machine, a recorded or a described one.",
       {{{{"machine", run.machine}}, 1.0}}},
      {"sysdiagnose_run_start_timestamp_seconds", "When the last health check started, in seconds since the epoch.",
       Single(Seconds(run.start))},
      {"sysdiagnose_run_duration_seconds", "How long the last health check took, repair included.",
       Single(run.seconds)},
      {"sysdiagnose_run_categories", "Hardware categories of the last health check by verdict.", RunCategories(run)},
      {"sysdiagnose_run_repairs_tried", "Repair operations the last health check tried.", Single(run.repairsTried)},
      {"sysdiagnose_run_repairs_succeeded", "Repair operations of the last health check that succeeded.",
       Single(run.repairsSucceeded)},
      {"sysdiagnose_category_verdict",
       "Verdict of each hardware category, 1 for its verdict: abnormal (a fault), notice (a notice or a check that "
       "could not look), normal, or not_run (not part of the health check).",
       CategoryVerdicts(run)},
      {"sysdiagnose_check_passed", "Whether each check of the last health check passed (1) or not (0).",
       PerCheck(run, [](const CheckLine& l) { return l.passed ? 1.0 : 0.0; })},
      {"sysdiagnose_check_code",
       "The fault-detection library's code of each check; 4294967291 (-5) is a check that could not look.",
       PerCheck(run, [](const CheckLine& l) { return double(l.code); })},
      {"sysdiagnose_disk_smart_readable", "Whether each disk's SMART data could be read (1) or not (0).",
       DiskReadable(run)},
      {"sysdiagnose_disk_smart_failing_attributes", "SMART attributes of each readable disk judged not normal.",
       DiskFailingCounts(run)},
      {"sysdiagnose_disk_smart_attribute_failing", "Each SMART attribute judged not normal, by its attribute number.",
       DiskFailingAttributes(run)},
      {"sysdiagnose_battery_health_ratio", "Full charge capacity of the battery over its design capacity.",
       Single(run.batteryHealthRatio)},
      {"sysdiagnose_battery_voltage_volts", "Battery voltage when the health check ran.", Single(run.batteryVolts)},
      {"sysdiagnose_memory_test_throughput_bytes_per_second",
       "Memory the memory checks tested per second: their buffer times the checks run, over their time.",
       Single(run.memoryBytesPerSecond)},
  };
  std::string out;
  for (const Family& family : families) Render(family, out);
  return out;
}

}  // namespace app
