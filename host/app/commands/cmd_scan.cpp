// sysdiagnose-host scan: the hardware scan on the plug-in's scan page. The host opens the page as
// the user does (the history page's button) and prints each category item and each row as the
// page shows it, with the page's texts, until the page is ready for a choice.
#include <algorithm>
#include <chrono>
#include <iostream>
#include <string>
#include <vector>

#include "DataReport/EventDataReport.h"
#include "app/commands/command.h"
#include "app/services/page_driver.h"
#include "app/services/plugin_host.h"
#include "app/views/scan_page_view.h"

namespace app {
namespace {

using nlohmann::ordered_json;
using namespace std::chrono_literals;

constexpr const char* kUsage = "usage: sysdiagnose-host scan [--machine FILE] [--data-dir DIR] [--verbose] [--json]";
constexpr auto kScanLimit = 120s;
constexpr auto kScanEventLimit = 5s;
constexpr const char* kScanEndedEvent = "620000010";

bool ScanEventSent() {
  const auto events = EventDataReport::Instance().SentEvents();
  return std::any_of(events.begin(), events.end(), [](const auto& event) { return event.first == kScanEndedEvent; });
}

// Prints what appears on the scan page since the last look: new items, new rows, the title while
// it scans. The page's last words ask for a choice among the ticks, which a terminal does not
// have: the scan ends with the terminal's own.
class ScanPrinter {
 public:
  void Show(const ScanPageView& view) {
    if (!view.ready && view.firstTitle != firstTitle_) std::cout << (firstTitle_ = view.firstTitle) << '\n';
    for (size_t i = 0; i < view.items.size(); ++i) {
      const ScanItemView& item = view.items[i];
      if (i >= rowsShown_.size()) {
        std::cout << item.name << " - " << item.summary << '\n';
        rowsShown_.push_back(0);
      }
      for (size_t& shown = rowsShown_[i]; shown < item.rows.size(); ++shown) PrintRow(item.rows[shown]);
    }
    std::cout.flush();
  }

  void ShowEnd(const ScanPageView& view) {
    Show(view);
    std::cout << Localized(u"IDS_HARDWARE_DETECT_SCAN_DONE", static_cast<int64_t>(view.items.size())) << '\n';
  }

 private:
  static void PrintRow(const ScanRowView& row) {
    if (row.separator) {
      std::cout << "  --\n";
    } else if (row.title.empty() && row.content.empty()) {
      std::cout << "  (" << Localized(u"IDS_HARDWARE_DETECT_NO_INFORMATION") << ")\n";
    } else {
      std::cout << "  " << row.title << ": " << row.content << '\n';
    }
  }

  std::string firstTitle_;
  std::vector<size_t> rowsShown_;
};

// Every item with its devices: the rows between two separators (none for an item whose only row
// is empty).
ordered_json ScanJson(const ScanPageView& view) {
  ordered_json items = ordered_json::array();
  for (const ScanItemView& item : view.items) {
    ordered_json devices = ordered_json::array();
    ordered_json device = ordered_json::array();
    for (const ScanRowView& row : item.rows) {
      if (row.separator) {
        if (!device.empty()) devices.push_back(device);
        device = ordered_json::array();
      } else if (!row.title.empty() || !row.content.empty()) {
        device.push_back({{"label", row.title}, {"value", row.content}});
      }
    }
    if (!device.empty()) devices.push_back(device);
    items.push_back({{"name", item.name}, {"summary", item.summary}, {"ticked", item.ticked}, {"devices", devices}});
  }
  return {{"title", view.firstTitle}, {"subtitle", view.secondTitle}, {"categories", items}};
}

int RunScan(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  const CommandShape shape{.name = "scan", .usage = kUsage, .flags = {"--json"}};
  if (auto status = BeginCommand(shape, args, parsed)) return *status;
  const bool json = parsed.Has("--json");

  PluginHost* host = LoadTheHost(shape.name);
  if (host == nullptr) return kExitFailure;
  PageDriver page(host->Window());
  if (!page.Click(u"btnSysdiagnoseScan")) {
    PrintError(shape.name, "the history page offers no scan");
    return kExitFailure;
  }
  ScanPrinter printer;
  ScanPageView view;
  const bool ready = page.RunUntil([&] { return (view = ReadScanPage(page)).ready; }, kScanLimit,
                                   [&] { if (!json) printer.Show(view); });
  if (!ready) {
    PrintError(shape.name, "the scan page was not ready after " + std::to_string(kScanLimit.count()) + " s");
    return kExitFailure;
  }
  // The scan thread's last act, after it told the page that the scan is over, is its telemetry
  // event: the command waits for it rather than lose it by ending first.
  page.RunUntil(ScanEventSent, kScanEventLimit);
  if (json) {
    PrintJson(ScanJson(view));
  } else {
    printer.ShowEnd(view);
  }
  return kExitOk;
}

}  // namespace

REGISTER_COMMAND("scan", "scan the hardware on the plug-in's scan page and print what it shows (--json)", RunScan);

}  // namespace app
