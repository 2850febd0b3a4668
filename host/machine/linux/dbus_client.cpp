#include "machine/linux/dbus_client.h"

#include <array>
#include <string_view>

namespace host::machine::linuxhost {
namespace {

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using Error = std::unique_ptr<GError, ErrorFree>;

// The last part of a D-Bus error name tells refusals apart whatever the service calls its domain:
// org.freedesktop.DBus.Error.AccessDenied, org.freedesktop.PolicyKit1.Error.NotAuthorized,
// org.bluez.Error.NotAuthorized, net.reactivated.Fprint.Error.PermissionDenied.
bool IsRefusal(std::string_view name) {
  constexpr std::array<std::string_view, 3> kRefusals = {".AccessDenied", ".NotAuthorized", ".PermissionDenied"};
  for (std::string_view refusal : kRefusals) {
    if (name.ends_with(refusal)) return true;
  }
  return false;
}

DbusStatus StatusOf(const GError* error) {
  if (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
      g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER)) {
    return DbusStatus::NoService;
  }
  if (g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_ACCESS_DENIED) ||
      g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_AUTH_FAILED)) {
    return DbusStatus::Denied;
  }
  if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CLOSED) || g_error_matches(error, G_IO_ERROR, G_IO_ERROR_BROKEN_PIPE) ||
      g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_CLOSED) ||
      g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_DISCONNECTED)) {
    return DbusStatus::NoBus;
  }
  gchar* remote = g_dbus_error_get_remote_error(error);
  const bool refused = remote != nullptr && IsRefusal(remote);
  g_free(remote);
  return refused ? DbusStatus::Denied : DbusStatus::Failed;
}

DbusReply Unanswered(DbusStatus status, std::string error) { return DbusReply{status, std::move(error), nullptr}; }

// A floating reference nobody will take over is still ours to drop.
void Drop(GVariant* floating) {
  if (floating != nullptr) g_variant_unref(g_variant_ref_sink(floating));
}

}  // namespace

DbusConnection::DbusConnection(const std::string& address) {
  GError* raw = nullptr;
  connection_ = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &raw);
  const Error error(raw);
  if (connection_ == nullptr) error_ = address.empty() ? "no bus address" : error ? error->message : "cannot connect";
}

DbusConnection::~DbusConnection() {
  if (connection_ == nullptr) return;
  // Closed at once: the socket must not wait for GDBus's worker to drop its last reference.
  g_dbus_connection_close_sync(connection_, nullptr, nullptr);
  g_object_unref(connection_);
}

DbusReply DbusConnection::Call(const DbusObject& object, const std::string& interface, const std::string& method,
                               GVariant* arguments, const GVariantType* replyType,
                               std::chrono::milliseconds timeout) {
  if (connection_ == nullptr) {
    Drop(arguments);
    return Unanswered(DbusStatus::NoBus, error_);
  }
  GError* raw = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(connection_, object.service.c_str(), object.path.c_str(), interface.c_str(),
                                                method.c_str(), arguments, replyType, G_DBUS_CALL_FLAGS_NONE,
                                                static_cast<gint>(timeout.count()), nullptr, &raw);
  const Error error(raw);
  if (reply == nullptr) return Unanswered(StatusOf(error.get()), error->message);
  return DbusReply{DbusStatus::Answered, {}, Variant(reply)};
}

DbusReply DbusConnection::GetProperty(const DbusObject& object, const std::string& interface, const std::string& name) {
  DbusReply reply = Call(object, "org.freedesktop.DBus.Properties", "Get",
                         g_variant_new("(ss)", interface.c_str(), name.c_str()), G_VARIANT_TYPE("(v)"));
  if (reply.answered()) {
    GVariant* value = nullptr;
    g_variant_get(reply.value.get(), "(v)", &value);
    reply.value.reset(value);
  }
  return reply;
}

DbusReply DbusConnection::SetProperty(const DbusObject& object, const std::string& interface, const std::string& name,
                                      GVariant* value) {
  return Call(object, "org.freedesktop.DBus.Properties", "Set",
              g_variant_new("(ssv)", interface.c_str(), name.c_str(), value), G_VARIANT_TYPE_UNIT);
}

DbusReply DbusConnection::ManagedObjects(const DbusObject& object) {
  DbusReply reply =
      Call(object, "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", nullptr, G_VARIANT_TYPE("(a{oa{sa{sv}}})"));
  if (reply.answered()) reply.value.reset(g_variant_get_child_value(reply.value.get(), 0));
  return reply;
}

}  // namespace host::machine::linuxhost
