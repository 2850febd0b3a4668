#pragma once
// GNOME's Slow Keys and Bounce Keys: GSettings org.gnome.desktop.a11y.keyboard, through the user's
// own store (dconf) on the running machine and through the keyfile under the recorded home for a
// recorded tree, so that a recorded machine never reads or changes this user's settings.
#include "machine/linux/keyboard_settings.h"

namespace host::machine::linuxhost {

FilterKeysSetting ReadGnomeFilterKeys(const SourcePlaces& places);
// dconf writes through its service on the user's session bus: without one, nothing would be stored.
FilterKeysWritable GnomeFilterKeysWritable(const SourcePlaces& places);
bool TurnOffGnomeFilterKeys(const SourcePlaces& places, const FilterKeysSetting& on);

}  // namespace host::machine::linuxhost
