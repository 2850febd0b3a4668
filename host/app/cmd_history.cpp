// sysdiagnose-host history: the latest run of each of the recent days that had runs.
#include <array>
#include <iostream>
#include <string>
#include <vector>

#include "app/command.h"
#include "history/diagnose_history.h"
#include "model/hardware_catalog.h"
#include "model/hardware_state.h"
#include "platform/numparse.h"

namespace app {
namespace {

using zel::sysdiagnose::tagQueryDataItem;

constexpr const char* kUsage =
    "usage: sysdiagnose-host history [--machine FILE] [--data-dir DIR] [--verbose] [--days N] [--json]\n"
    "  N: how many of the most recent days with runs to show, 1 to 1000 (default 12)";
constexpr int kDefaultDays = 12;
constexpr int kMostDays = 1000;

// By enmHardwareID.
constexpr std::array<const char*, zel::sysdiagnose::kHardwareCategoryCount> kCategoryNames = {
    "audio",   "mainboard", "Bluetooth", "network card", "processor", "memory",
    "disks",   "graphics",  "display",   "battery",      "keyboard",  "fingerprint sensor"};

const char* StateText(int32_t state) {
  if (state < 0) return "not diagnosed";
  return state == 0 ? "normal" : "abnormal";
}

// The categories to show: today's catalogue, or all twelve when there is none.
std::vector<int32_t> ShownCategories() {
  std::vector<int32_t> ids;
  for (const auto& entry : zel::sysdiagnose::GetHardwareCatalog().Items()) {
    if (zel::sysdiagnose::IsHardwareCategory(entry.id)) ids.push_back(entry.id);
  }
  if (ids.empty()) {
    for (int32_t id = 0; id < zel::sysdiagnose::kHardwareCategoryCount; ++id) ids.push_back(id);
  }
  return ids;
}

// "hh:mm:ss" from the stored run time text, or the text as stored when it has another shape.
std::string TimeOfDay(const tagQueryDataItem& run) {
  const std::string prefix = run.date + ".";
  if (run.time.size() != prefix.size() + 8 || !run.time.starts_with(prefix)) return run.time;
  std::string clock = run.time.substr(prefix.size());
  clock[2] = ':';
  clock[5] = ':';
  return clock;
}

int32_t StateIn(tagQueryDataItem run, int32_t category) { return *zel::sysdiagnose::StateOf(run, category); }

void PrintRun(std::ostream& out, const tagQueryDataItem& run, const std::vector<int32_t>& categories) {
  out << run.date << ' ' << TimeOfDay(run) << "  normal " << run.normalCount << ", abnormal "
      << run.abnormalCount << '\n';
  for (int32_t id : categories) {
    const std::string name = kCategoryNames[static_cast<size_t>(id)];
    out << "  " << name << std::string(name.size() < 20 ? 20 - name.size() : 1, ' ') << StateText(StateIn(run, id))
        << '\n';
  }
}

nlohmann::ordered_json RunJson(const tagQueryDataItem& run, const std::vector<int32_t>& categories) {
  nlohmann::ordered_json states = nlohmann::ordered_json::array();
  for (int32_t id : categories) {
    states.push_back({{"id", id}, {"name", kCategoryNames[static_cast<size_t>(id)]}, {"state", StateText(StateIn(run, id))}});
  }
  return {{"date", run.date},          {"time", TimeOfDay(run)},          {"secondTime", run.secondTime},
          {"normal", run.normalCount}, {"abnormal", run.abnormalCount}, {"categories", states}};
}

// The number of days asked for; 0 when the text is not one from 1 to kMostDays.
int DaysOf(const ParsedArgs& parsed) {
  const auto given = parsed.values.find("--days");
  if (given == parsed.values.end()) return kDefaultDays;
  const std::string& text = given->second;
  const bool digits = !text.empty() && text.size() <= 4 && text.find_first_not_of("0123456789") == std::string::npos;
  const int days = digits ? platform::Atoi(text) : 0;
  return days <= kMostDays ? days : 0;
}

std::string CheckDays(const ParsedArgs& parsed) {
  if (DaysOf(parsed) > 0) return {};
  return "--days takes a number from 1 to " + std::to_string(kMostDays) + ", not '" + parsed.values.at("--days") + "'";
}

int RunHistory(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  const CommandSpec spec{
      .name = "history", .usage = kUsage, .flags = {"--json"}, .values = {"--days"}, .checkArgs = CheckDays};
  if (auto exit = BeginCommand(spec, args, parsed)) return *exit;
  const int days = DaysOf(parsed);

  std::vector<tagQueryDataItem> runs;
  zel::sysdiagnose::DiagnoseHistory::QueryRecentDays(days, [&](const std::vector<tagQueryDataItem>& found) { runs = found; });
  const std::vector<int32_t> categories = ShownCategories();
  if (parsed.Has("--json")) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& run : runs) list.push_back(RunJson(run, categories));
    PrintJson({{"runs", list}});
    return kExitOk;
  }
  for (size_t i = 0; i < runs.size(); ++i) {
    if (i > 0) std::cout << '\n';
    PrintRun(std::cout, runs[i], categories);
  }
  if (runs.empty()) std::cout << "no diagnosis runs in the last 90 days\n";
  return kExitOk;
}

}  // namespace

REGISTER_COMMAND("history", "show the latest run of each recent day (--days N, --json)", RunHistory);

}  // namespace app
