// The process's machine. Readers take a snapshot of the facts (a shared pointer) and never see
// them change under them: a repair's fixes and a new selection publish new ones instead.
#include "machine/machine.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "machine/linux/linux_machine.h"
#include "machine/machine_backend.h"
#include "machine/profile_backend.h"

namespace host::machine {
namespace {

std::shared_ptr<const Profile> EmptyProfile() {
  static const std::shared_ptr<const Profile> empty = ParseProfile("{}", "<empty machine>").profile;
  return empty;
}

std::shared_ptr<MachineBackend> ProfileMachine(std::shared_ptr<const Profile> profile, std::string description) {
  if (!profile) return std::make_shared<ProfileBackend>(EmptyProfile(), "the empty machine");
  return std::make_shared<ProfileBackend>(std::move(profile), std::move(description));
}

template <class Value>
Value Lookup(const std::map<std::string, Value>& table, std::string_view key, Value fallback) {
  const auto it = table.find(std::string(key));
  return it == table.end() ? fallback : it->second;
}

// The disk whose firmware revision this thread read last, and what the read answered.
struct DiskInHand {
  bool read = false;
  size_t index = 0;  // may be past hardware.disks: a disk the library counts but nobody described
  std::u16string firmware;
};
thread_local DiskInHand diskInHand;

}  // namespace

// Never destroyed: the plug-in's detached workers may still be inside a library call at exit.
Machine& Machine::Instance() {
  static Machine* const machine = new Machine();
  return *machine;
}

Machine::Machine() : backend_(ProfileMachine(nullptr, {})) {
  const char* name = std::getenv("SYSDIAGNOSE_MACHINE");
  const std::string error = Select(name == nullptr ? "" : name);
  if (!error.empty()) std::cerr << "sysdiagnose: machine profile refused, running without one: " << error << '\n';
}

std::string Machine::Select(const std::string& name) {
  if (name.empty()) {
    UseRunningMachine();
    return {};
  }
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec)) {
    UseRunningMachine(name);
    return {};
  }
  const LoadResult result = LoadFile(name);
  return result ? std::string() : result.error;
}

void Machine::UseRunningMachine(const std::string& root) {
  auto options = linuxhost::LinuxMachine::Options::FromEnvironment(root);
  RunningMachine running{options.root, options.memoryTestBytes};
  auto backend = std::make_shared<linuxhost::LinuxMachine>(std::move(options));
  std::lock_guard guard(lock_);
  backend_ = std::move(backend);
  running_ = std::move(running);
  generation_.fetch_add(1, std::memory_order_release);
}

void Machine::Use(std::shared_ptr<MachineBackend> backend) {
  if (!backend) backend = ProfileMachine(nullptr, {});
  std::lock_guard guard(lock_);
  backend_ = std::move(backend);
  running_.reset();
  generation_.fetch_add(1, std::memory_order_release);
}

std::shared_ptr<MachineBackend> Machine::Backend() const {
  std::lock_guard guard(lock_);
  return backend_;
}

std::optional<RunningMachine> Machine::Running() const {
  std::lock_guard guard(lock_);
  return running_;
}

LoadResult Machine::LoadFile(const std::string& path) {
  LoadResult result = ReadProfileFile(path);
  if (result) Use(ProfileMachine(result.profile, "profile " + path));
  return result;
}

LoadResult Machine::LoadJson(std::string_view json, std::string_view sourceName) {
  LoadResult result = ParseProfile(json, sourceName);
  if (result) Use(ProfileMachine(result.profile, "profile " + std::string(sourceName)));
  return result;
}

void Machine::Load(std::shared_ptr<const Profile> profile) { Use(ProfileMachine(std::move(profile), "a profile")); }

void Machine::Clear() { Load(nullptr); }

std::shared_ptr<const Profile> Machine::Current() const { return Backend()->Facts(); }

CheckResult Machine::RunCheck(std::string_view call, std::string_view path, std::string_view args) {
  const auto begin = std::chrono::steady_clock::now();
  const CheckResult result = Backend()->Check(path);
  Record(call, args, begin, path, result);
  if (!result.throws.empty()) throw std::runtime_error(result.throws);
  return result;
}

bool Machine::Flag(std::string_view call, std::string_view path, bool fallback) {
  const auto begin = std::chrono::steady_clock::now();
  const bool value = Lookup(Current()->flags, path, fallback);
  Record(call, {}, begin);
  return value;
}

std::u16string Machine::ReadDiskFirmware(std::string_view call, int index) {
  Note(call, std::to_string(index));
  if (index < 0) return {};
  const auto profile = Current();
  const auto& disks = profile->hardware.disks;
  const auto at = static_cast<size_t>(index);
  diskInHand = {true, at, at < disks.size() ? disks[at].firmware : std::u16string()};
  return diskInHand.firmware;
}

DiskCheck Machine::RunDiskCheck(std::string_view call, std::u16string_view firmware,
                                std::span<const uint8_t> attributes, std::string_view args) {
  const auto begin = std::chrono::steady_clock::now();
  std::optional<size_t> index;
  if (diskInHand.read && diskInHand.firmware == firmware) index = diskInHand.index;
  auto backend = Backend();
  const DiskCheck result = backend->CheckDisk(index, firmware, attributes);
  DiskAnswer answer{index, {attributes.begin(), attributes.end()}, result};
  if (!answer.index) {  // the journal names the disk the backend answered for
    const auto facts = backend->Facts();
    std::vector<std::u16string_view> firmwares;
    for (const Disk& disk : facts->hardware.disks) firmwares.push_back(disk.firmware);
    answer.index = DiskIndexFor(std::nullopt, firmware, firmwares);
  }
  const std::string path = answer.index ? "disks[" + std::to_string(*answer.index) + "]" : "disks";
  Record(call, args, begin, path, std::move(answer));
  return result;
}

RepairOutcome Machine::RunRepair(std::string_view call, std::string_view repairName, std::string_view args) {
  const auto begin = std::chrono::steady_clock::now();
  const RepairOutcome outcome = Backend()->Repair(repairName);
  Record(call, args, begin, repairName, outcome);
  return outcome;
}

void Machine::Note(std::string_view call, std::string_view args) {
  Record(call, args, std::chrono::steady_clock::now());
}

std::vector<JournalEntry> Machine::Journal() const {
  std::lock_guard guard(lock_);
  return {journal_.begin(), journal_.end()};
}

void Machine::ClearJournal() {
  std::lock_guard guard(lock_);
  journal_.clear();
}

// The journal keeps the newest calls only, so a long-running host does not grow without bound.
void Machine::Record(std::string_view call, std::string_view args, std::chrono::steady_clock::time_point begin,
                     std::string_view path, JournalAnswer answer) {
  JournalEntry entry{std::string(call), std::string(args), std::this_thread::get_id(), begin,
                     std::chrono::steady_clock::now(), std::string(path), std::move(answer)};
  std::lock_guard guard(lock_);
  journal_.push_back(std::move(entry));
  if (journal_.size() > kJournalLimit) journal_.pop_front();
}

}  // namespace host::machine
