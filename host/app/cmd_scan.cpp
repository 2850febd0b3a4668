// sysdiagnose-host scan: runs the hardware scan the way the scan page does, with the console as
// the page: rows cross to the UI thread one at a time and are shown as they arrive.
#include <atomic>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIMessageLoop.h"
#include "app/command.h"
#include "hardware/scan_control.h"
#include "model/hardware_catalog.h"
#include "platform/encoding.h"

namespace app {
namespace {

using namespace zel::sysdiagnose;
using nlohmann::ordered_json;

constexpr const char* kUsage = "usage: sysdiagnose-host scan [--machine FILE] [--data-dir DIR] [--verbose] [--json]";

tagXmlUIInfo CategoryInfo(enmHardwareID category) {
  HardwareCatalog& catalog = GetHardwareCatalog();
  catalog.RefreshModelName(category);
  tagXmlUIInfo info;
  if (!catalog.GetUIInfo(category, info)) info.name = u"category " + platform::Utf8ToUtf16(std::to_string(category));
  return info;
}

// The console stand-in for the scan page; lives on the UI thread. As text, every category and row
// is printed as it comes; as JSON, the categories are gathered and printed at the end.
class ConsoleScanPage {
 public:
  ConsoleScanPage(ScanControl& control, bool json) : control_(control), json_(json) {}

  void ShowRow(enmHardwareID category, const tagHardwareDetailInfo& row) {
    if (category != currentCategory_) StartCategory(category);
    currentCategory_ = category;
    if (json_) {
      AddToJson(row);
    } else if (row.separator != 0) {
      std::cout << "  --\n";
    } else if (row.title.empty() && row.content.empty()) {
      std::cout << "  (no information)\n";
    } else {
      std::cout << "  " << Utf8(row.title) << ": " << Utf8(row.content) << '\n';
    }
    std::cout.flush();
    SignalRowConsumed(control_);
  }

  void ShowEnd() {
    if (json_) {
      PrintJson({{"categories", categories_}});
      return;
    }
    const size_t shown = categories_.size();
    std::cout << "scan finished: " << shown << (shown == 1 ? " category\n" : " categories\n");
  }

 private:
  void StartCategory(enmHardwareID category) {
    const tagXmlUIInfo info = CategoryInfo(category);
    categories_.push_back({{"id", category},
                           {"name", Utf8(info.name)},
                           {"model", Utf8(info.modelName)},
                           {"summary", Utf8(info.summary)},
                           {"devices", ordered_json::array()}});
    if (!json_) std::cout << Utf8(info.name) << " - " << Utf8(info.modelName) << " - " << Utf8(info.summary) << '\n';
  }

  // A separator starts the next device; a placeholder means the category has none to show.
  void AddToJson(const tagHardwareDetailInfo& row) {
    ordered_json& devices = categories_.back()["devices"];
    const bool placeholder = row.separator == 0 && row.title.empty() && row.content.empty();
    if (placeholder) return;
    if (devices.empty() || row.separator != 0) devices.push_back(ordered_json::array());
    if (row.separator == 0) devices.back().push_back({{"label", Utf8(row.title)}, {"value", Utf8(row.content)}});
  }

  ScanControl& control_;
  const bool json_;
  int32_t currentCategory_ = -1;
  ordered_json categories_ = ordered_json::array();
};

int RunScanCommand(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  if (auto exit = BeginCommand({.name = "scan", .usage = kUsage, .flags = {"--json"}}, args, parsed)) return *exit;

  ScanControl control;
  ConsoleScanPage page(control, parsed.Has("--json"));
  std::atomic<bool> cancelled{false};

  GetHardwareCatalog();
  StartHardwareScan(
      control,
      [&control, &page](enmHardwareID category, tagHardwareDetailInfo& row) {
        ClearRowConsumed(control);
        UIMainQueue::getInstance().dispatch([&page, category, copy = row] { page.ShowRow(category, copy); });
        WaitRowConsumed(control);
        return true;
      },
      [&page](enmHardwareID) {
        UIMainQueue::getInstance().dispatch([&page] {
          page.ShowEnd();
          UIMessageLoop::Instance().Quit();
        });
      },
      [&cancelled] {
        cancelled = true;
        UIMainQueue::getInstance().dispatch([] { UIMessageLoop::Instance().Quit(); });
      });
  UIMessageLoop::Instance().Run();
  // The scan thread sends its telemetry event after it has told us it finished, and it uses
  // `control` until then: let it end before the locals go.
  while (control.running) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  if (cancelled) {
    PrintError("scan", "the scan stopped early (see the log)");
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

REGISTER_COMMAND("scan", "scan the hardware and print every category's information (--json)", RunScanCommand);

}  // namespace app
