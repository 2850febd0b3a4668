#include "machine/linux/linux_checks.h"

#include <algorithm>

#include "machine/linux/bluez.h"
#include "machine/linux/device_drivers.h"
#include "machine/linux/disk_smart.h"
#include "machine/linux/driver_loading.h"
#include "machine/linux/fprintd.h"
#include "machine/linux/hotkeys.h"
#include "machine/linux/instruction_sets.h"
#include "machine/linux/kernel_modules.h"
#include "machine/linux/keyboard_settings.h"
#include "machine/linux/presence_checks.h"
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
  return Failed(code, std::move(messageKey), level);
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
  std::optional<MemoryFault> fault;
  const auto test = [&](std::span<uint64_t> words) { fault = RunMemoryPattern(kPattern, words, c.memoryHook); };
  MemoryTestSlot ownSlot;
  if (!(c.memorySlot ? *c.memorySlot : ownSlot).Use(c.memoryTestBytes, test)) {
    WarnOnce("the memory test could not have its buffer of " + std::to_string(c.memoryTestBytes >> 20) + " MiB");
    return NotChecked(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_MEMORY");
  }
  if (!fault) return Pass();
  const std::string detail = "memory test failed: " + fault->Describe();
  WarnOnce(detail);
  // Code kind: the detail text is what the library hands back beside the code.
  return Fail(1, platform::Utf8ToUtf16(detail));
}

// ---- presence ---------------------------------------------------------------------------------

CheckResult NetworkPresent(const CheckContext& c) {
  const bool present = !c.inventory.interfaces.empty() || !PciDevicesOf(c.root, DeviceFamily::Network).empty();
  return Presence(present, u"IDS_HARDWARE_DIAGNOSE_WIFI_UNKNOWN");
}

CheckResult BatteryPresent(const CheckContext& c) { return c.inventory.batteries.empty() ? Fail(1, {}) : Pass(); }

CheckResult BluetoothPresent(const CheckContext& c) {
  return Presence(HardwareOf(c).hasBluetooth, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_UNKNOWN");
}

CheckResult FingerprintPresent(const CheckContext& c) {
  return Presence(HardwareOf(c).hasBiometric, u"IDS_HARDWARE_DIAGNOSE_FINGERPRINT_UNKNOWN");
}

// ---- drivers ----------------------------------------------------------------------------------

// A device without its driver has no DRM card or network interface, so the bus is asked as well.
bool BusDevicesHaveDrivers(const CheckContext& c, DeviceFamily family) {
  for (const PciDevice& device : PciDevicesOf(c.root, family)) {
    if (device.driver.empty()) {
      WarnOnce("PCI device " + device.Describe());
      return false;
    }
  }
  return true;
}

CheckResult GraphicsDriver(const CheckContext& c) {
  const auto& cards = c.inventory.graphicsDrivers;
  const bool cardsBound = std::none_of(cards.begin(), cards.end(), [](const std::string& d) { return d.empty(); });
  const bool busBound = BusDevicesHaveDrivers(c, DeviceFamily::Graphics);
  return cardsBound && busBound ? Pass() : Fail(2, u"IDS_HARDWARE_DIAGNOSE_GPU_DRIVER_ERROR");
}

// A wired adapter without its driver is not said to be the wireless one.
CheckResult NetworkDriver(const CheckContext& c) {
  constexpr uint32_t kWirelessClass = 0x028000;
  bool wireless = false, wired = false;
  for (const NetInterface& i : c.inventory.interfaces) {
    if (!i.driver.empty()) continue;
    (i.kind == NetInterface::Kind::Wireless ? wireless : wired) = true;
  }
  for (const PciDevice& device : PciDevicesOf(c.root, DeviceFamily::Network)) {
    if (!device.driver.empty()) continue;
    ((device.classCode & 0xFFFF00) == kWirelessClass ? wireless : wired) = true;
  }
  if (wireless) return Fail(2, u"IDS_HARDWARE_DIAGNOSE_WIFI_DRIVER_ERROR");
  return wired ? Fail(2, u"IDS_HARDWARE_DIAGNOSE_NETCARD_DRIVER_ERROR") : Pass();
}

// Each device, and for one without its driver the module that would take it.
Applicability BusDevicesHere(const CheckContext& c, DeviceFamily family, const std::string& noun) {
  std::string text;
  for (const PciDevice& device : PciDevicesOf(c.root, family)) {
    text += (text.empty() ? "PCI " : "; ") + device.Describe();
    if (!device.driver.empty()) continue;
    std::string modules;
    for (const std::string& module : ModulesFor(c.places, device.modalias)) modules += (modules.empty() ? "" : ", ") + module;
    text += modules.empty() ? ", no module claims it" : ", module " + modules;
  }
  return {Applicability::Kind::Runs, text.empty() ? "no " + noun + " on the PCI bus" : text};
}
Applicability GraphicsHere(const CheckContext& c) { return BusDevicesHere(c, DeviceFamily::Graphics, "display controller"); }
Applicability NetworkHere(const CheckContext& c) { return BusDevicesHere(c, DeviceFamily::Network, "network controller"); }

// ---- hotkeys ----------------------------------------------------------------------------------

// The library's code for the hotkey fault (-7).
constexpr uint32_t kHotkeyFault = static_cast<uint32_t>(-7);

CheckResult Hotkey(const CheckContext& c) {
  const Hotkeys hotkeys = ReadHotkeys(c.root);
  switch (hotkeys.state) {
    case Hotkeys::State::NotANotebook:
    case Hotkeys::State::UnknownVendor:
    case Hotkeys::State::Working: return Pass();
    case Hotkeys::State::NoInputList:
      WarnOnce("function hotkeys not checked: " + hotkeys.why);
      return NotChecked(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_INPUT_LIST");
    case Hotkeys::State::DriverNotLoaded:
    case Hotkeys::State::NoKeys: break;
  }
  WarnOnce("function hotkeys: " + hotkeys.why);
  return Fail(kHotkeyFault, u"IDS_HARDWARE_DIAGNOSE_ERROR_HOTKEY");
}

Applicability HotkeyHere(const CheckContext& c) {
  const Hotkeys hotkeys = ReadHotkeys(c.root);
  switch (hotkeys.state) {
    case Hotkeys::State::NotANotebook:
    case Hotkeys::State::UnknownVendor: return {Applicability::Kind::NotApplicable, hotkeys.why};
    case Hotkeys::State::NoInputList: return {Applicability::Kind::CannotRun, hotkeys.why};
    case Hotkeys::State::DriverNotLoaded:
    case Hotkeys::State::NoKeys:
    case Hotkeys::State::Working: break;
  }
  return {Applicability::Kind::Runs,
          "the " + hotkeys.vendor + " platform driver " + hotkeys.module + ", and the input devices' brightness and volume keys"};
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

// ---- services on the system bus ---------------------------------------------------------------

struct SystemService {
  const char* name;
  const char* absent;  // what it means here that nobody owns its bus name
  const char16_t* absentKey;
};
constexpr SystemService kBluez{"the Bluetooth service (BlueZ)", "is not running", u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_BLUEZ"};
// fprintd starts when asked: absent, it is not installed.
constexpr SystemService kFprintd{"the fingerprint service (fprintd)", "is not installed",
                                 u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_FPRINTD"};

CheckResult NotAnswered(DbusStatus status, const SystemService& service) {
  switch (status) {
    case DbusStatus::NoBus: return NotChecked(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_SYSTEM_BUS");
    case DbusStatus::NoService: return NotChecked(service.absentKey);
    case DbusStatus::Denied: return NotChecked(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_SERVICE_DENIED");
    case DbusStatus::Answered:
    case DbusStatus::Failed: break;
  }
  return NotChecked(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_SERVICE_FAILED");
}

Applicability CannotAsk(DbusStatus status, const SystemService& service, const std::string& error) {
  switch (status) {
    case DbusStatus::NoBus: return {Applicability::Kind::CannotRun, "the system bus is not reachable"};
    case DbusStatus::NoService: return {Applicability::Kind::CannotRun, std::string(service.name) + " " + service.absent};
    case DbusStatus::Denied: return {Applicability::Kind::CannotRun, std::string(service.name) + " refuses this user"};
    case DbusStatus::Answered:
    case DbusStatus::Failed: break;
  }
  return {Applicability::Kind::CannotRun, std::string(service.name) + " did not answer: " + error};
}

// The radio switch first, then BlueZ's own power state of every adapter. A controller the kernel
// has but BlueZ does not manage did not come up: its driver or firmware failed.
CheckResult BluetoothState(const CheckContext& c) {
  if (!HardwareOf(c).hasBluetooth) return Pass();  // the presence check fails instead
  if (CheckResult radio = BluetoothSwitch(c); !radio.passed) return radio;
  const BluezAdapters bluez = ReadBluezAdapters(c.places);
  if (bluez.status != DbusStatus::Answered) return NotAnswered(bluez.status, kBluez);
  if (bluez.adapters.empty()) return Fail(2, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DRIVER_ERROR");
  return bluez.Unpowered().empty() ? Pass() : Fail(1, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_OFF");
}

Applicability BluetoothStateHere(const CheckContext& c) {
  if (!HardwareOf(c).hasBluetooth) return {Applicability::Kind::NotApplicable, "no Bluetooth controller"};
  const BluezAdapters bluez = ReadBluezAdapters(c.places);
  if (bluez.status != DbusStatus::Answered) return CannotAsk(bluez.status, kBluez, bluez.error);
  if (bluez.adapters.empty()) return {Applicability::Kind::Runs, "rfkill, and BlueZ, which lists no adapter"};
  std::string names;
  for (const BluezAdapter& adapter : bluez.adapters) names += (names.empty() ? "" : ", ") + adapter.name();
  return {Applicability::Kind::Runs, std::string("rfkill and BlueZ adapter") + (bluez.adapters.size() > 1 ? "s " : " ") + names};
}

// fprintd lists the readers libfprint has a driver for; one on the USB bus that it does not list
// cannot be used.
CheckResult FingerprintDriver(const CheckContext& c) {
  if (!HardwareOf(c).hasBiometric) return Pass();  // the presence check fails instead
  const FingerprintReaders fprintd = ReadFingerprintReaders(c.places);
  if (fprintd.status != DbusStatus::Answered) return NotAnswered(fprintd.status, kFprintd);
  return fprintd.devices.empty() ? Fail(2, u"IDS_HARDWARE_DIAGNOSE_FINGERPRINT_NO_DRIVER") : Pass();
}

Applicability FingerprintDriverHere(const CheckContext& c) {
  if (!HardwareOf(c).hasBiometric) return {Applicability::Kind::NotApplicable, "no fingerprint reader"};
  const FingerprintReaders fprintd = ReadFingerprintReaders(c.places);
  if (fprintd.status != DbusStatus::Answered) return CannotAsk(fprintd.status, kFprintd, fprintd.error);
  const NamedDevice& reader = HardwareOf(c).biometric;
  return {Applicability::Kind::Runs, "the readers fprintd lists, for " + platform::Utf16ToUtf8(reader.name) + " (" +
                                         platform::Utf16ToUtf8(reader.manufacturer) + ")"};
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
  // With no microphone on any card a sound server offers the output's monitor as the default
  // capture device, which would hear the tone without any sound leaving the speakers.
  const auto card = FindPlaybackCard(c.root);
  if (c.places.alsaConfig.empty() && card && !card->canRecord) return NotChecked(u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_CAPTURE");
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

// With two batteries, either one failing fails the check: a worn second battery is a worn battery.
template <typename Failing>
CheckResult AnyBattery(const CheckContext& c, Failing failing) {
  const auto& all = c.inventory.batteries;
  return std::any_of(all.begin(), all.end(), failing) ? Fail(1, {}) : Pass();
}

CheckResult BatteryVoltage(const CheckContext& c) {
  return AnyBattery(c, [&c](const std::string& battery) {
    const auto now = c.root.Number(Join(battery, "voltage_now"));
    const auto minimum = c.root.Number(Join(battery, "voltage_min_design"));
    return now && minimum && *now < *minimum;
  });
}

CheckResult BatteryWear(const CheckContext& c) {
  return AnyBattery(c, [&c](const std::string& battery) {
    const auto ratio = BatteryHealthRatio(c.root, battery);
    return ratio && *ratio < kWornBattery;
  });
}

// ---- repairs ----------------------------------------------------------------------------------

// Switching a radio back on is safe and undone by the user's own switch.
RepairOutcome UnblockRadio(const SysfsRoot& root, const std::string& type) {
  switch (Unblock(root, type)) {
    case UnblockResult::Unblocked:
    case UnblockResult::NothingBlocked: return RepairDone();
    case UnblockResult::HardBlocked: return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_HARDWARE_SWITCH");
    case UnblockResult::NotPermitted: return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_NOT_PERMITTED");
    case UnblockResult::Failed: break;
  }
  return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_SETTING_FAIL");
}

RepairOutcome WifiOn(const CheckContext& c) { return UnblockRadio(c.root, "wlan"); }

// The radio first: BlueZ cannot power an adapter that rfkill holds off. Whether BlueZ lets this
// user power its adapters is asked before anything changes.
RepairOutcome BluetoothOn(const CheckContext& c) {
  const BluezAdapters bluez = ReadBluezAdapters(c.places);
  switch (MayPower(c.places, bluez.Unpowered())) {
    case DbusStatus::Denied: return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_NOT_PERMITTED");
    case DbusStatus::Failed: return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_SETTING_FAIL");
    default: break;
  }
  RepairOutcome radio = UnblockRadio(c.root, "bluetooth");
  // Without BlueZ (not running, or no system bus) the radio switch is all this machine offers to
  // repair, and it counts: bluetoothd powers its adapters on itself when it starts.
  if (!radio.succeeded || bluez.status != DbusStatus::Answered) return radio;
  // Read again: BlueZ may have powered an adapter back on itself when its radio came back.
  switch (PowerOn(c.places, ReadBluezAdapters(c.places).Unpowered())) {
    case DbusStatus::Answered:
    case DbusStatus::NoBus:
    case DbusStatus::NoService: return radio;
    case DbusStatus::Denied: return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_NOT_PERMITTED");
    case DbusStatus::Failed: break;
  }
  return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_SETTING_FAIL");
}

// Loading a driver is said in the log with its module, whatever came of it.
RepairOutcome DriverOutcome(const ModuleLoad& load) {
  if (!load.said.empty()) WarnOnce(load.said);
  switch (load.result) {
    case ModuleLoad::Result::Loaded: return RepairDone(u"IDS_HARDWARE_DIAGNOSE_REPAIR_DRIVER_DONE");
    case ModuleLoad::Result::AlreadyLoaded: return RepairDone();
    case ModuleLoad::Result::Unavailable: return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_UNAVAILABLE");
    case ModuleLoad::Result::NotPermitted: return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_NOT_PERMITTED");
    case ModuleLoad::Result::RecordedKernel: return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_RECORDED_KERNEL");
    case ModuleLoad::Result::NotFound:
    case ModuleLoad::Result::Failed: break;
  }
  return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_DRIVER_FAIL");
}

template <DeviceFamily kFamily>
RepairOutcome LoadDrivers(const CheckContext& c) {
  return DriverOutcome(LoadDriversFor(c.root, c.places, kFamily));
}

RepairOutcome LoadHotkeys(const CheckContext& c) { return DriverOutcome(LoadHotkeyDriver(c.root, c.places)); }

// The adapter's driver fault and the radio switch share this repair: what lacks its driver first,
// then the switch.
RepairOutcome WifiProblem(const CheckContext& c) {
  if (!LacksDriver(c.root, DeviceFamily::Network)) return WifiOn(c);
  const RepairOutcome drivers = LoadDrivers<DeviceFamily::Network>(c);
  if (!drivers.succeeded) return drivers;
  const RepairOutcome radio = WifiOn(c);
  return radio.succeeded ? drivers : radio;
}
RepairOutcome AudioMixerOn(const CheckContext& c) {
  switch (UnmuteAndRaise(c.places, PlaybackMixer(c))) {
    case MixerChange::Changed:
    case MixerChange::NothingToChange: return RepairDone();
    case MixerChange::NoMixer: return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_UNAVAILABLE");
    case MixerChange::NotPermitted: return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_NOT_PERMITTED");
    case MixerChange::Failed: break;
  }
  return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_SETTING_FAIL");
}

// A sound controller without its driver has no card to unmute: its driver first, then the mixer.
RepairOutcome AudioProblem(const CheckContext& c) {
  if (!LacksDriver(c.root, DeviceFamily::Audio)) return AudioMixerOn(c);
  const RepairOutcome drivers = LoadDrivers<DeviceFamily::Audio>(c);
  if (!drivers.succeeded) return drivers;
  const RepairOutcome mixer = AudioMixerOn(c);
  return mixer.succeeded ? drivers : mixer;
}

// What would change drivers, services or settings that have no safe way here fails and changes nothing.
RepairOutcome Unavailable(const CheckContext&) { return RepairFailed(u"IDS_HARDWARE_DIAGNOSE_REPAIR_UNAVAILABLE"); }

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
    {"video.device", "a DRM graphics card or a display controller on the PCI bus is present", GraphicsPresent, GraphicsHere},
    {"video.status", "every graphics card, on the PCI bus or as a DRM card, has its kernel driver", GraphicsDriver, GraphicsHere},
    {"audio.device", "an ALSA sound card with a playback device is present, and every sound controller on the PCI bus has its driver", AudioPresent},
    {"audio.loopBack", "the playback card's mixer is neither muted nor turned down, and a 1 kHz tone played on the default device is heard on the default capture device", AudioLoopBack, AudioLoopBackHere},
    {"wifi.device", "a physical network interface or a network controller on the PCI bus is present", NetworkPresent, NetworkHere},
    {"wifi.networkCard", "every network adapter, on the PCI bus or as an interface, has its kernel driver", NetworkDriver, NetworkHere},
    {"wifi.switch", "no Wi-Fi radio switch (rfkill) is off", WifiSwitch},
    {"wifi.signal", "a connected Wi-Fi adapter hears at least -80 dBm", WifiSignal},
    {"battery.device", "a system battery is present", BatteryPresent},
    {"battery.voltage", "the battery voltage is not below its design minimum", BatteryVoltage},
    {"battery.loss", "the battery holds at least 60% of its design capacity", BatteryWear},
    {"keyboard.filterKey", "Slow Keys and Bounce Keys (the desktop's Filter Keys) are off in GNOME's settings, KDE's kaccessrc and the X display", FilterKeysCheck, FilterKeysHere},
    {"keyboard.hotKey", "the notebook maker's platform driver is loaded and an input device reports the brightness or volume keys", Hotkey, HotkeyHere},
    {"bluetooth.device", "a Bluetooth controller is present", BluetoothPresent},
    {"bluetooth.state", "no Bluetooth radio switch (rfkill) is off and BlueZ has powered every adapter", BluetoothState, BluetoothStateHere},
    {"biometric.device", "a fingerprint reader is on the USB bus", FingerprintPresent},
    {"biometric.function", "the fingerprint service (fprintd) lists the reader", FingerprintDriver, FingerprintDriverHere},
};

constexpr LinuxRepair kRepairs[] = {
    {"RepairWifiDriver", "loads the module each network controller without a driver asks for (libkmod), when permitted", LoadDrivers<DeviceFamily::Network>},
    {"RepairWifiProblem", "loads the driver a network controller lacks (libkmod), then switches Wi-Fi back on (rfkill), when permitted", WifiProblem},
    {"RepairHotkey", "loads the notebook maker's platform driver (libkmod), when permitted", LoadHotkeys},
    {"CloseFilterKey", "turns Slow Keys and Bounce Keys off where they are on (GNOME's settings, KDE's kaccessrc, the X display)", CloseFilterKeys},
    {"RepairAudioProblem", "loads the driver a sound controller lacks (libkmod), then switches the playback card's muted controls on and raises those turned down to two thirds, when permitted", AudioProblem},
    {"RepairBTProblems", "switches Bluetooth back on (rfkill) and powers on BlueZ's adapters, when permitted", BluetoothOn},
    {"RepairVIDEOCARDProblems", "loads the module each graphics card without a driver asks for (libkmod), when permitted", LoadDrivers<DeviceFamily::Graphics>},
    {"RepairByErrorCode", "fails and changes nothing", Unavailable},
};

}  // namespace

std::span<const LinuxCheck> LinuxChecks() { return kChecks; }

extern "C" const LinuxCheckTables* sysdiagnose_linux_check_tables() {
  static const LinuxCheckTables tables{kChecks, kRepairs, ReadSmart};
  return &tables;
}

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





}  // namespace host::machine::linuxhost
