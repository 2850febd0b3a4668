#include "machine/linux/hotkeys.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "machine/linux/proc_parsers.h"
#include "machine/linux/source_places.h"
#include "machine/linux/sysfs_root.h"

namespace host::machine::linuxhost {
namespace {

// Makers' platform drivers, which turn the firmware's hotkey events into key presses. The first
// row whose maker and model match wins, so a maker's model-specific rows come before its general one.
struct PlatformDriver {
  std::string_view vendor;  // the start of DMI sys_vendor, up to a word's end; case ignored
  std::string_view model;   // a word in the product name, version or family; empty: any
  std::string_view module;
};
constexpr PlatformDriver kPlatformDrivers[] = {
    {"LENOVO", "ThinkPad", "thinkpad_acpi"},
    {"LENOVO", "", "ideapad_laptop"},  // IdeaPad, Yoga, Legion, ThinkBook
    {"ASUSTeK", "", "asus_nb_wmi"},
    {"Dell", "", "dell_wmi"},
    {"HP", "", "hp_wmi"},
    {"Hewlett-Packard", "", "hp_wmi"},
    {"Acer", "", "acer_wmi"},
    {"TOSHIBA", "", "toshiba_acpi"},
    {"Dynabook", "", "toshiba_acpi"},
    {"HUAWEI", "", "huawei_wmi"},
    {"LG Electronics", "", "lg_laptop"},
    {"SAMSUNG ELECTRONICS", "", "samsung_laptop"},
    {"Sony", "", "sony_laptop"},
    {"FUJITSU", "", "fujitsu_laptop"},
    {"Micro-Star International", "", "msi_wmi"},  // msi_laptop knows only a few old models' keys
    {"Panasonic", "", "panasonic_laptop"},
};

constexpr unsigned kNotebookChassis[] = {8, 9, 10, 14, 30, 31, 32};
constexpr unsigned kDesktopChassis[] = {3, 4, 5, 6, 7, 13, 15, 16, 24, 35, 36};

// Either group, whole, tells that the function keys reach the system.
constexpr uint32_t kBrightnessKeys[] = {KEY_BRIGHTNESSDOWN, KEY_BRIGHTNESSUP};
constexpr uint32_t kVolumeKeys[] = {KEY_MUTE, KEY_VOLUMEDOWN, KEY_VOLUMEUP};

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

bool WordAt(const std::string& text, size_t at, size_t length) {
  const auto letter = [&](size_t i) { return i < text.size() && std::isalnum(static_cast<unsigned char>(text[i])); };
  return at != std::string::npos && (at == 0 || !letter(at - 1)) && !letter(at + length);
}

bool StartsWithWord(std::string_view text, std::string_view word) {
  const std::string lower = Lower(text);
  return lower.starts_with(Lower(word)) && WordAt(lower, 0, word.size());
}

bool HasWord(std::string_view text, std::string_view word) {
  const std::string lower = Lower(text), wanted = Lower(word);
  for (size_t at = lower.find(wanted); at != std::string::npos; at = lower.find(wanted, at + 1)) {
    if (WordAt(lower, at, wanted.size())) return true;
  }
  return false;
}

template <size_t N>
bool ReportsAll(const InputDevice& device, const uint32_t (&keys)[N]) {
  return std::all_of(std::begin(keys), std::end(keys), [&](uint32_t key) { return ReportsKey(device, key); });
}

// Why a machine that is not a notebook has no hotkeys to look at.
std::string ChassisWhy(const std::optional<uint64_t>& type) {
  if (!type) return "the firmware does not say the chassis type";
  const bool desktop = std::find(std::begin(kDesktopChassis), std::end(kDesktopChassis), *type) != std::end(kDesktopChassis);
  return std::string(desktop ? "a desktop chassis" : "not a notebook chassis") + " (DMI chassis type " + std::to_string(*type) + ")";
}

}  // namespace

bool IsNotebookChassis(unsigned chassisType) {
  return std::find(std::begin(kNotebookChassis), std::end(kNotebookChassis), chassisType) != std::end(kNotebookChassis);
}

std::string_view PlatformDriverOf(std::string_view vendor, std::string_view model) {
  for (const PlatformDriver& driver : kPlatformDrivers) {
    if (StartsWithWord(vendor, driver.vendor) && (driver.model.empty() || HasWord(model, driver.model))) return driver.module;
  }
  return {};
}

Hotkeys ReadHotkeys(const SysfsRoot& root) {
  using State = Hotkeys::State;
  Hotkeys hotkeys;
  const auto chassis = root.Number("/sys/class/dmi/id/chassis_type");
  if (!chassis || !IsNotebookChassis(static_cast<unsigned>(*chassis))) {
    hotkeys.why = ChassisWhy(chassis);
    return hotkeys;
  }
  const std::string vendor = root.Text("/sys/class/dmi/id/sys_vendor");
  const std::string model = root.Text("/sys/class/dmi/id/product_name") + " " + root.Text("/sys/class/dmi/id/product_version") +
                            " " + root.Text("/sys/class/dmi/id/product_family");
  hotkeys.vendor = vendor;
  hotkeys.module = PlatformDriverOf(vendor, model);
  if (hotkeys.module.empty()) {
    hotkeys.state = State::UnknownVendor;
    hotkeys.why = vendor.empty() ? "the firmware does not name the maker" : "no platform driver is known for " + vendor;
    return hotkeys;
  }
  const std::string driver = "the " + vendor + " platform driver " + hotkeys.module;
  if (!root.Exists("/sys/module/" + hotkeys.module)) {
    hotkeys.state = State::DriverNotLoaded;
    hotkeys.why = driver + " is not loaded";
    return hotkeys;
  }
  const auto list = root.Read("/proc/bus/input/devices");
  if (!list) {
    hotkeys.state = State::NoInputList;
    hotkeys.why = "the kernel's list of input devices is not readable";
    return hotkeys;
  }
  for (const InputDevice& device : ParseInputDevices(*list)) {
    if (ReportsAll(device, kBrightnessKeys) || ReportsAll(device, kVolumeKeys)) {
      hotkeys.state = State::Working;
      hotkeys.why = driver + "; " + device.name + " reports the function keys";
      return hotkeys;
    }
  }
  hotkeys.state = State::NoKeys;
  hotkeys.why = driver + " is loaded, but no input device reports the brightness or volume keys";
  return hotkeys;
}

ModuleLoad LoadHotkeyDriver(const SysfsRoot& root, const SourcePlaces& places) {
  using Result = ModuleLoad::Result;
  const Hotkeys hotkeys = ReadHotkeys(root);
  switch (hotkeys.state) {
    case Hotkeys::State::NotANotebook:
    case Hotkeys::State::UnknownVendor: return {Result::Unavailable, "", "no hotkey driver applies: " + hotkeys.why};
    case Hotkeys::State::NoKeys: return {Result::Failed, hotkeys.module, hotkeys.why + "; loading it again cannot help"};
    case Hotkeys::State::Working: return {Result::AlreadyLoaded, hotkeys.module, hotkeys.why};
    case Hotkeys::State::NoInputList:
    case Hotkeys::State::DriverNotLoaded: break;
  }
  return LoadModule(places, hotkeys.module);
}

}  // namespace host::machine::linuxhost
