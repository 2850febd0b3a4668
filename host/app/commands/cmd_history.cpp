// sysdiagnose-host history: the history page as the user reads it: its subtitle, then for each of
// the most recent days with runs (a bar of the day row) the day, the numbers of normal and
// abnormal categories and every category line with its mark, the host selecting the day's bar as
// the user would.
#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "app/commands/command.h"
#include "app/views/history_page_view.h"
#include "app/services/page_driver.h"
#include "app/services/plugin_host.h"
#include "app/services/stored_runs.h"
#include "app/views/terminal.h"
#include "app/views/text_table.h"
#include "platform/numparse.h"

namespace app {
namespace {

using nlohmann::ordered_json;
using namespace std::chrono_literals;

constexpr const char* kUsage =
    "usage: sysdiagnose-host history [--machine FILE] [--data-dir DIR] [--verbose] [--days N] [--json]\n"
    "  N: how many of the most recent days with runs to show, 1 to 1000 (default 12; the page shows 12 at most)";
constexpr int kDefaultDays = 12;
constexpr int kMostDays = 1000;

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


// A category line's mark in the terminal's words and colours.
TextTable::Cell StateCell(const std::string& state) {
  if (state == "normal") return {Localized(u"IDS_HARDWARW_DETECT_NORM_STATE"), Tone::Normal};
  if (state == "abnormal") return {Localized(u"IDS_HARDWARW_DETECT_ABNORM_STATE"), Tone::Fault};
  return {Localized(u"IDS_HARDWARE_DETECT_NOT_DIAGNOSED_STATE")};
}

void PrintRun(const HistoryPageView& view, size_t width, bool colour) {
  std::cout << view.shownDate << "  " << Localized(u"IDS_HARDWARW_DETECT_NORM_STATE") << ' ' << view.normal << "  "
            << Localized(u"IDS_HARDWARW_DETECT_ABNORM_STATE") << ' ' << view.abnormal << '\n';
  TextTable table({{""}, {""}, {"", true, 16}});
  for (const HistoryCategoryView& category : view.categories) {
    table.AddRow({{category.name}, StateCell(category.state), {category.model}});
  }
  for (const std::string& line : table.Render(width > 2 ? width - 2 : width, colour)) std::cout << "  " << line << '\n';
}

ordered_json RunJson(const HistoryPageView& view) {
  ordered_json categories = ordered_json::array();
  for (const HistoryCategoryView& category : view.categories) {
    categories.push_back({{"name", category.name}, {"model", category.model}, {"state", category.state}});
  }
  return {{"date", view.shownDate}, {"normal", platform::Atoi(view.normal)},
          {"abnormal", platform::Atoi(view.abnormal)}, {"categories", categories}};
}

int RunHistory(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  const CommandShape shape{
      .name = "history", .usage = kUsage, .flags = {"--json"}, .values = {"--days"}, .checkArgs = CheckDays};
  if (auto status = BeginCommand(shape, args, parsed)) return *status;
  const bool json = parsed.Has("--json");

  PluginHost* host = LoadTheHost(shape.name);
  if (host == nullptr) return kExitFailure;
  PageDriver page(host->Window());
  page.Settle();
  const HistoryPageView first = ReadHistoryPage(page);
  std::vector<HistoryPageView> runs;
  const std::vector<HistoryDayView>& days = first.days;
  const size_t wanted = static_cast<size_t>(DaysOf(parsed));
  // The most recent bar is the rightmost; a day whose bar shows no record is the empty row's.
  for (size_t i = days.size(); i-- > 0 && runs.size() < wanted;) {
    if (!days[i].selected) page.Tick(days[i].bar, true);
    page.Settle();
    HistoryPageView shown = ReadHistoryPage(page);
    if (!shown.shownDate.empty()) runs.push_back(std::move(shown));
  }
  // The page shows a history it could not read as an empty one.
  if (const std::string unread = UnreadHistoryError(); !unread.empty()) {
    PrintError(shape.name, unread);
    return kExitFailure;
  }

  if (json) {
    ordered_json list = ordered_json::array();
    for (const HistoryPageView& run : runs) list.push_back(RunJson(run));
    PrintJson({{"subtitle", first.subtitle}, {"runs", list}});
    return kExitOk;
  }
  std::cout << first.subtitle << '\n';
  const size_t width = OutputColumns();
  const bool colour = OutputInColour();
  for (const HistoryPageView& run : runs) PrintRun(run, width, colour);
  return kExitOk;
}

}  // namespace

REGISTER_COMMAND("history", "print the plug-in's history page: the latest run of each recent day (--days, --json)",
                 RunHistory);

}  // namespace app
