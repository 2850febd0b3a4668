#pragma once
// The Bluetooth service BlueZ on the system bus: its adapters, whether each is powered, and
// powering them on.
#include <string>
#include <vector>

#include "machine/linux/dbus_client.h"

namespace host::machine::linuxhost {

struct SourcePlaces;

struct BluezAdapter {
  std::string path;  // "/org/bluez/hci0"
  bool powered = false;

  std::string name() const;  // "hci0"
};

struct BluezAdapters {
  DbusStatus status = DbusStatus::Failed;  // Answered: `adapters` are all BlueZ manages
  std::string error;
  std::vector<BluezAdapter> adapters;  // in the order of their paths

  std::vector<BluezAdapter> Unpowered() const;
};

BluezAdapters ReadBluezAdapters(const SourcePlaces& places);

// Whether this user may power the adapters: writes back the value each one has, which changes
// nothing but passes the bus's and BlueZ's permission checks as a change would.
DbusStatus MayPower(const SourcePlaces& places, const std::vector<BluezAdapter>& adapters);

// Powers each adapter on; stops at the first that refuses.
DbusStatus PowerOn(const SourcePlaces& places, const std::vector<BluezAdapter>& adapters);

}  // namespace host::machine::linuxhost
