#pragma once
// KDE's Slow Keys and Bounce Keys: group [Keyboard] of kaccessrc in the user's configuration
// directory ($XDG_CONFIG_HOME on the running machine, the recorded home's .config otherwise).
#include "machine/linux/keyboard_settings.h"

namespace host::machine::linuxhost {

FilterKeysSetting ReadKdeFilterKeys(const SourcePlaces& places);
FilterKeysWritable KdeFilterKeysWritable(const SourcePlaces& places);
// Rewrites the file whole, keeping every other key, group and comment.
bool TurnOffKdeFilterKeys(const SourcePlaces& places, const FilterKeysSetting& on);

}  // namespace host::machine::linuxhost
