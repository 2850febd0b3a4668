// sysdiagnose-host diagnose: the interactive diagnosis without pages. The console plays the detect
// page: every announced check and its line are printed live on the UI thread, which releases the
// worker after each line; Ctrl-C cancels between categories the way the cancel button does.
#include <csignal>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "DuiLib/UICulture.h"
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
    "usage: sysdiagnose-host diagnose [--machine FILE] [--data-dir DIR] [--verbose] [--repair] [--json] [CATEGORY ...]\n"
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

std::string CategoryName(int32_t category) {
  tagXmlUIInfo info;
  if (GetHardwareCatalog().GetUIInfo(category, info)) return Utf8(info.detectName);
  return "category " + std::to_string(category);
}

std::optional<enmHardwareID> ParseCategory(const std::string& text) {
  for (const auto& named : kCategoryNames) {
    if (text == named.name) return named.id;
  }
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return static_cast<enmHardwareID>(platform::Atoi(text));
}

std::string CheckCategories(const ParsedArgs& parsed) {
  for (const auto& text : parsed.positional) {
    if (!ParseCategory(text)) return "unknown category '" + text + "'";
  }
  return {};
}

nlohmann::ordered_json Nullable(int32_t category) {
  return category < 0 ? nlohmann::ordered_json() : nlohmann::ordered_json(category);
}

// The console stand-in for the detect page; everything here runs on the UI thread. As text,
// every check, line and verdict is printed as it comes; as JSON, the run is gathered into one
// document that RunDiagnose prints at the end.
class ConsoleDetectPage {
 public:
  ConsoleDetectPage(DetectRunner& runner, bool json) : runner_(runner), json_(json) {}

  void ShowCheckStart(int32_t category, const tagDetectItemDetail& detail) {
    EnterCategory(category);
    announced_ = detail;
    if (!json_) std::cout << "  ... " << Utf8(detail.name) << '\n' << std::flush;
  }

  void ShowLine(int32_t category, const tagHardwareDetectInfo& line) {
    EnterCategory(category);
    const std::u16string& name = line.name.empty() ? announced_.name : line.name;
    if (json_) {
      Current()["checks"].push_back({{"name", Utf8(name)},
                                     {"passed", line.passed},
                                     {"text", Utf8(line.text)},
                                     {"code", line.code},
                                     {"level", line.level},
                                     {"repair", Utf8(announced_.repairName)}});
    } else {
      std::cout << "  " << (line.passed ? "ok  " : "FAIL") << ' ' << Utf8(name);
      if (!line.text.empty()) std::cout << ": " << Utf8(line.text);
      std::cout << '\n' << std::flush;
    }
    if (!line.passed && !announced_.repairName.empty()) {
      plan_[static_cast<enmHardwareID>(category)].push_back(
          {nextItemId_++, name, announced_.repairName,
           platform::Utf8ToUtf16(std::to_string(static_cast<uint32_t>(line.code)))});
    }
    runner_.SignalRowConsumed();
  }

  void ShowMessage(int32_t category, const std::u16string& message) {
    EnterCategory(category);
    if (json_) {
      Current()["messages"].push_back(Utf8(message));
    } else {
      std::cout << "  " << Utf8(message) << '\n';
    }
  }

  void ShowVerdict(int32_t category, const tagDetectResult& verdict) {
    EnterCategory(category);
    if (json_) {
      Current()["verdict"] = {{"passed", verdict.passed}, {"level", verdict.level}, {"text", Utf8(verdict.text)}};
      return;
    }
    std::cout << "  => " << CategoryName(category) << ": " << (verdict.passed ? "normal" : "abnormal");
    if (!verdict.passed && verdict.level == 1) std::cout << " (notice)";
    if (!verdict.text.empty()) std::cout << " - " << Utf8(verdict.text);
    std::cout << "\n\n" << std::flush;
  }

  void ShowFinished(int32_t abnormalLevel0, const std::vector<enmHardwareID>& failed) {
    const tagDiagnoseRecord& record = runner_.Record();
    if (json_) {
      document_["ending"] = "finished";
      document_["normal"] = record.normalCount;
      document_["abnormal"] = record.abnormalCount;
      document_["faults"] = abnormalLevel0;
      document_["failed"] = failed;
      return;
    }
    std::cout << "Finished: " << record.normalCount << " normal, " << record.abnormalCount << " abnormal ("
              << abnormalLevel0 << " faults)";
    if (!failed.empty()) {
      std::cout << ":";
      for (auto category : failed) std::cout << ' ' << CategoryName(category);
    }
    std::cout << '\n';
  }

  void ShowCancelled() {
    if (json_) {
      document_["ending"] = "cancelled";
    } else {
      std::cout << "Cancelled.\n";
    }
  }

  // ---- the repair run

  void ShowNothingToRepair() {
    if (json_) {
      document_["repair"] = nullptr;
    } else {
      std::cout << "\nNothing to repair.\n";
    }
  }

  void ShowRepairStart() {
    if (json_) {
      document_["repair"] = {{"ending", "running"}, {"categories", nlohmann::ordered_json::array()}};
    } else {
      std::cout << "\nRepairing:\n";
    }
  }

  void ShowRepairCategoryStart(enmHardwareID category) {
    if (json_) {
      Repairs().push_back({{"id", category},
                           {"name", CategoryName(category)},
                           {"entries", nlohmann::ordered_json::array()},
                           {"repaired", false}});
    } else {
      std::cout << CategoryName(category) << '\n';
    }
  }

  void ShowRepairEntryStart(const tagRepairItemInfo& entry) {
    if (!json_) std::cout << "  ... " << Utf8(entry.repairName) << " for " << Utf8(entry.title) << '\n' << std::flush;
  }

  void ShowRepairEntryDone(const tagRepairItemInfo& entry, const HardwareRepairHelper::RepairResult& result) {
    // The library names its message by a string-table key.
    const std::string message = result.message.empty() ? "" : Utf8(UICulture::GetInstance().GetString(result.message));
    if (json_) {
      Repairs().back()["entries"].push_back({{"repair", Utf8(entry.repairName)},
                                             {"title", Utf8(entry.title)},
                                             {"succeeded", result.succeeded},
                                             {"code", result.code},
                                             {"message", message},
                                             {"needRestart", result.needRestart},
                                             {"needShutdown", result.needShutdown}});
      return;
    }
    std::cout << "  " << (result.succeeded ? "ok  " : "FAIL") << ' ' << Utf8(entry.title);
    if (!message.empty()) std::cout << ": " << message;
    if (result.needRestart) std::cout << " (restart needed)";
    std::cout << '\n';
  }

  void ShowRepairCategoryDone(enmHardwareID category, bool repaired) {
    if (json_) {
      Repairs().back()["repaired"] = repaired;
    } else {
      std::cout << "  => " << CategoryName(category) << (repaired ? ": repaired\n" : ": not repaired\n");
    }
  }

  void ShowRepairFinished(bool allOk, bool restart, int32_t firstFailed) {
    if (json_) {
      nlohmann::ordered_json& repair = document_["repair"];
      repair["ending"] = "finished";
      repair["allSucceeded"] = allOk;
      repair["needRestart"] = restart;
      repair["firstFailed"] = Nullable(firstFailed);
      return;
    }
    std::cout << (allOk ? "Every repair succeeded." : "Some repairs failed, first in " + CategoryName(firstFailed) + ".")
              << (restart ? " Restart the computer to complete them." : "") << '\n';
  }

  void ShowRepairCancelled() {
    if (json_) {
      document_["repair"]["ending"] = "cancelled";
    } else {
      std::cout << "Repair cancelled.\n";
    }
  }

  void PrintDocument() const {
    if (json_) PrintJson(document_);
  }

  const HardwareRepairHelper::RepairPlan& Plan() const { return plan_; }

 private:
  void EnterCategory(int32_t category) {
    if (category == currentCategory_) return;
    currentCategory_ = category;
    if (json_) {
      document_["categories"].push_back({{"id", category},
                                         {"name", CategoryName(category)},
                                         {"checks", nlohmann::ordered_json::array()},
                                         {"messages", nlohmann::ordered_json::array()},
                                         {"verdict", nullptr}});
    } else {
      std::cout << CategoryName(category) << '\n';
    }
  }

  nlohmann::ordered_json& Current() { return document_["categories"].back(); }
  nlohmann::ordered_json& Repairs() { return document_["repair"]["categories"]; }

  DetectRunner& runner_;
  const bool json_;
  int32_t currentCategory_ = -1;
  tagDetectItemDetail announced_;
  int32_t nextItemId_ = 1;
  HardwareRepairHelper::RepairPlan plan_;
  nlohmann::ordered_json document_ = {{"categories", nlohmann::ordered_json::array()}, {"ending", "running"}};
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
      [&page](int32_t c, const std::u16string& m) { Post([&page, c, m] { page.ShowMessage(c, m); }); },
      [&page](int32_t c, const tagDetectResult& v) { Post([&page, c, v] { page.ShowVerdict(c, v); }); },
      [&page, &finished](int32_t n, std::vector<enmHardwareID> failed) {
        Post([&page, &finished, n, failed] {
          page.ShowFinished(n, failed);
          finished = true;
          Quit();
        });
      },
      [&page] {
        Post([&page] {
          page.ShowCancelled();
          Quit();
        });
      });
  UIMessageLoop::Instance().Run();
  return finished;
}

void RunRepairs(DetectRunner& runner, ConsoleDetectPage& page) {
  using Result = HardwareRepairHelper::RepairResult;
  page.ShowRepairStart();
  HardwareRepairHelper::Instance().StartRepairRun(
      runner, page.Plan(), [&page](enmHardwareID c) { Post([&page, c] { page.ShowRepairCategoryStart(c); }); },
      [&page](int32_t, enmHardwareID, tagRepairItemInfo& e) { Post([&page, e] { page.ShowRepairEntryStart(e); }); },
      [&page] {
        Post([&page] {
          page.ShowRepairCancelled();
          Quit();
        });
      },
      [&page](int32_t, enmHardwareID, tagRepairItemInfo& e, Result& r) {
        Post([&page, e, r] { page.ShowRepairEntryDone(e, r); });
      },
      [&page](int32_t, enmHardwareID c, bool ok) { Post([&page, c, ok] { page.ShowRepairCategoryDone(c, ok); }); },
      [&page](bool allOk, bool restart, int32_t firstFailed) {
        Post([&page, allOk, restart, firstFailed] {
          page.ShowRepairFinished(allOk, restart, firstFailed);
          Quit();
        });
      });
  UIMessageLoop::Instance().Run();
}

int RunDiagnose(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  const CommandSpec spec{.name = "diagnose",
                         .usage = kUsage,
                         .flags = {"--repair", "--json"},
                         .positional = true,
                         .checkArgs = CheckCategories};
  if (auto exit = BeginCommand(spec, args, parsed)) return *exit;
  std::vector<enmHardwareID> categories;
  for (const auto& text : parsed.positional) categories.push_back(*ParseCategory(text));
  if (parsed.positional.empty()) {
    for (const auto& item : GetHardwareCatalog().Items()) categories.push_back(static_cast<enmHardwareID>(item.id));
  }

  DetectRunner runner;
  ConsoleDetectPage page(runner, parsed.Has("--json"));
  interruptTarget = &runner;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigaction(SIGINT, &action, nullptr);

  const bool finished = RunDiagnosis(runner, page, categories);
  if (finished && parsed.Has("--repair")) {
    if (page.Plan().empty()) {
      page.ShowNothingToRepair();
    } else {
      RunRepairs(runner, page);
    }
  }
  // The worker clears its running flag last; wait for it so the run is stored before exit.
  UIMessageLoop::Instance().RunUntil([&] { return !runner.IsRunning(); }, std::chrono::seconds(30));
  interruptTarget = nullptr;
  page.PrintDocument();
  return kExitOk;
}

}  // namespace

REGISTER_COMMAND("diagnose", "diagnose categories live, as the detect page does (--repair, --json)", RunDiagnose);

}  // namespace app
