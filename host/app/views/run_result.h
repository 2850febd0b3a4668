#pragma once
// The result of one health check as the monitoring views read it: a verdict per category, the
// outcome of each check, each disk's SMART health, the repairs tried and what the machine measured.
// It is made from the last report of the detection and the machine's journal of that detection and
// of the repair before it: the report says what the plug-in concluded, the journal what each check
// of the fault-detection library answered.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/services/doctor_records.h"
#include "machine/machine.h"
#include "machine/measurements.h"

namespace app {

// abnormal: a failing line of level 0; notice: failing lines of level 1 only (a notice, or a
// check that could not look); not run: no verdict for the category in the report.
enum class Verdict { Normal, Abnormal, Notice, NotRun };
inline constexpr Verdict kVerdicts[] = {Verdict::Normal, Verdict::Abnormal, Verdict::Notice, Verdict::NotRun};
std::string_view NameOf(Verdict verdict);  // "normal", "abnormal", "notice", "not_run"

struct CategoryResult {
  std::string id;     // "memory": the same in every language
  std::string name;   // as the report names it ("Memory"); empty when not run
  std::string model;  // as the report shows it
  Verdict verdict = Verdict::NotRun;
  Verdict shown = Verdict::NotRun;  // as the pages show it: the disks as the plug-in judged them
};

struct CheckLine {
  std::string category;  // the category's id
  std::string path;      // the check's path ("wifi.switch")
  bool passed = true;
  uint32_t code = 0;
  uint32_t level = 0;
  double seconds = 0;
};

struct DiskHealth {
  size_t index = 0;  // in the machine's list of disks
  std::string model;
  bool readable = true;                    // its SMART data could be read
  std::vector<uint8_t> failingAttributes;  // SMART attribute numbers judged not normal
};

struct RunResult {
  std::chrono::system_clock::time_point start;
  double seconds = 0;
  std::string machine;                     // the machine's one-line description
  std::vector<CategoryResult> categories;  // every known category, in a fixed order
  std::vector<CheckLine> checks;           // the last outcome of each check, in the order they ran
  std::vector<DiskHealth> disks;           // by index
  int repairsTried = 0;
  int repairsSucceeded = 0;
  std::optional<double> batteryHealthRatio, batteryVolts;
  std::optional<double> memoryBytesPerSecond;  // test buffer times the memory checks run, over their time

  int Count(Verdict verdict) const;
  std::vector<std::string> NamesOf(Verdict verdict) const;  // the categories' names, in order
};

struct RunInputs {
  DoctorReport report;                                 // the detection's last report
  std::vector<host::machine::JournalEntry> detection;  // the machine's journal during the detection
  std::vector<host::machine::JournalEntry> repair;     // during the repair before it; empty without one
  std::vector<std::string> diskModels;                 // the machine's disks, in order
  host::machine::Measurements measured;
  std::string machine;
  std::chrono::system_clock::time_point start;
  double seconds = 0;
};

RunResult BuildRunResult(const RunInputs& inputs);

// The last outcome of each check in the journal, in the order the checks first ran.
std::vector<CheckLine> CheckLinesOf(const std::vector<host::machine::JournalEntry>& journal);

// The verdict of a report's row as the pages show it (the detect page's colours and its count of
// the categories that need attention): abnormal or notice by the levels of the category's failing
// checks among `checks`; not run while the row is under way.
Verdict ShownVerdictOf(const DoctorRow& row, const std::vector<CheckLine>& checks);

// The journal entries that began at or after `since`.
std::vector<host::machine::JournalEntry> JournalSince(std::chrono::steady_clock::time_point since);

}  // namespace app
