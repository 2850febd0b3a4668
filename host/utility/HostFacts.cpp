// SystemInfo, CPKTSoftShelf and ProductFeature: host facts from the machine profile.
#include <atomic>
#include <cstdint>

#include "machine/machine.h"
#include "platform/encoding.h"
#include "utility/CPKTSoftShelf.h"
#include "utility/ProductFeature.h"
#include "utility/SystemInfo.h"

namespace {

std::shared_ptr<const host::machine::Profile> Facts() { return host::machine::Machine::Instance().Current(); }

}  // namespace

std::u16string SystemInfo::getCurrentUserLanguage() {
  const auto profile = Facts();
  return platform::Utf8ToUtf16(profile ? profile->host.userLanguage : "en-US");
}

uint32_t SystemInfo::GetSystemDPI() {
  // The UI library scales every size by the DPI, several hundred thousand times in one scan of
  // the pages: it is read once per machine. The machine's generation and its DPI are one word,
  // so a reader never pairs one machine's DPI with another's generation.
  static std::atomic<uint64_t> cached{0};
  const uint32_t generation = host::machine::Machine::Instance().Generation();
  uint64_t entry = cached.load(std::memory_order_acquire);
  if (entry == 0 || static_cast<uint32_t>(entry >> 32) != generation) {
    const auto profile = Facts();
    entry = uint64_t{generation} << 32 | (profile ? profile->host.dpi : 96);
    cached.store(entry, std::memory_order_release);
  }
  return static_cast<uint32_t>(entry);
}

bool SystemInfo::IsRightToLeft() {
  const auto profile = Facts();
  return profile && profile->host.rightToLeft;
}

CPKTSoftShelf& CPKTSoftShelf::GetInstance() {
  static CPKTSoftShelf instance;
  return instance;
}

bool CPKTSoftShelf::IsSupportPlugin(const std::string& name) {
  const auto profile = Facts();
  if (!profile) return true;
  const auto it = profile->host.features.find(name);
  return it == profile->host.features.end() || it->second;
}

namespace ProductAdapt {

ProductFeature& ProductFeature::GetInstance() {
  static ProductFeature instance;
  return instance;
}

int32_t ProductFeature::GetFingerprintStatus(bool& present) {
  const auto profile = Facts();
  if (!profile) {
    present = false;
    return 0;
  }
  present = profile->host.fingerprintPresent.value_or(profile->hardware.hasBiometric);
  return profile->host.fingerprintStatus;
}

}  // namespace ProductAdapt
