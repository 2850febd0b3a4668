// sysdiagnose-host scan: runs the hardware scan the way the scan page does, with the console as
// the page: rows cross to the UI thread one at a time and are printed as they arrive.
#include <atomic>
#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIMessageLoop.h"
#include "app/command.h"
#include "hardware/scan_control.h"
#include "model/hardware_catalog.h"
#include "platform/encoding.h"

namespace {

using namespace zel::sysdiagnose;

constexpr const char* kUsage = "usage: sysdiagnose-host scan [--machine FILE] [--data-dir DIR]";

struct ScanOptions {
  std::string machineFile;
  std::string dataDir;
  bool help = false;
};

// Empty text when the arguments are fine, else the one line that says what is wrong.
std::string ParseOptions(const std::vector<std::string>& args, ScanOptions& options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      continue;
    }
    std::string* target = arg == "--machine" ? &options.machineFile : arg == "--data-dir" ? &options.dataDir : nullptr;
    if (target == nullptr) return "unknown argument '" + arg + "'";
    if (i + 1 >= args.size()) return arg + " needs a value";
    *target = args[++i];
  }
  return {};
}

std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

// The console stand-in for the scan page; lives on the UI thread.
class ConsoleScanPage {
 public:
  explicit ConsoleScanPage(ScanControl& control) : control_(control) {}

  void ShowEnd() {
    std::cout << "scan finished: " << categoriesShown_ << (categoriesShown_ == 1 ? " category\n" : " categories\n");
  }

  void ShowRow(enmHardwareID category, const tagHardwareDetailInfo& row) {
    if (category != currentCategory_) {
      ShowCategory(category);
      ++categoriesShown_;
    }
    currentCategory_ = category;
    if (row.separator != 0) {
      std::cout << "  --\n";
    } else if (row.title.empty() && row.content.empty()) {
      std::cout << "  (no information)\n";
    } else {
      std::cout << "  " << Utf8(row.title) << ": " << Utf8(row.content) << '\n';
    }
    std::cout.flush();
    SignalRowConsumed(control_);
  }

 private:
  static void ShowCategory(enmHardwareID category) {
    HardwareCatalog& catalog = GetHardwareCatalog();
    catalog.RefreshModelName(category);
    tagXmlUIInfo info;
    if (!catalog.GetUIInfo(category, info)) info.detectName = u"category " + platform::Utf8ToUtf16(std::to_string(category));
    std::cout << Utf8(info.detectName) << " - " << Utf8(info.modelName) << " - " << Utf8(info.summary) << '\n';
  }

  ScanControl& control_;
  int32_t currentCategory_ = -1;
  int categoriesShown_ = 0;
};

int RunScanCommand(const std::vector<std::string>& args) {
  ScanOptions options;
  if (const std::string error = ParseOptions(args, options); !error.empty()) {
    std::cerr << "sysdiagnose-host scan: " << error << " (" << kUsage << ")\n";
    return app::kExitUsage;
  }
  if (options.help) {
    std::cout << kUsage << '\n';
    return app::kExitOk;
  }
  if (!app::PrepareMachine(options.machineFile, options.dataDir)) return app::kExitUsage;

  ScanControl control;
  ConsoleScanPage page(control);
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
    std::cerr << "sysdiagnose-host scan: the scan stopped early (see the log)\n";
    return app::kExitFailure;
  }
  return app::kExitOk;
}

}  // namespace

REGISTER_COMMAND("scan", "scan the hardware and print every category's information",
                 RunScanCommand);
