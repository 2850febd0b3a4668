#include "machine/linux/linux_machine.h"

#include <cstdlib>

#include "machine/linux/disk_smart.h"
#include "machine/linux/linux_checks.h"
#include "machine/linux/presence_checks.h"
#include "machine/warnings.h"
#include "platform/module_loader.h"

namespace host::machine::linuxhost {
namespace {

// The checks' library, loaded once for the process on first need. Without it no check can look:
// each says so, and no repair is tried.
const LinuxCheckTables& CheckTables() {
  static const LinuxCheckTables tables = [] {
    using Export = const LinuxCheckTables* (*)();
    HMODULE module = LoadLibraryExA(kLinuxChecksLibrary, nullptr, 0);
    const auto tablesOf = module ? reinterpret_cast<Export>(GetProcAddress(module, kLinuxCheckTablesSymbol)) : nullptr;
    if (tablesOf == nullptr) {
      WarnOnce(std::string("the checks' library ") + kLinuxChecksLibrary + " cannot be loaded: no check can look");
      return LinuxCheckTables{};
    }
    return *tablesOf();
  }();
  return tables;
}

template <class Row>
const Row* Named(std::span<const Row> rows, std::string_view name, std::string_view Row::*key) {
  for (const Row& row : rows) {
    if (row.*key == name) return &row;
  }
  return nullptr;
}

}  // namespace

LinuxMachine::Options LinuxMachine::Options::FromEnvironment(std::string root) {
  Options options;
  options.root = std::move(root);
  if (const char* mb = std::getenv("SYSDIAGNOSE_MEMTEST_MB")) {
    const long value = std::strtol(mb, nullptr, 10);
    if (value > 0 && value <= 65536) options.memoryTestBytes = static_cast<size_t>(value) << 20;
  }
  return options;
}

LinuxMachine::LinuxMachine(Options options)
    : options_(std::move(options)), root_(options_.root), places_(SourcePlaces::For(root_)) {}

std::string LinuxMachine::Description() const {
  return root_.root().empty() ? "this Linux machine" : "the Linux machine recorded under " + root_.root();
}

std::shared_ptr<const Inventory> LinuxMachine::CurrentInventory() {
  std::lock_guard guard(lock_);
  const auto now = std::chrono::steady_clock::now();
  if (!inventory_ || now - readAt_ > kFactsLifetime) {
    auto inventory = std::make_shared<Inventory>(ReadInventory(root_));
    inventory->facts->host.userLanguage = LanguageOfLocale([] {
      for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0') return std::string(value);
      }
      return std::string();
    }());
    for (const std::string& limit : inventory->limits) {
      limits_.insert(limit);
      WarnOnce(limit);
    }
    inventory_ = std::move(inventory);
    readAt_ = now;
  }
  return inventory_;
}

void LinuxMachine::Limit(const std::string& text) {
  {
    std::lock_guard guard(lock_);
    limits_.insert(text);
  }
  WarnOnce(text);
}

std::shared_ptr<const Profile> LinuxMachine::Facts() {
  auto inventory = CurrentInventory();
  // Aliasing: the facts keep their inventory alive.
  return std::shared_ptr<const Profile>(inventory, inventory->facts.get());
}

CheckResult LinuxMachine::Check(std::string_view path) {
  // Every scan asks whether the cards are there: that needs no more than the machine's files.
  if (const FileOnlyCheck check = FileOnlyCheckOf(path)) return check(Context(*CurrentInventory()));
  const LinuxCheck* check = Named(CheckTables().checks, path, &LinuxCheck::path);
  if (check == nullptr) return CheckTables().checks.empty() ? NotChecked(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_CHECKS") : CheckResult{};
  const auto inventory = CurrentInventory();
  return check->run(Context(*inventory));
}

// The inventory lists its block disks in the order of the facts' hardware.disks.
DiskCheck LinuxMachine::CheckDisk(std::optional<size_t> index, std::u16string_view firmware,
                                  std::span<const uint8_t> attributes) {
  const auto inventory = CurrentInventory();
  std::vector<std::u16string_view> firmwares;
  for (const BlockDisk& disk : inventory->disks) firmwares.push_back(disk.firmware);
  const auto readSmart = CheckTables().readSmart;
  if (const auto disk = DiskIndexFor(index, firmware, firmwares); disk && readSmart) {
    SmartReading reading = readSmart(root_, inventory->disks[*disk], attributes);
    if (!reading.limit.empty()) Limit(reading.limit);
    return reading.check;
  }
  DiskCheck none;
  none.code = kDiskUnavailable;
  return none;
}

RepairOutcome LinuxMachine::Repair(std::string_view name) {
  const LinuxRepair* repair = Named(CheckTables().repairs, name, &LinuxRepair::name);
  if (repair == nullptr) return CheckTables().repairs.empty() ? RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_UNAVAILABLE") : RepairOutcome{};
  const auto inventory = CurrentInventory();
  RepairOutcome outcome = repair->run(Context(*inventory));
  // A repair may bind drivers or switch radios: the next question reads the machine afresh.
  std::lock_guard guard(lock_);
  inventory_.reset();
  return outcome;
}

std::vector<CheckDescription> LinuxMachine::DescribeChecks() {
  const auto inventory = CurrentInventory();
  const CheckContext context = Context(*inventory);
  std::vector<CheckDescription> checks;
  for (const LinuxCheck& check : CheckTables().checks) {
    const Applicability here = check.here ? check.here(context) : Applicability{};
    static constexpr const char* kHere[] = {"runs", "not applicable", "cannot run"};
    checks.push_back({std::string(check.path), std::string(check.meaning), kHere[static_cast<int>(here.kind)], here.text});
  }
  return checks;
}

std::vector<CheckDescription> LinuxMachine::DescribeRepairs() {
  std::vector<CheckDescription> repairs;
  for (const LinuxRepair& repair : CheckTables().repairs) repairs.push_back({std::string(repair.name), std::string(repair.meaning), "runs", ""});
  return repairs;
}

CheckContext LinuxMachine::Context(const Inventory& inventory) {
  return CheckContext{root_, inventory, places_, options_.memoryTestBytes, options_.memoryHook, &memorySlot_};
}

std::vector<std::string> LinuxMachine::Limits() {
  CurrentInventory();
  std::lock_guard guard(lock_);
  return {limits_.begin(), limits_.end()};
}

}  // namespace host::machine::linuxhost
