// sysdiagnose-host machine [FILE|DIR]: checks a machine profile and describes the notebook it
// stands for: host facts, every device, and what every check and repair will answer. Without a
// file it describes the running machine (a directory: a recorded one): what it answers, what it
// could not read, and what each check looks at.
#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "app/commands/command.h"
#include "machine/machine.h"
#include "machine/machine_backend.h"
#include "machine/profile_fields.h"
#include "platform/encoding.h"

namespace {

using namespace host::machine;

std::string U8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

std::string YesNo(bool value) { return value ? "yes" : "no"; }

// Joins the non-empty parts with ", ".
std::string Join(std::initializer_list<std::string> parts) {
  std::string joined;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!joined.empty()) joined += ", ";
    joined += part;
  }
  return joined;
}

std::string Number(uint64_t value, std::string_view unit) {
  return value == 0 ? std::string() : std::to_string(value) + " " + std::string(unit);
}

// A code as stored, with its signed reading when it is a negative number in disguise.
std::string Code(uint32_t code) {
  std::string text = std::to_string(code);
  if (code > 0x7FFFFFFFu) text += " (" + std::to_string(static_cast<int32_t>(code)) + ")";
  return text;
}

class Report {
 public:
  explicit Report(std::ostream& out) : out_(out) {}

  void Section(std::string_view title) { out_ << '\n' << title << '\n'; }
  void Row(std::string_view label, const std::string& value, int depth = 1) {
    const int width = 26 - 2 * depth;
    out_ << std::string(2 * depth, ' ') << std::left << std::setw(width) << label << ' '
         << (value.empty() ? "absent" : value) << '\n';
  }

 private:
  std::ostream& out_;
};

void DescribeHost(Report& report, const Profile& profile) {
  const HostFacts& host = profile.host;
  report.Section("Host");
  report.Row("User language", host.userLanguage);
  report.Row("Screen DPI", std::to_string(host.dpi));
  report.Row("Text direction", host.rightToLeft ? "right to left" : "left to right");
  std::string features;
  for (const auto& [name, on] : host.features) features += name + (on ? " on, " : " off, ");
  report.Row("Feature switches", features + "any other on");
  const bool present = host.fingerprintPresent.value_or(profile.hardware.hasBiometric);
  report.Row("Fingerprint feature", "status " + std::to_string(host.fingerprintStatus) + ", present " + YesNo(present));
}

void DescribeVideoCard(Report& report, std::string_view label, const VideoCard& card) {
  report.Row(label, Join({U8(card.name), U8(card.driverVersion).empty() ? "" : "driver " + U8(card.driverVersion),
                          U8(card.driverDate), Number(card.memoryMB, "MB")}));
}

void DescribeAdapter(Report& report, std::string_view label, const NetworkAdapter& adapter) {
  const std::string ids = adapter.hardIds.empty() ? "" : std::to_string(adapter.hardIds.size()) + " hardware id(s)";
  const std::string driver = adapter.driver.empty() ? "" : "driver " + U8(adapter.driver);
  report.Row(label, Join({U8(adapter.caption), U8(adapter.manufacturer), driver, ids}), 2);
}

void DescribeHardware(Report& report, const Hardware& hw) {
  report.Section("Hardware");
  report.Row("Processor", Join({U8(hw.cpu.name), U8(hw.cpu.manufacturer), Number(hw.cpu.cores, "cores"),
                                Number(hw.cpu.threads, "threads"), Number(hw.cpu.extClockMHz, "MHz external clock"),
                                Number(hw.cpu.baseMHz, "MHz base"), Number(hw.cpu.currentMHz, "MHz now"),
                                Number(hw.cpu.l1KB, "KB L1"), Number(hw.cpu.l2KB, "KB L2"), Number(hw.cpu.l3KB, "KB L3")}));
  report.Row("Mainboard", Join({U8(hw.baseboard.product), U8(hw.baseboard.manufacturer), U8(hw.baseboard.version),
                                U8(hw.baseboard.serialNumber).empty() ? "" : "S/N " + U8(hw.baseboard.serialNumber)}));

  report.Row("Memory", Join({Number(hw.memory.totalMB, "MB total"), std::to_string(hw.memory.modules.size()) + " module(s)"}));
  for (const MemoryModule& m : hw.memory.modules) {
    report.Row(U8(m.locator).empty() ? "module" : U8(m.locator),
               Join({Number(m.capacityMB, "MB"), Number(m.speedMHz, "MHz"), U8(m.manufacturer), U8(m.partNumber)}), 2);
  }

  const int32_t diskCount = hw.diskCount.value_or(static_cast<int32_t>(hw.disks.size()));
  report.Row("Disks", std::to_string(hw.disks.size()) + " described, the library counts " + std::to_string(diskCount));
  for (size_t i = 0; i < hw.disks.size(); ++i) {
    const Disk& d = hw.disks[i];
    report.Row("disk " + std::to_string(i), Join({U8(d.caption), Number(d.capacityGB, "GB"), d.ssd ? "solid-state" : "hard disk",
                                                  U8(d.firmware).empty() ? "" : "firmware " + U8(d.firmware)}),
               2);
  }

  DescribeVideoCard(report, "Graphics (independent)", hw.video.independent);
  DescribeVideoCard(report, "Graphics (internal)", hw.video.internal);
  const Monitor& monitor = hw.video.monitor;
  report.Row("Display", Join({U8(monitor.caption), U8(monitor.resolution), Number(monitor.refreshRate, "Hz")}));

  report.Row("Audio", U8(hw.audio.name));
  for (size_t i = 0; i < hw.audio.devices.size(); ++i) {
    report.Row("device " + std::to_string(i), Join({U8(hw.audio.devices[i].name), U8(hw.audio.devices[i].manufacturer)}), 2);
  }

  report.Row("Network", std::to_string(hw.network.internalHardIds.size()) + " internal hardware id(s)" +
                            (hw.network.notSupportWireless ? ", wireless checks skipped" : ""));
  DescribeAdapter(report, "wireless", hw.network.wireless);
  DescribeAdapter(report, "wired", hw.network.wired);
  DescribeAdapter(report, "mobile", hw.network.mobile);

  report.Row("Battery", Join({U8(hw.battery.name), Number(hw.battery.designCapacityMWh, "mWh design capacity")}));
  report.Row("Keyboard", U8(hw.keyboard.name));
  report.Row("Bluetooth", hw.hasBluetooth ? Join({U8(hw.bluetooth.name), "present"}) : "absent");
  report.Row("Fingerprint sensor",
             hw.hasBiometric ? Join({U8(hw.biometric.name), U8(hw.biometric.manufacturer), "present"}) : "absent");
}

std::string Outcome(const CheckResult& check) {
  return Join({check.passed ? "passes" : "FAILS", "code " + Code(check.code),
               check.level != 0 || !check.passed ? "level " + Code(check.level) : "", U8(check.messageKey),
               Number(check.delayMs, "ms"), check.throws.empty() ? "" : "then throws \"" + check.throws + "\""});
}

std::string DiskOutcome(const DiskCheck& disk) {
  std::string bytes;
  for (size_t i = 0; i < disk.smart.size(); ++i) {
    if (disk.smart[i] != 0) bytes += (bytes.empty() ? "" : " ") + std::to_string(i) + "=" + std::to_string(disk.smart[i]);
  }
  return Join({disk.code == 1 ? "healthy" : "NOT HEALTHY", "code " + Code(disk.code),
               bytes.empty() ? "every SMART attribute normal" : "SMART bytes " + bytes, Number(disk.delayMs, "ms")});
}

void DescribeChecks(Report& report, const Profile& profile) {
  report.Section("Checks");
  for (std::string_view flag : FlagPaths()) report.Row(flag, YesNo(profile.flags.at(std::string(flag))));
  for (std::string_view path : CheckPaths()) {
    const auto it = profile.checks.find(std::string(path));
    report.Row(path, Outcome(it == profile.checks.end() ? CheckResult{} : it->second));
  }
  report.Row("video.deviceReturn", std::to_string(profile.videoDeviceReturn) +
                                       (profile.videoDeviceReturn == 0 ? " (graphics is read)" : " (graphics is skipped)"));
  const auto& disks = profile.hardware.disks;
  for (size_t i = 0; i < std::max(disks.size(), profile.disks.size()); ++i) {
    const std::string label = "disks[" + std::to_string(i) + "]";
    if (i >= disks.size()) {
      report.Row(label, "never asked: hardware.disks has no such disk");
      continue;
    }
    report.Row(label, DiskOutcome(i < profile.disks.size() ? profile.disks[i] : DiskCheck{}));
  }
  report.Row("any other disk", "code 2, no SMART bytes");
}

std::string RepairText(const RepairOutcome& repair) {
  std::string fixes;
  for (const std::string& fix : repair.fixes) fixes += (fixes.empty() ? "then passes: " : " ") + fix;
  return Join({repair.succeeded ? "succeeds" : "FAILS", "code " + Code(repair.code), repair.needRestart ? "needs a restart" : "",
               repair.needShutdown ? "needs a shutdown" : "", U8(repair.message), Number(repair.delayMs, "ms"),
               repair.succeeded ? fixes : ""});
}

void DescribeRepairs(Report& report, const Profile& profile) {
  report.Section("Repairs");
  for (std::string_view name : RepairNames()) {
    const auto it = profile.repairs.find(std::string(name));
    report.Row(name, RepairText(it == profile.repairs.end() ? RepairOutcome{} : it->second));
  }
}

void DescribeLogService(Report& report, const LogService& service) {
  report.Section("Log service");
  report.Row("Offers upload", std::to_string(service.offerUpload));
  for (const LogServiceItem& item : service.items) report.Row("module " + std::to_string(item.module), item.name, 2);
}

void DescribeLimits(Report& report, const std::vector<std::string>& limits) {
  report.Section("Not readable here");
  if (limits.empty()) report.Row("nothing", "every source could be read");
  for (const std::string& limit : limits) report.Row("-", limit);
}

// Each check with what it looks at and, where it cannot look or does not apply here, why: a check
// that cannot look says so in its line instead of passing.
void DescribeRunningChecks(Report& report, MachineBackend& backend) {
  report.Section("Checks");
  for (const CheckDescription& check : backend.DescribeChecks()) {
    report.Row(check.name, check.meaning);
    if (check.here != "runs") {
      report.Row("", check.here + " here: " + check.why);
    } else if (!check.why.empty()) {
      report.Row("", "here: " + check.why);
    }
  }
  report.Row("disks", "SMART of each disk (ATA through libatasmart, NVMe health log); unreadable: code 2");
  report.Section("Repairs");
  for (const CheckDescription& repair : backend.DescribeRepairs()) report.Row(repair.name, repair.meaning);
}

using nlohmann::ordered_json;

ordered_json DescriptionsJson(const std::vector<CheckDescription>& descriptions) {
  ordered_json list = ordered_json::array();
  for (const CheckDescription& d : descriptions) {
    list.push_back({{"name", d.name}, {"meaning", d.meaning}, {"here", d.here}, {"why", d.why}});
  }
  return list;
}

// Asking each disk once also brings what keeps its health unreadable into the limits.
void DescribeDiskHealth(Report& report, MachineBackend& backend, const Hardware& hw) {
  report.Section("Disk health");
  if (hw.disks.empty()) report.Row("no disks", "");
  for (size_t i = 0; i < hw.disks.size(); ++i) {
    const DiskCheck check = backend.CheckDisk(i, hw.disks[i].firmware, {});
    const std::string verdict = check.code == 1 ? "healthy" : check.code == 2 ? "not available (code 2)" : "NOT HEALTHY, code " + Code(check.code);
    report.Row("disk " + std::to_string(i), verdict);
  }
}

// What the running machine answers: its facts as profile JSON (checks are made live, so none are
// listed), each disk's health and what could not be read.
ordered_json RunningMachineJson(MachineBackend& backend, const Profile& facts) {
  ordered_json disks = ordered_json::array();
  for (size_t i = 0; i < facts.hardware.disks.size(); ++i) {
    const DiskCheck check = backend.CheckDisk(i, facts.hardware.disks[i].firmware, {});
    disks.push_back({{"code", check.code}, {"smart", check.smart}});
  }
  return {{"machine", backend.Description()},
          {"host", HostJson(facts.host)},
          {"hardware", HardwareJson(facts.hardware)},
          {"diskHealth", disks},
          {"limits", backend.Limits()},
          {"checks", DescriptionsJson(backend.DescribeChecks())},
          {"repairs", DescriptionsJson(backend.DescribeRepairs())}};
}

int DescribeRunningMachine(const std::string& root, bool json) {
  Machine::Instance().UseRunningMachine(root.empty() ? "/" : root);
  const auto backend = Machine::Instance().Backend();
  const auto facts = backend->Facts();
  if (json) {
    app::PrintJson(RunningMachineJson(*backend, *facts));
    return app::kExitOk;
  }
  std::ostringstream text;
  text << backend->Description() << '\n';
  Report report(text);
  DescribeHost(report, *facts);
  DescribeHardware(report, facts->hardware);
  DescribeDiskHealth(report, *backend, facts->hardware);
  DescribeLimits(report, backend->Limits());
  DescribeRunningChecks(report, *backend);
  std::cout << text.str();
  return app::kExitOk;
}

constexpr const char* kUsage =
    "usage: sysdiagnose-host machine [--verbose] [--json] [FILE|DIR]\n"
    "  without FILE describes this machine (a DIR: a recorded one): what it answers, what it could\n"
    "  not read and what each check looks at; with FILE checks the machine profile FILE and describes\n"
    "  the notebook it stands for; --json prints the facts (a profile: with every default filled in)";

std::string CheckFileArgument(const app::ParsedArgs& parsed) {
  if (parsed.positional.size() > 1) return "one machine profile FILE, not several";
  if (parsed.positional.size() == 1 && parsed.positional[0].empty()) return "the machine profile FILE is empty";
  return {};
}

int DescribeMachine(const std::vector<std::string>& args) {
  app::ParsedArgs parsed;
  const app::CommandShape shape{.name = "machine",
                              .usage = kUsage,
                              .flags = {"--json"},
                              .positional = true,
                              .usesData = false,
                              .checkArgs = CheckFileArgument};
  if (auto exit = app::BeginCommand(shape, args, parsed)) return *exit;
  const bool json = parsed.Has("--json");
  if (parsed.positional.empty()) return DescribeRunningMachine({}, json);
  const std::string& file = parsed.positional[0];
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) return DescribeRunningMachine(file, json);
  const LoadResult result = ReadProfileFile(file);
  if (!result) {
    app::PrintError("machine", result.error);
    return app::kExitUsage;
  }
  const Profile& profile = *result.profile;
  if (parsed.Has("--json")) {
    app::PrintJson({{"file", file}, {"profile", ProfileJson(profile)}});
    return app::kExitOk;
  }
  std::ostringstream text;
  text << file << ": a valid machine profile\n";
  Report report(text);
  DescribeHost(report, profile);
  DescribeHardware(report, profile.hardware);
  DescribeChecks(report, profile);
  DescribeRepairs(report, profile);
  DescribeLogService(report, profile.logService);
  std::cout << text.str();
  return app::kExitOk;
}

}  // namespace

REGISTER_COMMAND("machine", "describe this machine, or check a machine profile and describe its notebook (--json)",
                 DescribeMachine);
