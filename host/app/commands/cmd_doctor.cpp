// sysdiagnose-host doctor: plays the host's health-check module beside the plug-in's health-check
// service on the bus: asks for the module information, runs a detection, shows each report as it
// arrives and the final table; with --repair it repairs and confirms with one more detection.
#include <algorithm>
#include <chrono>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/commands/command.h"
#include "app/services/doctor_module.h"
#include "app/services/plugin_host.h"
#include "app/views/plugin_status.h"
#include "app/views/prometheus_export.h"
#include "app/views/run_result.h"
#include "app/services/stored_runs.h"
#include "app/views/terminal.h"
#include "app/views/text_table.h"
#include "app/views/text_width.h"
#include "machine/machine_backend.h"
#include "machine/measurements.h"
#include "platform/whole_file.h"
#include "utility/Concurrency.h"

namespace app {
namespace {

using namespace std::chrono_literals;

constexpr const char* kUsage =
    "usage: sysdiagnose-host doctor [--machine FILE] [--data-dir DIR] [--verbose] [--repair] [--json]\n"
    "                               [--textfile FILE.prom] [--check]\n"
    "  --textfile FILE.prom  also write the result for node_exporter's textfile collector: the whole file\n"
    "                        at once, mode 0644; left as it was when the health check cannot finish\n"
    "  --check               as a monitoring plug-in: print only one status line and exit 0 OK, 1 WARNING\n"
    "                        (notices only), 2 CRITICAL (an abnormal category) or 3 UNKNOWN (it could not\n"
    "                        run: usage, profile and data-directory errors too)";
// A report is due after every category; a repair may pause 5 s on a category.
constexpr auto kReportTimeout = 120s;
constexpr auto kPollEvery = 100ms;
constexpr auto kLastReportGrace = 500ms;  // a report posted just before the plug-in's task ended

// How the terminal shows a row: its state word in its colour, as the detect page would.
struct ShownState {
  std::string word;
  Tone tone = Tone::Plain;
};

ShownState StateOf(bool busy, Verdict shown) {
  if (busy) return {Localized(u"IDS_HARDWARE_DETECT_BUSY_STATE"), Tone::Busy};
  switch (shown) {
    case Verdict::Normal: return {Localized(u"IDS_HARDWARW_DETECT_NORM_STATE"), Tone::Normal};
    case Verdict::Notice: return {Localized(u"IDS_HARDWARE_DETECT_NOTICE_STATE"), Tone::Notice};
    case Verdict::Abnormal: return {Localized(u"IDS_HARDWARW_DETECT_ABNORM_STATE"), Tone::Fault};
    case Verdict::NotRun: break;
  }
  return {Localized(u"IDS_HARDWARE_DETECT_NOT_DIAGNOSED_STATE"), Tone::Plain};
}

ShownState StateOf(const DoctorRow& row, Verdict shown) { return StateOf(row.nState == kDoctorStateBusy, shown); }

// Reads the verdicts the pages would show off a report, with the checks the machine ran since `since`.
class Verdicts {
 public:
  explicit Verdicts(std::chrono::steady_clock::time_point since) : checks_(CheckLinesOf(JournalSince(since))) {}
  Verdict Of(const DoctorRow& row) const { return ShownVerdictOf(row, checks_); }

 private:
  std::vector<CheckLine> checks_;
};

nlohmann::ordered_json ToJson(const DoctorRow& item) {
  return {{"strIcon", Utf8(item.strIcon)},         {"clrStatus", item.clrStatus},
          {"strName", Utf8(item.strName)},         {"strHardware", Utf8(item.strHardware)},
          {"strResult", Utf8(item.strResult)},     {"nState", item.nState},
          {"nReserved1", item.nReserved1},         {"strAction", Utf8(item.strAction)},
          {"clrAction", item.clrAction},           {"clrActionAlt", item.clrActionAlt},
          {"strReserved", Utf8(item.strReserved)}, {"bReserved1", item.bReserved1},
          {"bReserved2", item.bReserved2},         {"nReserved3", item.nReserved3}};
}

nlohmann::ordered_json ToJson(const DoctorReport& report) {
  nlohmann::ordered_json items = nlohmann::ordered_json::array();
  for (const auto& item : report.vecItems) items.push_back(ToJson(item));
  return {{"nModuleId", report.nModuleId},     {"strSummaryKey", Utf8(report.strSummaryKey)},
          {"nAbnormalCount", report.nAbnormalCount}, {"strSummary", Utf8(report.strSummary)},
          {"strDetail", Utf8(report.strDetail)}, {"vecItems", items},
          {"nTime", report.nTime},             {"bFinished", report.bFinished},
          {"bReserved", report.bReserved}};
}

// Prints what changed between two reports: a category being worked on, or its new result.
class ProgressPrinter {
 public:
  ProgressPrinter(bool quiet, bool colour) : quiet_(quiet), colour_(colour), width_(OutputColumns()) {}

  void Show(const DoctorReport& report, const Verdicts& verdicts) {
    if (quiet_) return;
    for (size_t i = 0; i < report.vecItems.size(); ++i) {
      const DoctorRow& item = report.vecItems[i];
      const uint32_t before = i < previous_.vecItems.size() ? previous_.vecItems[i].nState : UINT32_MAX;
      if (item.nState == before) continue;
      const Verdict verdict = verdicts.Of(item);
      const ShownState state = StateOf(item, verdict);
      std::string line = Utf8(item.strName);
      const bool finding = verdict == Verdict::Abnormal || verdict == Verdict::Notice;
      if (finding && !item.strResult.empty()) line += ": " + Utf8(item.strResult);
      std::cout << "  " << Painted(PadToWidth(state.word, StateColumns()), state.tone, colour_) << "  "
                << HangingText(line, StateColumns() + 4, width_) << '\n';
    }
    std::cout.flush();
    previous_ = report;
  }

  void Reset() { previous_ = {}; }

 private:
  // The widest state word, so that the names line up.
  static size_t StateColumns() {
    static const size_t columns = [] {
      size_t widest = DisplayWidth(StateOf(true, Verdict::NotRun).word);
      for (Verdict verdict : kVerdicts) widest = std::max(widest, DisplayWidth(StateOf(false, verdict).word));
      return widest;
    }();
    return columns;
  }

  bool quiet_;
  bool colour_;
  size_t width_;
  DoctorReport previous_;
};

// The faults and the notices of a report, counted as the detect page counts the categories that
// need attention.
struct Findings {
  int normal = 0, notice = 0, abnormal = 0;
};

Findings CountFindings(const DoctorReport& report, const Verdicts& verdicts) {
  Findings findings;
  for (const DoctorRow& row : report.vecItems) {
    switch (verdicts.Of(row)) {
      case Verdict::Normal: ++findings.normal; break;
      case Verdict::Notice: ++findings.notice; break;
      case Verdict::Abnormal: ++findings.abnormal; break;
      case Verdict::NotRun: break;
    }
  }
  return findings;
}

void PrintTable(const DoctorReport& report, const Verdicts& verdicts, bool colour) {
  TextTable table({{Localized(u"IDS_HARDWARE_DETECT_DOCTOR_COLUMN_CATEGORY")},
                   {Localized(u"IDS_HARDWARE_DETECT_DOCTOR_COLUMN_MODEL"), true, 14, 1},
                   {Localized(u"IDS_HARDWARE_DETECT_DOCTOR_COLUMN_STATE")},
                   // The finding is what the table is read for: it takes most of the room.
                   {Localized(u"IDS_HARDWARE_DETECT_DOCTOR_COLUMN_RESULT"), true, 20, 2},
                   {Localized(u"IDS_HARDWARE_DETECT_DOCTOR_COLUMN_ACTION")}});
  for (const DoctorRow& item : report.vecItems) {
    const Verdict verdict = verdicts.Of(item);
    const ShownState state = StateOf(item, verdict);
    // A successful repair leaves the finding's texts in the record; the state tells it is fixed.
    const bool normal = verdict == Verdict::Normal;
    const std::string action =
        normal ? (item.strAction.empty() ? "" : Localized(u"IDS_HARDWARE_DETECT_REPAIRED_STATE")) : Utf8(item.strAction);
    table.AddRow({{Utf8(item.strName)},
                  {PlainText(item.strHardware)},
                  {state.word, state.tone},
                  {normal ? "" : Utf8(item.strResult)},
                  {action}});
  }
  std::cout << '\n';
  for (const std::string& line : table.Render(OutputColumns(), colour)) std::cout << line << '\n';
  const Findings findings = CountFindings(report, verdicts);
  std::cout << '\n'
            << (findings.abnormal == 0 ? Localized(u"IDS_HARDWARE_DIAGNOSE_RESULT_ABNORM_NOT_FOUND")
                                       : Localized(u"IDS_HARDWARE_DIAGNOSE_ABNORM_RESULT_NUM", findings.abnormal))
            << '\n';
  if (findings.notice > 0) std::cout << Localized(u"IDS_HARDWARE_DIAGNOSE_NOTICE_RESULT_NUM", findings.notice) << '\n';
}

nlohmann::ordered_json VerdictsJson(const DoctorReport& report, const Verdicts& verdicts) {
  const Findings findings = CountFindings(report, verdicts);
  nlohmann::ordered_json categories = nlohmann::ordered_json::array();
  for (const DoctorRow& row : report.vecItems) {
    const Verdict verdict = verdicts.Of(row);
    categories.push_back({{"name", Utf8(row.strName)}, {"verdict", verdict == Verdict::NotRun ? "" : NameOf(verdict)}});
  }
  return {{"normal", findings.normal}, {"notice", findings.notice}, {"abnormal", findings.abnormal},
          {"categories", categories}};
}

// The runs the plug-in is to have stored once the requests sent so far are done, and when the
// last detection and repair began (the machine's journal of each is read from then on).
struct Session {
  DoctorModule& module;
  ProgressPrinter& progress;
  std::vector<DoctorReport>& all;
  DoctorReport& last;
  int64_t runs = CountSaveAttempts();
  std::chrono::steady_clock::time_point detectionBegan{}, repairBegan{};
  bool repaired = false;
  std::string failure = {};  // why the reports stopped before the last one
};

// The category the last report shows at work, which the plug-in did not report on.
std::string Unreported(const DoctorReport& last) {
  for (const DoctorRow& item : last.vecItems) {
    if (item.nState == kDoctorStateBusy) return Utf8(item.strName);
  }
  return "the last category";
}

// Collects reports until the one that says the work is finished, or until the plug-in stored
// the run without a report (a catalogue without categories). False, with session.failure set
// when the plug-in's task ended without its last report; false on a timeout.
bool CollectUntilFinished(Session& session, uint64_t tasksBefore, bool& reported) {
  reported = false;
  auto deadline = std::chrono::steady_clock::now() + kReportTimeout;
  while (std::chrono::steady_clock::now() < deadline) {
    auto report = session.module.NextReport(kPollEvery);
    if (!report) {
      if (!reported && CountSaveAttempts() >= session.runs) return true;
      // The plug-in's task ended, however it ended: only a report already on its way can come.
      const bool taskGone = Concurrency::TasksStarted() > tasksBefore && Concurrency::TasksUnfinished() == 0;
      if (taskGone && !(report = session.module.NextReport(kLastReportGrace))) {
        session.failure = "the plug-in's health check ended without a report for " + Unreported(session.last) +
                          " (the log file says why)";
        return false;
      }
      if (!report) continue;
    }
    reported = true;
    deadline = std::chrono::steady_clock::now() + kReportTimeout;
    session.progress.Show(*report, Verdicts(session.detectionBegan));
    session.all.push_back(*report);
    session.last = *report;
    if (report->bFinished) return true;
  }
  return false;
}

bool RunDetection(Session& session, bool quiet, std::u16string_view title) {
  if (!quiet) std::cout << Localized(title) << '\n';
  session.progress.Reset();
  session.detectionBegan = std::chrono::steady_clock::now();
  const uint64_t tasksBefore = Concurrency::TasksStarted();
  session.module.RequestDetection(true);
  ++session.runs;
  bool reported = false;
  const bool ok = CollectUntilFinished(session, tasksBefore, reported);
  if (ok && !reported && !quiet) std::cout << "  " << Localized(u"IDS_HARDWARE_DETECT_DOCTOR_NO_CATEGORY") << '\n';
  return ok;
}

bool RunRepair(Session& session) {
  std::vector<int32_t> abnormal;
  for (size_t i = 0; i < session.last.vecItems.size(); ++i) {
    if (session.last.vecItems[i].nState == kDoctorStateAbnormal) abnormal.push_back(static_cast<int32_t>(i));
  }
  session.repairBegan = std::chrono::steady_clock::now();
  session.repaired = true;
  const uint64_t tasksBefore = Concurrency::TasksStarted();
  session.module.RequestRepair(abnormal);
  ++session.runs;
  bool reported = false;
  return CollectUntilFinished(session, tasksBefore, reported);
}

// The last detection as the monitoring views read it, with the repair before it.
RunResult ResultOf(const Session& session, std::chrono::system_clock::time_point start,
                   std::chrono::steady_clock::time_point began) {
  const auto machine = host::machine::Machine::Instance().Backend();
  RunInputs inputs;
  inputs.report = session.last;
  for (auto& entry : JournalSince(began)) {
    if (entry.begin >= session.detectionBegan) {
      inputs.detection.push_back(std::move(entry));
    } else if (session.repaired && entry.begin >= session.repairBegan) {
      inputs.repair.push_back(std::move(entry));
    }
  }
  for (const auto& disk : machine->Facts()->hardware.disks) inputs.diskModels.push_back(Utf8(disk.caption));
  inputs.measured = host::machine::MeasureMachine();
  inputs.machine = machine->Description();
  inputs.start = start;
  inputs.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  return BuildRunResult(inputs);
}

std::string CheckArgs(const ParsedArgs& parsed) {
  if (parsed.Has("--check") && parsed.Has("--json")) return "--check or --json, not both";
  const auto textfile = parsed.values.find("--textfile");
  if (textfile == parsed.values.end()) return {};
  // The textfile collector reads only *.prom; any other name would never be read.
  if (!textfile->second.ends_with(".prom")) {
    return "--textfile needs a file name ending in .prom, not '" + textfile->second + "'";
  }
  const std::string problem = platform::WholeFileProblem(textfile->second);
  return problem.empty() ? "" : "--textfile: " + problem;
}

int RunDoctor(const std::vector<std::string>& args) {
  // A monitoring engine reads the status line and the exit status: errors are UNKNOWN there too.
  const bool check = std::find(args.begin(), args.end(), "--check") != args.end();
  if (check) EchoErrorsTo([](const std::string& text) { std::cout << UnknownStatus(text).line << std::endl; });
  const int failed = check ? static_cast<int>(PluginState::Unknown) : kExitFailure;

  ParsedArgs parsed;
  const CommandShape shape{.name = "doctor",
                           .usage = kUsage,
                           .flags = {"--repair", "--json", "--check"},
                           .values = {"--textfile"},
                           .checkArgs = CheckArgs};
  if (auto exit = BeginCommand(shape, args, parsed)) return check && *exit != kExitOk ? failed : *exit;
  const bool json = parsed.Has("--json");
  const bool repair = parsed.Has("--repair");
  const bool quiet = json || check;
  const auto start = std::chrono::system_clock::now();
  const auto began = std::chrono::steady_clock::now();

  // The health-check service lives in the plug-in's page host: it comes to life with the page.
  if (LoadTheHost("doctor") == nullptr) return failed;
  DoctorModule module;
  const bool colour = OutputInColour();
  ProgressPrinter progress(quiet, colour);
  std::vector<DoctorReport> all;
  DoctorReport last;

  // The module by the name the host's list shows it under.
  if (auto info = module.QueryModuleInfo(5s); info && !quiet) {
    const std::string name = Localized(info->strNameKey);
    if (name != Utf8(info->strNameKey)) std::cout << name << "\n\n";
  }
  Session session{module, progress, all, last};
  const auto table = [&] {
    if (!quiet && !last.vecItems.empty()) PrintTable(last, Verdicts(session.detectionBegan), colour);
  };
  bool ok = RunDetection(session, quiet, u"IDS_HARDWARE_DIAGNOSE_DOING");
  if (ok) table();

  if (ok && repair) {
    if (!quiet) std::cout << '\n' << Localized(u"IDS_HARDWARE_DIAGNOSE_REPAIRING") << '\n';
    ok = RunRepair(session);
    if (ok) table();
    if (!quiet) std::cout << '\n';
    if (ok) ok = RunDetection(session, quiet, u"IDS_HARDWARE_DETECT_DOCTOR_CONFIRMING");
    if (ok) table();
  }

  // The service stores each run after its last report: let it finish before the process ends.
  if (ok) WaitForSaveAttempts(session.runs, kReportTimeout);
  if (json) {
    nlohmann::ordered_json reports = nlohmann::ordered_json::array();
    for (const auto& report : all) reports.push_back(ToJson(report));
    // The last detection's verdicts as the pages show them, faults and notices apart.
    PrintJson({{"reports", reports}, {"verdicts", VerdictsJson(last, Verdicts(session.detectionBegan))}});
  }
  if (!ok) {
    PrintError("doctor", !session.failure.empty() ? session.failure
                                                  : "no report from the plug-in for " +
                                                        std::to_string(kReportTimeout.count()) + " s");
    return failed;
  }
  if (const std::string lost = LostRunError(); !lost.empty()) {
    PrintError("doctor", lost);
    return failed;
  }
  const RunResult result = ResultOf(session, start, began);
  if (const auto textfile = parsed.values.find("--textfile"); textfile != parsed.values.end()) {
    const std::string error = platform::WriteWholeFile(textfile->second, PrometheusText(result), kTextfileMode);
    if (!error.empty()) {
      PrintError("doctor", error);
      return failed;
    }
  }
  if (!check) return kExitOk;
  const PluginStatus status = StatusOf(result);
  std::cout << status.line << std::endl;
  return status.ExitCode();
}

}  // namespace

REGISTER_COMMAND("doctor", "run the host's health check against the plug-in (--repair, --json, --textfile, --check)",
                 RunDoctor);

}  // namespace app
