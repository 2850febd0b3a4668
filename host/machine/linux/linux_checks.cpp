#include "machine/linux/linux_checks.h"

#include <algorithm>

#include "machine/linux/instruction_sets.h"
#include "machine/linux/proc_parsers.h"
#include "machine/linux/rfkill.h"
#include "machine/linux/sound.h"
#include "machine/linux/source_places.h"
#include "machine/linux/sysfs_root.h"
#include "machine/warnings.h"
#include "platform/encoding.h"

namespace host::machine::linuxhost {
namespace {

CheckResult Pass() { return CheckResult{}; }

CheckResult Fail(uint32_t code, std::u16string messageKey, uint32_t level = 0) {
  CheckResult result;
  result.code = code;
  result.messageKey = std::move(messageKey);
  result.passed = false;
  result.level = level;
  return result;
}

const Hardware& HardwareOf(const CheckContext& c) { return c.inventory.facts->hardware; }

// ---- processor --------------------------------------------------------------------------------

template <InstructionSet kSet>
CheckResult Instructions(const CheckContext&) {
  CheckResult result;
  result.code = TestInstructionSet(kSet);
  return result;
}

// ---- memory -----------------------------------------------------------------------------------

template <MemoryPattern kPattern>
CheckResult MemoryCheck(const CheckContext& c) {
  MemoryTestBuffer buffer(c.memoryTestBytes);
  if (buffer.words().empty()) {
    WarnOnce("the memory test could not have its buffer of " + std::to_string(c.memoryTestBytes >> 20) + " MiB");
    return NotChecked(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_MEMORY");
  }
  const auto fault = RunMemoryPattern(kPattern, buffer.words(), c.memoryHook);
  if (!fault) return Pass();
  const std::string detail = "memory test failed: " + fault->Describe();
  WarnOnce(detail);
  // Code kind: the detail text is what the library hands back beside the code.
  return Fail(1, platform::Utf8ToUtf16(detail));
}

// ---- presence ---------------------------------------------------------------------------------

CheckResult Presence(bool present, std::u16string absentKey) { return present ? Pass() : Fail(1, std::move(absentKey)); }

CheckResult GraphicsPresent(const CheckContext& c) {
  return Presence(!c.inventory.graphicsDrivers.empty(), u"IDS_HARDWARE_DIAGNOSE_GPU_UNKNOWN");
}

CheckResult GraphicsDriver(const CheckContext& c) {
  const auto& drivers = c.inventory.graphicsDrivers;
  const bool bound = std::none_of(drivers.begin(), drivers.end(), [](const std::string& d) { return d.empty(); });
  return bound ? Pass() : Fail(2, u"IDS_HARDWARE_DIAGNOSE_GPU_DRIVER_ERROR");
}

CheckResult AudioPresent(const CheckContext& c) {
  return Presence(FindPlaybackCard(c.root).has_value(), u"IDS_HARDWARE_DIAGNOSE_AUDIO_UNKNOWN");
}

CheckResult NetworkPresent(const CheckContext& c) {
  return Presence(!c.inventory.interfaces.empty(), u"IDS_HARDWARE_DIAGNOSE_WIFI_UNKNOWN");
}

CheckResult NetworkDriver(const CheckContext& c) {
  const auto& all = c.inventory.interfaces;
  const bool bound = std::none_of(all.begin(), all.end(), [](const NetInterface& i) { return i.driver.empty(); });
  return bound ? Pass() : Fail(2, u"IDS_HARDWARE_DIAGNOSE_WIFI_DRIVER_ERROR");
}

CheckResult BatteryPresent(const CheckContext& c) { return c.inventory.battery.empty() ? Fail(1, {}) : Pass(); }

CheckResult BluetoothPresent(const CheckContext& c) {
  return Presence(HardwareOf(c).hasBluetooth, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_UNKNOWN");
}

CheckResult FingerprintPresent(const CheckContext& c) {
  return Presence(HardwareOf(c).hasBiometric, u"IDS_HARDWARE_DIAGNOSE_FINGERPRINT_UNKNOWN");
}

// ---- radios -----------------------------------------------------------------------------------

CheckResult RadioOn(const CheckContext& c, const std::string& type, std::u16string offKey) {
  const auto switches = RadioSwitches(c.root, type);
  const bool off = std::any_of(switches.begin(), switches.end(),
                               [](const RadioSwitch& s) { return s.softBlocked || s.hardBlocked; });
  return off ? Fail(1, std::move(offKey)) : Pass();
}

CheckResult WifiSwitch(const CheckContext& c) { return RadioOn(c, "wlan", u"IDS_HARDWARE_DIAGNOSE_WIFI_SWITCH_OFF"); }

CheckResult BluetoothSwitch(const CheckContext& c) {
  return RadioOn(c, "bluetooth", u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_OFF");
}

// Only a connected adapter has a signal to judge; a weak one is a notice (level 1), not a fault.
CheckResult WifiSignal(const CheckContext& c) {
  const auto levels = ParseWirelessLevels(c.root.Read("/proc/net/wireless").value_or(""));
  for (const NetInterface& i : c.inventory.interfaces) {
    if (i.kind != NetInterface::Kind::Wireless) continue;
    const auto level = levels.find(i.name);
    if (level != levels.end() && level->second < kWeakSignalDbm) {
      return Fail(1, u"IDS_HARDWARE_DIAGNOSE_WIFI_SIGNAL_WEAK", 1);
    }
  }
  return Pass();
}

// ---- sound ------------------------------------------------------------------------------------

std::string PlaybackMixer(const CheckContext& c) { return MixerDevice(c.places, FindPlaybackCard(c.root)); }

// A silenced mixer is the usual reason for no sound, and is judged even where nothing can record.
CheckResult AudioLoopBack(const CheckContext& c) {
  switch (ReadMixer(c.places, PlaybackMixer(c)).state) {
    case MixerState::Muted: return Fail(2, u"IDS_HARDWARE_DIAGNOSE_AUDIO_MUTED");
    case MixerState::ZeroVolume: return Fail(3, u"IDS_HARDWARE_DIAGNOSE_AUDIO_ZERO_VOLUME");
    case MixerState::Audible:
    case MixerState::Unreadable: break;
  }
  static constexpr struct {
    LoopBack outcome;
    const char16_t* notChecked;  // null: heard or not heard
  } kOutcomes[] = {
      {LoopBack::NoConfiguration, u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_SOUND_CONFIG"},
      {LoopBack::NoPlayback, u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_PLAYBACK"},
      {LoopBack::NoCapture, u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_CAPTURE"},
      {LoopBack::Busy, u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_AUDIO_BUSY"},
      {LoopBack::Refused, u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_AUDIO_REFUSED"},
  };
  const LoopBack outcome = PlayToneAndListen(c.places);
  if (outcome == LoopBack::Heard) return Pass();
  for (const auto& row : kOutcomes) {
    if (row.outcome == outcome) return NotChecked(row.notChecked);
  }
  return Fail(1, u"IDS_HARDWARE_DIAGNOSE_AUDIO_LOOPBACK_FAIL");
}

Applicability AudioLoopBackHere(const CheckContext& c) {
  using Kind = Applicability::Kind;
  if (!HasSoundConfiguration(c.places)) return {Kind::CannotRun, "no sound configuration (" + c.places.alsaConfig + ")"};
  const auto card = FindPlaybackCard(c.root);
  if (!card) return {Kind::CannotRun, "no sound card that plays"};
  const std::string where = "card " + std::to_string(card->index) + " " + card->name;
  // Under alsa-lib's own configuration the default devices are the cards; a configuration file may
  // define a capture device no card lists.
  if (c.places.alsaConfig.empty() && !card->canRecord) {
    return {Kind::CannotRun, "no capture device; only the mixer of " + where + " is judged"};
  }
  return {Kind::Runs, where + ": mixer '" + PlaybackMixer(c) + "', playback and capture through '" + kLoopBackDevice + "'"};
}

// ---- battery ----------------------------------------------------------------------------------

CheckResult BatteryVoltage(const CheckContext& c) {
  if (c.inventory.battery.empty()) return Pass();
  const auto now = c.root.Number(Join(c.inventory.battery, "voltage_now"));
  const auto minimum = c.root.Number(Join(c.inventory.battery, "voltage_min_design"));
  return now && minimum && *now < *minimum ? Fail(1, {}) : Pass();
}

CheckResult BatteryWear(const CheckContext& c) {
  if (c.inventory.battery.empty()) return Pass();
  const auto ratio = BatteryHealthRatio(c.root, c.inventory.battery);
  return ratio && *ratio < kWornBattery ? Fail(1, {}) : Pass();
}

// ---- what has no source here yet --------------------------------------------------------------

CheckResult NoSourceYet(const CheckContext&) { return NotChecked(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_SOURCE"); }
Applicability NoSourceYetHere(const CheckContext&) {
  return {Applicability::Kind::CannotRun, "this system has no source for it yet"};
}

// ---- repairs ----------------------------------------------------------------------------------

RepairOutcome Failed(std::u16string message) {
  RepairOutcome outcome;
  outcome.code = 1;
  outcome.succeeded = false;
  outcome.message = std::move(message);
  return outcome;
}

RepairOutcome Succeeded() {
  RepairOutcome done;
  done.message = u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS";
  return done;
}

// Switching a radio back on is safe and undone by the user's own switch.
RepairOutcome UnblockRadio(const SysfsRoot& root, const std::string& type) {
  switch (Unblock(root, type)) {
    case UnblockResult::Unblocked:
    case UnblockResult::NothingBlocked: return Succeeded();
    case UnblockResult::HardBlocked: return Failed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_HARDWARE_SWITCH");
    case UnblockResult::NotPermitted: return Failed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_NOT_PERMITTED");
    case UnblockResult::Failed: break;
  }
  return Failed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_SETTING_FAIL");
}

RepairOutcome WifiOn(const CheckContext& c) { return UnblockRadio(c.root, "wlan"); }

RepairOutcome AudioMixerOn(const CheckContext& c) {
  switch (UnmuteAndRaise(c.places, PlaybackMixer(c))) {
    case MixerChange::Changed:
    case MixerChange::NothingToChange: return Succeeded();
    case MixerChange::NoMixer: return Failed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_UNAVAILABLE");
    case MixerChange::NotPermitted: return Failed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_NOT_PERMITTED");
    case MixerChange::Failed: break;
  }
  return Failed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_SETTING_FAIL");
}
RepairOutcome BluetoothOn(const CheckContext& c) { return UnblockRadio(c.root, "bluetooth"); }

// What would change drivers, services or settings that have no safe way here fails and changes nothing.
RepairOutcome Unavailable(const CheckContext&) { return Failed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_UNAVAILABLE"); }

constexpr LinuxCheck kChecks[] = {
    {"cpu.codes.sse", "SSE instructions give the reference results", Instructions<InstructionSet::Sse>},
    {"cpu.codes.sse2", "SSE2 instructions give the reference results", Instructions<InstructionSet::Sse2>},
    {"cpu.codes.sse3", "SSE3 instructions give the reference results", Instructions<InstructionSet::Sse3>},
    {"cpu.codes.ssse3", "SSSE3 instructions give the reference results", Instructions<InstructionSet::Ssse3>},
    {"cpu.codes.sse41", "SSE4.1 instructions give the reference results", Instructions<InstructionSet::Sse41>},
    {"cpu.codes.sse42", "SSE4.2 instructions give the reference results", Instructions<InstructionSet::Sse42>},
    {"memory.stuckAddr", "a memory test: stuck address", MemoryCheck<MemoryPattern::StuckAddress>},
    {"memory.lineSeq", "a memory test: sequential increment", MemoryCheck<MemoryPattern::Sequential>},
    {"memory.blockSeq", "a memory test: block sequential", MemoryCheck<MemoryPattern::BlockSequential>},
    {"memory.bit0Walk", "a memory test: walking bits", MemoryCheck<MemoryPattern::WalkingBits>},
    {"memory.random", "a memory test: random values", MemoryCheck<MemoryPattern::Random>},
    {"memory.board", "a memory test: checkerboard", MemoryCheck<MemoryPattern::Checkerboard>},
    {"memory.arith", "a memory test: arithmetic compare", MemoryCheck<MemoryPattern::Arithmetic>},
    {"memory.logic", "a memory test: logic compare", MemoryCheck<MemoryPattern::Logic>},
    {"memory.bitFlip", "a memory test: bit flip", MemoryCheck<MemoryPattern::BitFlip>},
    {"video.device", "a DRM graphics card is present", GraphicsPresent},
    {"video.status", "every graphics card has its kernel driver", GraphicsDriver},
    {"audio.device", "an ALSA sound card with a playback device is present", AudioPresent},
    {"audio.loopBack", "the playback card's mixer is neither muted nor turned down, and a 1 kHz tone played on the default device is heard on the default capture device", AudioLoopBack, AudioLoopBackHere},
    {"wifi.device", "a physical network adapter is present", NetworkPresent},
    {"wifi.networkCard", "every network adapter has its kernel driver", NetworkDriver},
    {"wifi.switch", "no Wi-Fi radio switch (rfkill) is off", WifiSwitch},
    {"wifi.signal", "a connected Wi-Fi adapter hears at least -80 dBm", WifiSignal},
    {"battery.device", "a system battery is present", BatteryPresent},
    {"battery.voltage", "the battery voltage is not below its design minimum", BatteryVoltage},
    {"battery.loss", "the battery holds at least 60% of its design capacity", BatteryWear},
    {"keyboard.filterKey", "Slow Keys and Bounce Keys (the desktop's Filter Keys) are off", NoSourceYet, NoSourceYetHere},
    {"keyboard.hotKey", "the notebook's platform driver is bound and a keyboard reports its function keys", NoSourceYet, NoSourceYetHere},
    {"bluetooth.device", "a Bluetooth controller is present", BluetoothPresent},
    {"bluetooth.state", "no Bluetooth radio switch (rfkill) is off", BluetoothSwitch},
    {"biometric.device", "a fingerprint reader is on the USB bus", FingerprintPresent},
    {"biometric.function", "the fingerprint service (fprintd) lists the reader", NoSourceYet, NoSourceYetHere},
};

constexpr LinuxRepair kRepairs[] = {
    {"RepairWifiDriver", "fails and changes nothing", Unavailable},
    {"RepairWifiProblem", "switches Wi-Fi back on (rfkill), when permitted", WifiOn},
    {"RepairHotkey", "fails and changes nothing", Unavailable},
    {"CloseFilterKey", "fails and changes nothing", Unavailable},
    {"RepairAudioProblem", "switches the playback card's muted controls on and raises those turned down to two thirds, when permitted", AudioMixerOn},
    {"RepairBTProblems", "switches Bluetooth back on (rfkill), when permitted", BluetoothOn},
    {"RepairVIDEOCARDProblems", "fails and changes nothing", Unavailable},
    {"RepairByErrorCode", "fails and changes nothing", Unavailable},
};

}  // namespace

std::span<const LinuxCheck> LinuxChecks() { return kChecks; }

const LinuxCheck* FindLinuxCheck(std::string_view path) {
  for (const LinuxCheck& check : kChecks) {
    if (check.path == path) return &check;
  }
  return nullptr;
}

std::span<const LinuxRepair> LinuxRepairs() { return kRepairs; }

const LinuxRepair* FindLinuxRepair(std::string_view name) {
  for (const LinuxRepair& repair : kRepairs) {
    if (repair.name == name) return &repair;
  }
  return nullptr;
}

CheckResult NotChecked(std::u16string whyKey) { return Fail(kNotCheckedCode, std::move(whyKey), 1); }

std::optional<double> BatteryHealthRatio(const SysfsRoot& root, const std::string& battery) {
  for (std::string_view counter : {"energy", "charge"}) {
    const auto full = root.Number(Join(battery, std::string(counter) + "_full"));
    const auto design = root.Number(Join(battery, std::string(counter) + "_full_design"));
    if (full && design && *design != 0) return static_cast<double>(*full) / static_cast<double>(*design);
  }
  return std::nullopt;
}

}  // namespace host::machine::linuxhost
