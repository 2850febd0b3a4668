// sysdiagnose-host diagnose: the interactive diagnosis without pages. The console plays the detect
// page: every announced check and its line are printed live on the UI thread, which releases the
// worker after each line; Ctrl-C cancels between categories the way the cancel button does.
#include <csignal>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIMessageLoop.h"
#include "app/command.h"
#include "diagnose/detect_runner.h"
#include "diagnose/hardware_repair_helper.h"
#include "model/hardware_catalog.h"
#include "platform/encoding.h"
#include "platform/numparse.h"

namespace app {
namespace {

using namespace zel::sysdiagnose;

constexpr const char* kUsage =
    "usage: sysdiagnose-host diagnose [--machine FILE] [--data-dir DIR] [--repair] [CATEGORY ...]\n"
    "  CATEGORY: a number 0-11 or one of audio mainboard bluetooth network cpu memory disk gpu display\n"
    "            battery keyboard fingerprint (default: every category of the catalogue)";

struct NamedCategory {
  const char* name;
  enmHardwareID id;
};
constexpr NamedCategory kCategoryNames[] = {
    {"audio", HARDWARE_AUDIO},   {"mainboard", HARDWARE_MAINBOARD}, {"bluetooth", HARDWARE_BLUETOOTH},
    {"network", HARDWARE_NETCARD}, {"cpu", HARDWARE_CPU},           {"processor", HARDWARE_CPU},
    {"memory", HARDWARE_MEMORY}, {"disk", HARDWARE_DISK},           {"gpu", HARDWARE_GPU},
    {"graphics", HARDWARE_GPU},  {"display", HARDWARE_DISPLAY},     {"battery", HARDWARE_BATTERY},
    {"keyboard", HARDWARE_KEYBOARD}, {"fingerprint", HARDWARE_FINGERPRINT},
};

std::atomic<DetectRunner*> interruptTarget{nullptr};

void OnInterrupt(int) {
  if (DetectRunner* runner = interruptTarget.load()) runner->RequestCancel();
}

std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

std::string CategoryName(int32_t category) {
  tagXmlUIInfo info;
  if (GetHardwareCatalog().GetUIInfo(category, info)) return Utf8(info.detectName);
  return "category " + std::to_string(category);
}

bool ParseCategory(const std::string& text, enmHardwareID& out) {
  for (const auto& named : kCategoryNames) {
    if (text == named.name) {
      out = named.id;
      return true;
    }
  }
  if (text.find_first_not_of("0123456789") != std::string::npos) return false;
  out = static_cast<enmHardwareID>(platform::Atoi(text));
  return true;
}

// The console stand-in for the detect page; everything here runs on the UI thread.
class ConsoleDetectPage {
 public:
  explicit ConsoleDetectPage(DetectRunner& runner) : runner_(runner) {}

  void ShowCheckStart(int32_t category, const tagDetectItemDetail& detail) {
    if (category != currentCategory_) {
      currentCategory_ = category;
      std::cout << CategoryName(category) << '\n';
    }
    lastRepairName_[category] = detail.repairName;
    std::cout << "  ... " << Utf8(detail.name) << '\n' << std::flush;
  }

  void ShowLine(int32_t category, const tagHardwareDetectInfo& line) {
    std::cout << "  " << (line.passed ? "ok  " : "FAIL") << ' ' << Utf8(line.name);
    if (!line.text.empty()) std::cout << ": " << Utf8(line.text);
    std::cout << '\n' << std::flush;
    const std::u16string& repairName = lastRepairName_[category];
    if (!line.passed && !repairName.empty()) {
      plan_[static_cast<enmHardwareID>(category)].push_back(
          {nextItemId_++, line.name, repairName,
           platform::Utf8ToUtf16(std::to_string(static_cast<uint32_t>(line.code)))});
    }
    runner_.SignalRowConsumed();
  }

  static void ShowMessage(const std::u16string& message) { std::cout << "  " << Utf8(message) << '\n'; }

  static void ShowVerdict(int32_t category, const tagDetectResult& verdict) {
    std::cout << "  => " << CategoryName(category) << ": " << (verdict.passed ? "normal" : "abnormal");
    if (!verdict.passed && verdict.level == 1) std::cout << " (notice)";
    if (!verdict.text.empty()) std::cout << " - " << Utf8(verdict.text);
    std::cout << "\n\n" << std::flush;
  }

  void ShowFinished(int32_t abnormalLevel0, const std::vector<enmHardwareID>& failed) {
    const tagDiagnoseRecord& record = runner_.Record();
    std::cout << "Finished: " << record.normalCount << " normal, " << record.abnormalCount << " abnormal ("
              << abnormalLevel0 << " faults)";
    if (!failed.empty()) {
      std::cout << ":";
      for (auto category : failed) std::cout << ' ' << CategoryName(category);
    }
    std::cout << '\n';
  }

  const HardwareRepairHelper::RepairPlan& Plan() const { return plan_; }

 private:
  DetectRunner& runner_;
  int32_t currentCategory_ = -1;
  int32_t nextItemId_ = 1;
  std::map<int32_t, std::u16string> lastRepairName_;
  HardwareRepairHelper::RepairPlan plan_;
};

void Post(std::function<void()> fn) { UIMainQueue::getInstance().dispatch(std::move(fn)); }
void Quit() { UIMessageLoop::Instance().Quit(); }

bool RunDiagnosis(DetectRunner& runner, ConsoleDetectPage& page, const std::vector<enmHardwareID>& categories) {
  bool finished = false;
  runner.Start(
      categories,
      [&page](int32_t c, const tagDetectItemDetail& d) { Post([&page, c, d] { page.ShowCheckStart(c, d); }); },
      [&page, &runner](int32_t c, const tagHardwareDetectInfo& line) {
        runner.ClearRowConsumed();
        Post([&page, c, line] { page.ShowLine(c, line); });
        runner.WaitRowConsumed();
      },
      [](int32_t, const std::u16string& m) { Post([m] { ConsoleDetectPage::ShowMessage(m); }); },
      [](int32_t c, const tagDetectResult& v) { Post([c, v] { ConsoleDetectPage::ShowVerdict(c, v); }); },
      [&page, &finished](int32_t n, std::vector<enmHardwareID> failed) {
        Post([&page, &finished, n, failed] {
          page.ShowFinished(n, failed);
          finished = true;
          Quit();
        });
      },
      [] {
        Post([] {
          std::cout << "Cancelled.\n";
          Quit();
        });
      });
  UIMessageLoop::Instance().Run();
  return finished;
}

void RunRepairs(DetectRunner& runner, const HardwareRepairHelper::RepairPlan& plan) {
  std::cout << "\nRepairing:\n";
  using Result = HardwareRepairHelper::RepairResult;
  HardwareRepairHelper::Instance().StartRepairRun(
      runner, plan,
      [](enmHardwareID c) { Post([c] { std::cout << CategoryName(c) << '\n'; }); },
      [](int32_t, enmHardwareID, tagRepairItemInfo& e) {
        Post([e] { std::cout << "  ... " << Utf8(e.repairName) << " for " << Utf8(e.title) << '\n' << std::flush; });
      },
      [] {
        Post([] {
          std::cout << "Repair cancelled.\n";
          Quit();
        });
      },
      [](int32_t, enmHardwareID, tagRepairItemInfo& e, Result& r) {
        Post([e, r] {
          std::cout << "  " << (r.succeeded ? "ok  " : "FAIL") << ' ' << Utf8(e.title);
          if (!r.message.empty()) std::cout << ": " << Utf8(r.message);
          if (r.needRestart) std::cout << " (restart needed)";
          std::cout << '\n';
        });
      },
      [](int32_t, enmHardwareID c, bool ok) {
        Post([c, ok] { std::cout << "  => " << CategoryName(c) << (ok ? ": repaired\n" : ": not repaired\n"); });
      },
      [](bool allOk, bool restart, int32_t firstFailed) {
        Post([allOk, restart, firstFailed] {
          std::cout << (allOk ? "Every repair succeeded." : "Some repairs failed, first in " + CategoryName(firstFailed) + ".")
                    << (restart ? " Restart the computer to complete them." : "") << '\n';
          Quit();
        });
      });
  UIMessageLoop::Instance().Run();
}

int RunDiagnose(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  std::string error = ParseArgs(args, {"--repair"}, {}, true, parsed);
  std::vector<enmHardwareID> categories;
  for (const auto& text : parsed.positional) {
    enmHardwareID id;
    if (!ParseCategory(text, id)) {
      error = "unknown category '" + text + "'";
      break;
    }
    categories.push_back(id);
  }
  if (!error.empty()) {
    std::cerr << "sysdiagnose-host diagnose: " << error << '\n' << kUsage << '\n';
    return kExitUsage;
  }
  if (parsed.help) {
    std::cout << kUsage << '\n';
    return kExitOk;
  }
  if (!PrepareMachine(parsed.machineFile, parsed.dataDir)) return kExitUsage;
  if (parsed.positional.empty()) {
    for (const auto& item : GetHardwareCatalog().Items()) categories.push_back(static_cast<enmHardwareID>(item.id));
  }

  DetectRunner runner;
  ConsoleDetectPage page(runner);
  interruptTarget = &runner;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigaction(SIGINT, &action, nullptr);

  const bool finished = RunDiagnosis(runner, page, categories);
  if (finished && parsed.flags.count("--repair")) {
    if (page.Plan().empty()) {
      std::cout << "\nNothing to repair.\n";
    } else {
      RunRepairs(runner, page.Plan());
    }
  }
  // The worker clears its running flag last; wait for it so the run is stored before exit.
  UIMessageLoop::Instance().RunUntil([&] { return !runner.IsRunning(); }, std::chrono::seconds(30));
  interruptTarget = nullptr;
  return kExitOk;
}

}  // namespace

REGISTER_COMMAND("diagnose", "diagnose categories live, as the detect page does (--repair)", RunDiagnose);

}  // namespace app
