#include "machine/profile_backend.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace host::machine {
namespace {

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

}  // namespace

ProfileBackend::ProfileBackend(std::shared_ptr<const Profile> profile, std::string description)
    : profile_(std::move(profile)), description_(std::move(description)) {}

std::shared_ptr<const Profile> ProfileBackend::Facts() {
  std::lock_guard guard(lock_);
  return profile_;
}

CheckResult ProfileBackend::Check(std::string_view path) {
  const CheckResult result = Lookup(Facts()->checks, path, CheckResult{});
  Wait(result.delayMs);
  return result;
}

// The attribute numbers do not matter here: a profile lists its verdict bytes in record order.
DiskCheck ProfileBackend::CheckDisk(std::optional<size_t> index, std::u16string_view firmware,
                                    std::span<const uint8_t>) {
  const auto profile = Facts();
  std::vector<std::u16string_view> firmwares;
  for (const Disk& disk : profile->hardware.disks) firmwares.push_back(disk.firmware);
  DiskCheck result;
  result.code = 2;  // no such disk
  if (const auto disk = DiskIndexFor(index, firmware, firmwares)) {
    result = *disk < profile->disks.size() ? profile->disks[*disk] : DiskCheck{};
  }
  Wait(result.delayMs);
  return result;
}

RepairOutcome ProfileBackend::Repair(std::string_view name) {
  const RepairOutcome outcome = Lookup(Facts()->repairs, name, RepairOutcome{});
  Wait(outcome.delayMs);
  if (outcome.succeeded && !outcome.fixes.empty()) ApplyFixes(outcome.fixes);
  return outcome;
}

// Fixes land on the profile as it is now, copied so that snapshots already handed out stay as
// they were.
void ProfileBackend::ApplyFixes(const std::vector<std::string>& fixes) {
  std::lock_guard guard(lock_);
  auto repaired = std::make_shared<Profile>(*profile_);
  for (const std::string& path : fixes) Fix(*repaired, path);
  profile_ = std::move(repaired);
}

}  // namespace host::machine
