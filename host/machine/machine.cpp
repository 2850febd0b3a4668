// The process's simulated machine. Readers take a snapshot of the profile (a shared pointer) and
// never see it change under them: a repair's fixes and a new load publish a new profile instead.
#include "machine/machine.h"

#include <cstdlib>
#include <iostream>
#include <stdexcept>

#include "platform/encoding.h"

namespace host::machine {
namespace {

std::shared_ptr<const Profile> EmptyProfile() {
  static const std::shared_ptr<const Profile> empty = ParseProfile("{}", "<empty machine>").profile;
  return empty;
}

// A real wait, not platform::SleepFor: tests shorten the product's own pauses through that hook,
// and a profile's delay must stay as long as it says.
void Wait(uint32_t delayMs) {
  if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
}

template <class Value>
Value Lookup(const std::map<std::string, Value>& table, std::string_view key, Value fallback) {
  const auto it = table.find(std::string(key));
  return it == table.end() ? fallback : it->second;
}

// "disks[3]" -> 3; the path was checked when the profile was read.
size_t DiskIndexOf(std::string_view path) {
  const size_t open = path.find('[');
  return static_cast<size_t>(std::strtoul(std::string(path.substr(open + 1)).c_str(), nullptr, 10));
}

void Fix(Profile& profile, const std::string& path) {
  if (path == "video.deviceReturn") {
    profile.videoDeviceReturn = 0;
  } else if (path.starts_with("disks[")) {
    const size_t index = DiskIndexOf(path);
    if (index < profile.disks.size()) {
      DiskCheck healthy;
      healthy.delayMs = profile.disks[index].delayMs;
      profile.disks[index] = healthy;
    }
  } else {
    const uint32_t delayMs = Lookup(profile.checks, path, CheckResult{}).delayMs;
    CheckResult passing;
    passing.delayMs = delayMs;
    profile.checks[path] = passing;
  }
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

Machine::Machine() : profile_(EmptyProfile()) {
  const char* file = std::getenv("SYSDIAGNOSE_MACHINE");
  if (file == nullptr || *file == '\0') return;
  LoadResult result = ReadProfileFile(file);
  if (result) {
    profile_ = std::move(result.profile);
  } else {
    std::cerr << "sysdiagnose: machine profile refused, running without one: " << result.error << '\n';
  }
}

LoadResult Machine::LoadFile(const std::string& path) {
  LoadResult result = ReadProfileFile(path);
  if (result) Load(result.profile);
  return result;
}

LoadResult Machine::LoadJson(std::string_view json, std::string_view sourceName) {
  LoadResult result = ParseProfile(json, sourceName);
  if (result) Load(result.profile);
  return result;
}

void Machine::Load(std::shared_ptr<const Profile> profile) {
  if (!profile) profile = EmptyProfile();
  std::lock_guard guard(lock_);
  profile_ = std::move(profile);
}

void Machine::Clear() { Load(nullptr); }

std::shared_ptr<const Profile> Machine::Current() const {
  std::lock_guard guard(lock_);
  return profile_;
}

CheckResult Machine::RunCheck(std::string_view call, std::string_view path, std::string_view args) {
  const auto begin = std::chrono::steady_clock::now();
  const CheckResult result = Lookup(Current()->checks, path, CheckResult{});
  Wait(result.delayMs);
  Record(call, args, begin);
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

DiskCheck Machine::RunDiskCheck(std::string_view call, std::u16string_view firmware, std::string_view args) {
  const auto begin = std::chrono::steady_clock::now();
  const auto profile = Current();
  const auto& disks = profile->hardware.disks;
  std::optional<size_t> disk;
  if (diskInHand.read && diskInHand.firmware == firmware) disk = diskInHand.index;
  for (size_t i = 0; !disk && i < disks.size(); ++i) {
    if (disks[i].firmware == firmware) disk = i;
  }
  DiskCheck result;
  result.code = 2;  // no such disk
  if (disk && *disk < disks.size()) result = *disk < profile->disks.size() ? profile->disks[*disk] : DiskCheck{};
  Wait(result.delayMs);
  Record(call, args, begin);
  return result;
}

RepairOutcome Machine::RunRepair(std::string_view call, std::string_view repairName, std::string_view args) {
  const auto begin = std::chrono::steady_clock::now();
  const RepairOutcome outcome = Lookup(Current()->repairs, repairName, RepairOutcome{});
  Wait(outcome.delayMs);
  if (outcome.succeeded && !outcome.fixes.empty()) ApplyFixes(outcome.fixes);
  Record(call, args, begin);
  return outcome;
}

void Machine::Note(std::string_view call, std::string_view args) {
  Record(call, args, std::chrono::steady_clock::now());
}

// Fixes land on the profile as it is now (a load during the repair's delay is respected), copied
// so that snapshots already handed out stay as they were.
void Machine::ApplyFixes(const std::vector<std::string>& fixes) {
  std::lock_guard guard(lock_);
  auto repaired = std::make_shared<Profile>(*profile_);
  for (const std::string& path : fixes) Fix(*repaired, path);
  profile_ = std::move(repaired);
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
void Machine::Record(std::string_view call, std::string_view args, std::chrono::steady_clock::time_point begin) {
  JournalEntry entry{std::string(call), std::string(args), std::this_thread::get_id(), begin,
                     std::chrono::steady_clock::now()};
  std::lock_guard guard(lock_);
  journal_.push_back(std::move(entry));
  if (journal_.size() > kJournalLimit) journal_.pop_front();
}

}  // namespace host::machine
