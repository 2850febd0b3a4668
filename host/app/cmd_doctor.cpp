// sysdiagnose-host doctor: plays the host's health-check module beside the plug-in's health-check
// service on the bus: asks for the module information, runs a detection, shows each report as it
// arrives and the final table; with --repair it repairs and confirms with one more detection.
#include <algorithm>
#include <chrono>
#include <iomanip>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/command.h"
#include "app/doctor_module.h"
#include "app/plugin_host.h"
#include "app/plugin_status.h"
#include "app/prometheus_export.h"
#include "app/run_result.h"
#include "app/stored_runs.h"
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

const char* StateText(uint32_t state) {
  switch (state) {
    case kDoctorStateNormal: return "normal";
    case kDoctorStateAbnormal: return "abnormal";
    default: return "in progress";
  }
}

// The text in a column of `width` characters, one of them the gap to the next column.
std::string Fit(std::string text, size_t width) {
  if (text.size() >= width) text = text.substr(0, width - 2) + "~";
  text.resize(width, ' ');
  return text;
}

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
  explicit ProgressPrinter(bool quiet) : quiet_(quiet) {}

  void Show(const DoctorReport& report) {
    if (quiet_) return;
    for (size_t i = 0; i < report.vecItems.size(); ++i) {
      const DoctorRow& item = report.vecItems[i];
      const uint32_t before = i < previous_.vecItems.size() ? previous_.vecItems[i].nState : UINT32_MAX;
      if (item.nState == before) continue;
      if (item.nState == kDoctorStateBusy) {
        std::cout << "  ... " << Utf8(item.strName) << '\n';
      } else {
        const bool normal = item.nState == kDoctorStateNormal;
        std::cout << "  " << (normal ? "ok  " : "FAIL") << ' ' << Utf8(item.strName);
        if (!normal && !item.strResult.empty()) std::cout << ": " << Utf8(item.strResult);
        std::cout << '\n';
      }
    }
    std::cout.flush();
    previous_ = report;
  }

  void Reset() { previous_ = {}; }

 private:
  bool quiet_;
  DoctorReport previous_;
};

void PrintTable(const DoctorReport& report) {
  std::cout << '\n'
            << Fit("Category", 20) << Fit("Model", 36) << Fit("State", 10) << Fit("Result", 46) << "Action\n";
  for (const DoctorRow& item : report.vecItems) {
    // A successful repair leaves the finding's texts in the record; the state tells it is fixed.
    const bool normal = item.nState == kDoctorStateNormal;
    const std::string action = normal ? (item.strAction.empty() ? "" : "repaired") : Utf8(item.strAction);
    std::cout << Fit(Utf8(item.strName), 20) << Fit(PlainText(item.strHardware), 36)
              << Fit(StateText(item.nState), 10) << Fit(normal ? "" : Utf8(item.strResult), 46) << action << '\n';
  }
  std::cout << '\n' << Utf8(report.strSummary) << '\n';
  if (!report.strDetail.empty()) std::cout << Utf8(report.strDetail) << '\n';
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
    session.progress.Show(*report);
    session.all.push_back(*report);
    session.last = *report;
    if (report->bFinished) return true;
  }
  return false;
}

bool RunDetection(Session& session, bool quiet, const char* title) {
  if (!quiet) std::cout << title << '\n';
  session.progress.Reset();
  session.detectionBegan = std::chrono::steady_clock::now();
  const uint64_t tasksBefore = Concurrency::TasksStarted();
  session.module.RequestDetection(true);
  ++session.runs;
  bool reported = false;
  const bool ok = CollectUntilFinished(session, tasksBefore, reported);
  if (ok && !reported && !quiet) std::cout << "  the catalogue lists no category\n";
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
  ProgressPrinter progress(quiet);
  std::vector<DoctorReport> all;
  DoctorReport last;

  if (auto info = module.QueryModuleInfo(5s); info && !quiet) {
    std::cout << "Health-check module " << std::hex << "0x" << info->nModuleId << std::dec << " ("
              << Utf8(info->strNameKey) << ")\n";
  }
  Session session{module, progress, all, last};
  bool ok = RunDetection(session, quiet, "Detecting:");
  if (ok && !quiet && !last.vecItems.empty()) PrintTable(last);

  if (ok && repair) {
    if (!quiet) std::cout << "\nRepairing:\n";
    ok = RunRepair(session);
    if (ok && !quiet) PrintTable(last);
    if (ok) ok = RunDetection(session, quiet, "\nConfirming:");
    if (ok && !quiet) PrintTable(last);
  }

  // The service stores each run after its last report: let it finish before the process ends.
  if (ok) WaitForSaveAttempts(session.runs, kReportTimeout);
  if (json) {
    nlohmann::ordered_json reports = nlohmann::ordered_json::array();
    for (const auto& report : all) reports.push_back(ToJson(report));
    PrintJson({{"reports", reports}});
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
