#pragma once
// The X server's Slow Keys and Bounce Keys: the keyboard extension's AccessX controls of the core
// keyboard, on a display of this machine only (a remote display's keyboard is not this one).
#include "machine/linux/keyboard_settings.h"

namespace host::machine::linuxhost {

FilterKeysSetting ReadXkbFilterKeys(const SourcePlaces& places);
FilterKeysWritable XkbFilterKeysWritable(const SourcePlaces& places);
bool TurnOffXkbFilterKeys(const SourcePlaces& places, const FilterKeysSetting& on);

}  // namespace host::machine::linuxhost
