// SystemInfo, CPKTSoftShelf and ProductFeature: host facts from the machine profile.
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
  const auto profile = Facts();
  return profile ? profile->host.dpi : 96;
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
