#pragma once
// The fingerprint service fprintd on the system bus: the readers it has a driver for.
#include <string>
#include <vector>

#include "machine/linux/dbus_client.h"

namespace host::machine::linuxhost {

struct SourcePlaces;

struct FingerprintReaders {
  DbusStatus status = DbusStatus::Failed;  // Answered: `devices` are all fprintd drives
  std::string error;
  std::vector<std::string> devices;  // object paths, "/net/reactivated/Fprint/Device/0"
};

// fprintd starts on demand: asking it may start it.
FingerprintReaders ReadFingerprintReaders(const SourcePlaces& places);

}  // namespace host::machine::linuxhost
