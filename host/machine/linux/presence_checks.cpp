#include "machine/linux/presence_checks.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "machine/linux/device_drivers.h"
#include "machine/linux/proc_parsers.h"
#include "machine/linux/sysfs_root.h"

namespace host::machine::linuxhost {

std::optional<PlaybackCard> FindPlaybackCard(const SysfsRoot& root) {
  const std::vector<PcmDevice> devices = ParsePcmDevices(root.Read("/proc/asound/pcm").value_or(""));
  const auto playing = std::find_if(devices.begin(), devices.end(), [](const PcmDevice& d) { return d.playback; });
  if (playing == devices.end()) return std::nullopt;
  PlaybackCard card{playing->card, {}, std::any_of(devices.begin(), devices.end(), [](const PcmDevice& d) { return d.capture; })};
  for (const SoundCard& listed : ParseSoundCards(root.Read("/proc/asound/cards").value_or(""))) {
    if (listed.index == card.index) card.name = !listed.name.empty() ? listed.name : listed.id;
  }
  return card;
}

CheckResult Failed(uint32_t code, std::u16string messageKey, uint32_t level) {
  CheckResult result;
  result.code = code;
  result.messageKey = std::move(messageKey);
  result.passed = false;
  result.level = level;
  return result;
}

CheckResult Presence(bool present, std::u16string absentKey) {
  return present ? CheckResult{} : Failed(1, std::move(absentKey));
}

CheckResult GraphicsPresent(const CheckContext& c) {
  const bool present = !c.inventory.graphicsDrivers.empty() || !PciDevicesOf(c.root, DeviceFamily::Graphics).empty();
  return Presence(present, u"IDS_HARDWARE_DIAGNOSE_GPU_UNKNOWN");
}

CheckResult AudioPresent(const CheckContext& c) {
  if (LacksDriver(c.root, DeviceFamily::Audio)) return Failed(2, u"IDS_HARDWARE_DIAGNOSE_AUDIO_DRIVER_ERROR");
  return Presence(FindPlaybackCard(c.root).has_value(), u"IDS_HARDWARE_DIAGNOSE_AUDIO_UNKNOWN");
}

FileOnlyCheck FileOnlyCheckOf(std::string_view path) {
  static constexpr std::pair<std::string_view, FileOnlyCheck> kChecks[] = {
      {"video.device", GraphicsPresent},
      {"audio.device", AudioPresent},
  };
  for (const auto& [name, check] : kChecks) {
    if (name == path) return check;
  }
  return nullptr;
}

}  // namespace host::machine::linuxhost
