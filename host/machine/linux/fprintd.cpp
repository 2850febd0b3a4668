#include "machine/linux/fprintd.h"

#include "machine/linux/source_places.h"

namespace host::machine::linuxhost {

FingerprintReaders ReadFingerprintReaders(const SourcePlaces& places) {
  DbusConnection bus(places.systemBus);
  const DbusReply reply = bus.Call({"net.reactivated.Fprint", "/net/reactivated/Fprint/Manager"},
                                   "net.reactivated.Fprint.Manager", "GetDevices", nullptr, G_VARIANT_TYPE("(ao)"),
                                   kDbusStartTimeout);
  FingerprintReaders found{reply.status, reply.error, {}};
  if (!reply.answered()) return found;
  GVariantIter* devices = nullptr;
  g_variant_get(reply.value.get(), "(ao)", &devices);
  for (const gchar* path = nullptr; g_variant_iter_next(devices, "&o", &path);) found.devices.emplace_back(path);
  g_variant_iter_free(devices);
  return found;
}

}  // namespace host::machine::linuxhost
