#include "machine/linux/gnome_filter_keys.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string_view>

#include "machine/linux/source_places.h"

namespace host::machine::linuxhost {
namespace {

constexpr char kSchema[] = "org.gnome.desktop.a11y.keyboard";
constexpr char kSlowKeys[] = "slowkeys-enable";
constexpr char kBounceKeys[] = "bouncekeys-enable";
constexpr char kDconfService[] = "ca.desrt.dconf";

struct Unref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using Owned = std::unique_ptr<T, Unref>;

// GSettings delivers its change notices to the main context of the thread that made it; these
// calls run on worker threads that have none, so each gets a private one for its lifetime.
class PrivateMainContext {
 public:
  PrivateMainContext() : context_(g_main_context_new()) { g_main_context_push_thread_default(context_); }
  ~PrivateMainContext() {
    g_main_context_pop_thread_default(context_);
    g_main_context_unref(context_);
  }
  PrivateMainContext(const PrivateMainContext&) = delete;
  PrivateMainContext& operator=(const PrivateMainContext&) = delete;

 private:
  GMainContext* context_;
};

// The user's keyboard accessibility settings, or why they cannot be read.
struct OpenedSettings {
  Owned<GSettings> settings;
  bool dconf = false;
  std::string where;
};

std::string KeyfileOf(const std::string& home) { return home + "/.config/glib-2.0/settings/keyfile"; }

// g_settings_new on a schema that is not installed aborts the process; looked up first.
GSettingsSchema* LookUpSchema() {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  GSettingsSchema* schema = source != nullptr ? g_settings_schema_source_lookup(source, kSchema, TRUE) : nullptr;
  if (schema != nullptr &&
      (!g_settings_schema_has_key(schema, kSlowKeys) || !g_settings_schema_has_key(schema, kBounceKeys))) {
    g_settings_schema_unref(schema);
    return nullptr;
  }
  return schema;
}

// The running machine's store is the user's own (dconf, or a keyfile when the user chose one); a
// recorded tree's is the keyfile under its home, and only when it has one.
OpenedSettings Open(const SourcePlaces& places) {
  OpenedSettings opened;
  GSettingsSchema* schema = LookUpSchema();
  if (schema == nullptr) {
    opened.where = "GNOME's keyboard accessibility schema is not installed";
    return opened;
  }
  Owned<GSettingsBackend> backend;
  if (places.running) {
    backend.reset(g_settings_backend_get_default());
    const std::string_view type = G_OBJECT_TYPE_NAME(backend.get());
    opened.dconf = type == "DConfSettingsBackend";
    if (!opened.dconf && type != "GKeyfileSettingsBackend") backend.reset();
    opened.where = backend
                       ? "GNOME settings (" + std::string(opened.dconf ? "dconf" : "keyfile") + ") of " + places.home
                       : "no GNOME settings store (dconf) is installed";
  } else {
    const std::string keyfile = KeyfileOf(places.home);
    std::error_code ec;
    if (std::filesystem::is_regular_file(keyfile, ec))
      backend.reset(g_keyfile_settings_backend_new(keyfile.c_str(), "/", nullptr));
    opened.where = backend ? "GNOME settings (keyfile) of " + places.home : "no GNOME settings under " + places.home;
  }
  if (backend) opened.settings.reset(g_settings_new_full(schema, backend.get(), nullptr));
  g_settings_schema_unref(schema);
  return opened;
}

GVariant* AskBus(GDBusConnection* bus, const char* method, GVariant* arguments) {
  return g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                     method, arguments, nullptr, G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
}

// The dconf service runs on the bus or the bus starts it on demand.
bool DconfServiceOn(GDBusConnection* bus) {
  bool found = false;
  if (GVariant* reply = AskBus(bus, "NameHasOwner", g_variant_new("(s)", kDconfService))) {
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    found = owned;
    g_variant_unref(reply);
  }
  if (GVariant* reply = found ? nullptr : AskBus(bus, "ListActivatableNames", nullptr)) {
    const gchar** names = nullptr;
    g_variant_get(reply, "(^a&s)", &names);
    found = g_strv_contains(names, kDconfService);
    g_free(names);
    g_variant_unref(reply);
  }
  return found;
}

bool DconfServiceReachable(const std::string& address) {
  if (address.empty()) return false;
  GError* error = nullptr;
  Owned<GDBusConnection> bus(g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error));
  if (!bus) {
    g_error_free(error);
    return false;
  }
  const bool on = DconfServiceOn(bus.get());
  g_dbus_connection_close_sync(bus.get(), nullptr, nullptr);
  return on;
}

}  // namespace

FilterKeysSetting ReadGnomeFilterKeys(const SourcePlaces& places) {
  PrivateMainContext context;
  const OpenedSettings opened = Open(places);
  FilterKeysSetting setting;
  setting.where = opened.where;
  if (!opened.settings) return setting;
  setting.slowKeys = g_settings_get_boolean(opened.settings.get(), kSlowKeys);
  setting.bounceKeys = g_settings_get_boolean(opened.settings.get(), kBounceKeys);
  setting.state = setting.slowKeys || setting.bounceKeys ? FilterKeysSetting::State::On : FilterKeysSetting::State::Off;
  return setting;
}

FilterKeysWritable GnomeFilterKeysWritable(const SourcePlaces& places) {
  PrivateMainContext context;
  const OpenedSettings opened = Open(places);
  if (!opened.settings) return FilterKeysWritable::NotPermitted;
  if (opened.dconf && !DconfServiceReachable(places.sessionBus)) return FilterKeysWritable::NeedsSession;
  // A key the administrator locked, or a keyfile whose directory the user may not write.
  const bool writable = g_settings_is_writable(opened.settings.get(), kSlowKeys) &&
                        g_settings_is_writable(opened.settings.get(), kBounceKeys);
  return writable ? FilterKeysWritable::Yes : FilterKeysWritable::NotPermitted;
}

bool TurnOffGnomeFilterKeys(const SourcePlaces& places, const FilterKeysSetting& on) {
  PrivateMainContext context;
  const OpenedSettings opened = Open(places);
  if (!opened.settings) return false;
  bool written = true;
  if (on.slowKeys) written = g_settings_set_boolean(opened.settings.get(), kSlowKeys, FALSE) && written;
  if (on.bounceKeys) written = g_settings_set_boolean(opened.settings.get(), kBounceKeys, FALSE) && written;
  g_settings_sync();  // dconf stores asynchronously; a keyfile is written at once
  return written;
}

}  // namespace host::machine::linuxhost
