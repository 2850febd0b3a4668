// sysdiagnose-host history: the latest run of each of the recent days that had runs.
#include <CLI/CLI.hpp>

#include <array>
#include <iostream>
#include <string>
#include <vector>

#include "app/command.h"
#include "history/diagnose_history.h"
#include "model/hardware_catalog.h"
#include "model/hardware_state.h"

namespace {

using zel::sysdiagnose::tagQueryDataItem;

constexpr int kDefaultDays = 12;

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

void PrintRun(std::ostream& out, const tagQueryDataItem& run, const std::vector<int32_t>& categories) {
  out << run.date << ' ' << TimeOfDay(run) << "  normal " << run.normalCount << ", abnormal "
      << run.abnormalCount << '\n';
  tagQueryDataItem copy = run;
  for (int32_t id : categories) {
    const std::string name = kCategoryNames[static_cast<size_t>(id)];
    out << "  " << name << std::string(name.size() < 20 ? 20 - name.size() : 1, ' ')
        << StateText(*zel::sysdiagnose::StateOf(copy, id)) << '\n';
  }
}

int RunHistory(const std::vector<std::string>& args) {
  CLI::App cli{"The latest diagnosis run of each of the recent days that had runs", "sysdiagnose-host history"};
  int days = kDefaultDays;
  std::string dataDir;
  std::string machine;
  cli.add_option("--days", days, "number of days with runs to show")->check(CLI::Range(1, 1000));
  cli.add_option("--data-dir", dataDir, "data directory (history.db)");
  cli.add_option("--machine", machine, "machine profile");
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    cli.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    std::cout << cli.help();
    return app::kExitOk;
  } catch (const CLI::ParseError& e) {
    std::cerr << "sysdiagnose-host history: " << e.what() << '\n';
    return app::kExitUsage;
  }
  if (!app::PrepareMachine(machine, dataDir)) return app::kExitUsage;

  const std::vector<int32_t> categories = ShownCategories();
  int printed = 0;
  zel::sysdiagnose::DiagnoseHistory::QueryRecentDays(days, [&](const std::vector<tagQueryDataItem>& runs) {
    for (const auto& run : runs) {
      if (printed++) std::cout << '\n';
      PrintRun(std::cout, run, categories);
    }
  });
  if (printed == 0) std::cout << "no diagnosis runs in the last 90 days\n";
  return app::kExitOk;
}

}  // namespace

REGISTER_COMMAND("history", "show the latest run of each recent day", RunHistory);
