#include "machine/linux/bluez.h"

#include <algorithm>

#include "machine/linux/source_places.h"

namespace host::machine::linuxhost {
namespace {

constexpr const char* kBluez = "org.bluez";
constexpr const char* kAdapterInterface = "org.bluez.Adapter1";

enum class PowerTo { AsItIs, On };

DbusStatus WritePowered(const SourcePlaces& places, const std::vector<BluezAdapter>& adapters, PowerTo to) {
  if (adapters.empty()) return DbusStatus::Answered;
  DbusConnection bus(places.systemBus);
  for (const BluezAdapter& adapter : adapters) {
    const bool powered = to == PowerTo::On || adapter.powered;
    const DbusReply reply =
        bus.SetProperty({kBluez, adapter.path}, kAdapterInterface, "Powered", g_variant_new_boolean(powered));
    if (!reply.answered()) return reply.status;
  }
  return DbusStatus::Answered;
}

}  // namespace

std::string BluezAdapter::name() const { return path.substr(path.rfind('/') + 1); }

std::vector<BluezAdapter> BluezAdapters::Unpowered() const {
  std::vector<BluezAdapter> off;
  std::copy_if(adapters.begin(), adapters.end(), std::back_inserter(off), [](const BluezAdapter& a) { return !a.powered; });
  return off;
}

// BlueZ's object manager at "/" lists every adapter with its properties.
BluezAdapters ReadBluezAdapters(const SourcePlaces& places) {
  DbusConnection bus(places.systemBus);
  const DbusReply reply = bus.ManagedObjects({kBluez, "/"});
  BluezAdapters found{reply.status, reply.error, {}};
  if (!reply.answered()) return found;
  GVariantIter objects;
  g_variant_iter_init(&objects, reply.value.get());
  const gchar* path = nullptr;
  GVariant* interfaces = nullptr;
  while (g_variant_iter_loop(&objects, "{&o@a{sa{sv}}}", &path, &interfaces)) {
    GVariant* properties = g_variant_lookup_value(interfaces, kAdapterInterface, G_VARIANT_TYPE_VARDICT);
    if (properties == nullptr) continue;
    gboolean powered = FALSE;
    g_variant_lookup(properties, "Powered", "b", &powered);
    g_variant_unref(properties);
    found.adapters.push_back({path, powered != FALSE});
  }
  std::sort(found.adapters.begin(), found.adapters.end(),
            [](const BluezAdapter& a, const BluezAdapter& b) { return a.path < b.path; });
  return found;
}

DbusStatus MayPower(const SourcePlaces& places, const std::vector<BluezAdapter>& adapters) {
  return WritePowered(places, adapters, PowerTo::AsItIs);
}

DbusStatus PowerOn(const SourcePlaces& places, const std::vector<BluezAdapter>& adapters) {
  return WritePowered(places, adapters, PowerTo::On);
}

}  // namespace host::machine::linuxhost
