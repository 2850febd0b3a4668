// sysdiagnose-host diagnose: the interactive diagnosis on the plug-in's pages, as the user runs
// it: the scan page, the chosen categories ticked (all by default), the detect button, then every
// check line as the detect page shows it, each category's verdict and the page's result; with
// --repair the page's Repair button and the lines' repair looks. Ctrl-C presses Cancel.
#include <atomic>
#include <chrono>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "DuiLib/UICulture.h"
#include "app/commands/category_names.h"
#include "app/commands/command.h"
#include "app/views/detect_page_view.h"
#include "app/services/page_driver.h"
#include "app/services/plugin_host.h"
#include "app/views/scan_page_view.h"
#include "app/commands/signal_watch.h"
#include "app/services/stored_runs.h"
#include "app/views/terminal.h"
#include "app/views/text_width.h"

namespace app {
namespace {

using nlohmann::ordered_json;
using namespace std::chrono_literals;

constexpr const char* kUsageLine =
    "usage: sysdiagnose-host diagnose [--machine FILE] [--data-dir DIR] [--verbose] [--repair] [--json] [CATEGORY ...]\n";
constexpr auto kPageLimit = 300s;  // a repair may pause seconds on each entry

std::string CheckCategories(const ParsedArgs& parsed) {
  for (const auto& text : parsed.positional) {
    if (!CategoryNamed(text)) return "unknown category '" + text + "'";
  }
  return {};
}

// The names the pages show for the asked categories; empty for all.
std::set<std::string> ShownNames(const ParsedArgs& parsed) {
  std::set<std::string> names;
  for (const auto& text : parsed.positional) names.insert(ShownCategoryName(*CategoryNamed(text)));
  return names;
}

// A line's look and a category's verdict in the terminal's words and colours.
struct Shown {
  std::u16string_view key;
  Tone tone;
};

Shown ShownLook(LineLook look) {
  switch (look) {
    case LineLook::Running: return {u"IDS_HARDWARE_DETECT_BUSY_STATE", Tone::Busy};
    case LineLook::Passed: return {u"IDS_HARDWARE_DETECT_PASSED_STATE", Tone::Normal};
    case LineLook::Failed: return {u"IDS_HARDWARE_DETECT_FAILED_STATE", Tone::Fault};
    case LineLook::Notice: return {u"IDS_HARDWARE_DETECT_NOTICE_STATE", Tone::Notice};
    case LineLook::NeedsRestart: return {u"IDS_HARDWARE_DETECT_ITEM_OPERAT_SUCCESS_NEED_RESTART", Tone::Notice};
    case LineLook::NeedsShutdown: return {u"IDS_HARDWARE_DETECT_ITEM_OPERAT_SUCCESS_NEED_SHUTDOWN", Tone::Notice};
    case LineLook::Other: break;
  }
  return {{}, Tone::Plain};
}

Shown ShownVerdict(Verdict verdict) {
  switch (verdict) {
    case Verdict::Normal: return {u"IDS_HARDWARW_DETECT_NORM_STATE", Tone::Normal};
    case Verdict::Notice: return {u"IDS_HARDWARE_DETECT_NOTICE_STATE", Tone::Notice};
    case Verdict::Abnormal: return {u"IDS_HARDWARW_DETECT_ABNORM_STATE", Tone::Fault};
    case Verdict::None: break;
  }
  return {{}, Tone::Plain};
}

std::string Words(const Shown& shown, bool colour) {
  return shown.key.empty() ? std::string() : Painted(Localized(shown.key), shown.tone, colour);
}

// Prints what changes on the detect page: a category coming in, each line once it has its look,
// each verdict, the titles.
class DetectPrinter {
 public:
  DetectPrinter(bool quiet, bool colour) : quiet_(quiet), colour_(colour), width_(OutputColumns()) {}

  void Show(const DetectPageView& view) {
    if (quiet_) return;
    // A working title ("Repairing…") heads the lines that follow it; a result title sums up the
    // lines above it, also when the last of them changed within the same step.
    if (view.busy) ShowTitle(view);
    for (const DetectItemView& item : view.items) {
      Seen& seen = seen_[item.name];
      if (!seen.announced) std::cout << item.name << '\n';
      seen.announced = true;
      seen.looks.resize(std::max(seen.looks.size(), item.lines.size()), LineLook::Other);
      for (size_t i = 0; i < item.lines.size(); ++i) {
        const DetectLineView& line = item.lines[i];
        if (line.look == seen.looks[i] || line.look == LineLook::Other) continue;
        seen.looks[i] = line.look;
        std::string text = line.title;
        if (!line.detail.empty()) text += ": " + line.detail;
        if (!line.action.empty()) text += " [" + line.action + ']';
        if (!line.suggestion.empty()) text += " (" + line.suggestion + ')';
        std::cout << "  " << Mark(line.look) << "  " << HangingText(text, MarkColumns() + 4, width_) << '\n';
      }
      if (item.verdict != Verdict::None && item.verdict != seen.verdict) {
        std::cout << "  => " << item.name << ": " << Words(ShownVerdict(item.verdict), colour_) << '\n';
      }
      seen.verdict = item.verdict;
    }
    if (!view.busy) ShowTitle(view);
    std::cout.flush();
  }

  // The page's result without the links only its window can follow.
  void ShowResult(const DetectPageView& view) {
    Show(view);
    if (!quiet_) std::cout << view.secondTitleUnlinked << '\n';
  }

 private:
  void ShowTitle(const DetectPageView& view) {
    if (view.firstTitle != firstTitle_) std::cout << (firstTitle_ = view.firstTitle) << '\n';
  }

  struct Seen {
    bool announced = false;
    std::vector<LineLook> looks;
    Verdict verdict = Verdict::None;
  };

  // The widest look's word, so that the titles after them line up.
  static size_t MarkColumns() {
    static const size_t columns = [] {
      size_t widest = 0;
      for (LineLook each : {LineLook::Running, LineLook::Passed, LineLook::Failed, LineLook::Notice,
                            LineLook::NeedsRestart, LineLook::NeedsShutdown}) {
        widest = std::max(widest, DisplayWidth(Localized(ShownLook(each).key)));
      }
      return widest;
    }();
    return columns;
  }

  std::string Mark(LineLook look) const {
    const Shown shown = ShownLook(look);
    return Painted(PadToWidth(shown.key.empty() ? "" : Localized(shown.key), MarkColumns()), shown.tone, colour_);
  }

  bool quiet_;
  bool colour_;
  size_t width_;
  std::string firstTitle_;
  std::map<std::string, Seen> seen_;
};

ordered_json PageJson(const DetectPageView& view) {
  ordered_json items = ordered_json::array();
  for (const DetectItemView& item : view.items) {
    ordered_json lines = ordered_json::array();
    for (const DetectLineView& line : item.lines) {
      lines.push_back({{"name", line.title}, {"look", LookText(line.look)}, {"detail", line.detail}, {"action", line.action},
                       {"suggestion", line.suggestion}});
    }
    items.push_back({{"name", item.name}, {"description", item.description}, {"verdict", VerdictText(item.verdict)},
                     {"checks", lines}});
  }
  return {{"title", view.firstTitle}, {"subtitle", view.secondTitle}, {"categories", items}};
}

// Ticks exactly the asked categories (all when none is asked); the number ticked.
size_t TickCategories(PageDriver& page, const std::set<std::string>& wanted) {
  size_t ticked = 0;
  for (const ScanItemView& item : ReadScanPage(page).items) {
    const bool want = wanted.empty() || wanted.count(item.name) > 0;
    if (item.choose != nullptr && item.choose->IsSelected() != want) page.Tick(item.choose, want);
    ticked += want;
  }
  return ticked;
}

int RunDiagnose(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  const CommandShape shape{.name = "diagnose",
                           .usage = kUsageLine + CategoryNamesHelp(),
                           .flags = {"--repair", "--json"},
                           .positional = true,
                           .checkArgs = CheckCategories};
  if (auto status = BeginCommand(shape, args, parsed)) return *status;
  const bool json = parsed.Has("--json");
  std::atomic<bool> interrupted{false};
  SignalWatch signals([&interrupted] { interrupted = true; });

  PluginHost* loaded = LoadTheHost(shape.name);
  if (loaded == nullptr) return kExitFailure;
  PluginHost& host = *loaded;
  PageDriver page(host.Window());
  page.Click(u"btnSysdiagnoseScan");
  if (!page.RunUntil([&] { return ReadScanPage(page).ready || interrupted; }, kPageLimit) || interrupted) {
    PrintError(shape.name, interrupted ? "interrupted during the scan" : "the scan page was not ready");
    return kExitFailure;
  }
  if (TickCategories(page, ShownNames(parsed)) == 0 || !page.Click(u"btnSysdiagnoseDetect")) {
    PrintError(shape.name, "none of the asked categories is on the scan page");
    return kExitFailure;
  }

  DetectPrinter printer(json, OutputInColour());
  DetectPageView view;
  bool cancelled = false;
  bool ended = false;
  // Until the page shows its result, or goes back to the history: after Cancel (Ctrl-C presses
  // it), or when the run ended early (a check that could not run).
  const auto runPage = [&] {
    return page.RunUntil(
        [&] {
          view = ReadDetectPage(page);
          if (interrupted && !cancelled && page.CanPress(u"btnSysdiagnoseDetectCancel")) {
            cancelled = page.Click(u"btnSysdiagnoseDetectCancel");
          }
          ended = page.Shown(u"btnSysdiagnoseScan");
          return (view.finished && !view.busy) || ended;
        },
        kPageLimit, [&] { printer.Show(view); });
  };
  bool ran = runPage();
  ordered_json document = {{"detect", PageJson(view)}, {"repair", nullptr}};
  if (ran && !ended) printer.ShowResult(view);
  const std::u16string repairText = UICulture::GetInstance().GetString(u"IDS_HARDWARE_DIAGNOSE_REPAIR");
  if (ran && !ended && parsed.Has("--repair") && view.completeButton == Utf8(repairText)) {
    page.Click(u"btnSysdiagnoseDetectComplete");
    ran = runPage();
    if (ran && !ended) printer.ShowResult(view);
    document["repair"] = PageJson(view);
  }
  document["ending"] = ended ? "cancelled" : "finished";
  if (json) PrintJson(document);
  if (!ran) {
    PrintError(shape.name, "the detect page showed no result after " + std::to_string(kPageLimit.count()) + " s");
    return kExitFailure;
  }
  if (ended && !json) std::cout << Localized(u"IDS_HARDWARE_DIAGNOSE_CANCELLED") << '\n';
  if (ended && !cancelled) {
    PrintError(shape.name, "the run ended before its result: a check could not run (the log file says why)");
    return kExitFailure;
  }
  if (const std::string lost = LostRunError(); !lost.empty()) {
    PrintError(shape.name, lost);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

REGISTER_COMMAND("diagnose", "diagnose on the plug-in's pages and print every check as it appears (--repair, --json)",
                 RunDiagnose);

}  // namespace app
