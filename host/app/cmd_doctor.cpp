// sysdiagnose-host doctor: plays the host's health-check module beside the plug-in's health-check
// service on the bus: asks for the module information, runs a detection, shows each report as it
// arrives and the final table; with --repair it repairs and confirms with one more detection.
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
#include "app/stored_runs.h"
#include "utility/Concurrency.h"

namespace app {
namespace {

using namespace std::chrono_literals;

constexpr const char* kUsage =
    "usage: sysdiagnose-host doctor [--machine FILE] [--data-dir DIR] [--verbose] [--repair] [--json]";
// A report is due after every category; a repair may pause 5 s on a category.
constexpr auto kReportTimeout = 120s;
constexpr auto kPollEvery = 100ms;
constexpr auto kLastReportGrace = 500ms;  // a report posted just before the plug-in's task ended

// "{f 16}{c #7F7F7F}Model{/f}{/c}" -> "Model": the host's rich-text tags are for its own list.
std::string PlainText(const std::u16string& rich) {
  std::string out;
  bool inTag = false;
  for (char c : Utf8(rich)) {
    if (c == '{') {
      inTag = true;
    } else if (c == '}') {
      inTag = false;
    } else if (!inTag) {
      out += c;
    }
  }
  return out;
}

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

// The runs the plug-in is to have stored once the requests sent so far are done.
struct Session {
  DoctorModule& module;
  ProgressPrinter& progress;
  std::vector<DoctorReport>& all;
  DoctorReport& last;
  int64_t runs = CountSaveAttempts();
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

bool RunDetection(Session& session, bool json, const char* title) {
  if (!json) std::cout << title << '\n';
  session.progress.Reset();
  const uint64_t tasksBefore = Concurrency::TasksStarted();
  session.module.RequestDetection(true);
  ++session.runs;
  bool reported = false;
  const bool ok = CollectUntilFinished(session, tasksBefore, reported);
  if (ok && !reported && !json) std::cout << "  the catalogue lists no category\n";
  return ok;
}

bool RunRepair(Session& session) {
  std::vector<int32_t> abnormal;
  for (size_t i = 0; i < session.last.vecItems.size(); ++i) {
    if (session.last.vecItems[i].nState == kDoctorStateAbnormal) abnormal.push_back(static_cast<int32_t>(i));
  }
  const uint64_t tasksBefore = Concurrency::TasksStarted();
  session.module.RequestRepair(abnormal);
  ++session.runs;
  bool reported = false;
  return CollectUntilFinished(session, tasksBefore, reported);
}

int RunDoctor(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  if (auto exit = BeginCommand({.name = "doctor", .usage = kUsage, .flags = {"--repair", "--json"}}, args, parsed)) return *exit;
  const bool json = parsed.Has("--json");
  const bool repair = parsed.Has("--repair");

  // The health-check service lives in the plug-in's page host: it comes to life with the page.
  if (LoadTheHost("doctor") == nullptr) return kExitFailure;
  DoctorModule module;
  ProgressPrinter progress(json);
  std::vector<DoctorReport> all;
  DoctorReport last;

  if (auto info = module.QueryModuleInfo(5s); info && !json) {
    std::cout << "Health-check module " << std::hex << "0x" << info->nModuleId << std::dec << " ("
              << Utf8(info->strNameKey) << ")\n";
  }
  Session session{module, progress, all, last};
  bool ok = RunDetection(session, json, "Detecting:");
  if (ok && !json && !last.vecItems.empty()) PrintTable(last);

  if (ok && repair) {
    if (!json) std::cout << "\nRepairing:\n";
    ok = RunRepair(session);
    if (ok && !json) PrintTable(last);
    if (ok) ok = RunDetection(session, json, "\nConfirming:");
    if (ok && !json) PrintTable(last);
  }

  // The service stores each run after its last report: let it finish before the process ends.
  if (ok) WaitForSaveAttempts(session.runs, kReportTimeout);
  if (json) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const auto& report : all) out.push_back(ToJson(report));
    PrintJson(out);
  }
  if (!ok) {
    PrintError("doctor", !session.failure.empty() ? session.failure
                                                  : "no report from the plug-in for " +
                                                        std::to_string(kReportTimeout.count()) + " s");
    return kExitFailure;
  }
  if (const std::string lost = LostRunError(); !lost.empty()) {
    PrintError("doctor", lost);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

REGISTER_COMMAND("doctor", "run the host's health check against the plug-in (--repair, --json)", RunDoctor);

}  // namespace app
