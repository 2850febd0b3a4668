#pragma once
// A notebook's function hotkeys (brightness, volume): they reach the system when the maker's
// platform driver is loaded and an input device reports those keys. Desktops, and notebooks of
// makers without a platform driver, have nothing to look at.
#include <string>
#include <string_view>

#include "machine/linux/kernel_modules.h"

namespace host::machine::linuxhost {

class SysfsRoot;
struct SourcePlaces;

struct Hotkeys {
  enum class State {
    NotANotebook,     // the chassis is not a notebook's: not applicable
    UnknownVendor,    // no platform driver is known for the maker: not applicable
    NoInputList,      // the kernel's list of input devices is not readable: not checked
    DriverNotLoaded,  // the maker's platform driver is not loaded
    NoKeys,           // no input device reports the brightness or volume keys
    Working,
  } state = State::NotANotebook;
  std::string vendor;  // DMI sys_vendor ("LENOVO")
  std::string module;  // the maker's platform driver ("thinkpad_acpi"); empty when none is known
  std::string why;     // in words: what was looked at, or why it does not apply or fails
};

// The DMI chassis types of portable machines: portable, laptop, notebook, sub notebook, tablet,
// convertible, detachable.
bool IsNotebookChassis(unsigned chassisType);

// The platform driver of a maker (DMI sys_vendor) and model (product name, version and family
// together); empty when none is known.
std::string_view PlatformDriverOf(std::string_view vendor, std::string_view model);

Hotkeys ReadHotkeys(const SysfsRoot& root);

// Loads the maker's platform driver: Unavailable where hotkeys do not apply, Failed when it is
// loaded and still no device reports the keys (loading cannot help then).
ModuleLoad LoadHotkeyDriver(const SysfsRoot& root, const SourcePlaces& places);

}  // namespace host::machine::linuxhost
