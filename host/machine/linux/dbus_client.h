#pragma once
// Short synchronous questions to a service on a D-Bus message bus (GDBus). Each DbusConnection is
// its owner's own, never GLib's process-wide bus, so a test's private bus and the system bus never
// mix and threads never share one. Every call gives up after kDbusTimeout.
#include <gio/gio.h>

#include <chrono>
#include <memory>
#include <string>

namespace host::machine::linuxhost {

inline constexpr std::chrono::milliseconds kDbusTimeout{2000};
// A service the bus starts on demand (fprintd) first has to start and probe its devices.
inline constexpr std::chrono::milliseconds kDbusStartTimeout{10000};

struct VariantUnref {
  void operator()(GVariant* value) const { g_variant_unref(value); }
};
using Variant = std::unique_ptr<GVariant, VariantUnref>;

// How a question to a bus ended.
enum class DbusStatus {
  Answered,
  NoBus,      // nothing answers at the bus address, or the bus hung up
  NoService,  // nobody owns the service's name and nothing can start it
  Denied,     // the bus's policy or the service (PolicyKit) refuses this user
  Failed,     // any other error, a timeout included
};

struct DbusReply {
  DbusStatus status = DbusStatus::Failed;
  std::string error;  // the error's name and text when not answered
  Variant value;      // Call: the reply's tuple; GetProperty: the value; ManagedObjects: a{oa{sa{sv}}}

  bool answered() const { return status == DbusStatus::Answered; }
};

// An object of a service: "org.bluez", "/org/bluez/hci0".
struct DbusObject {
  std::string service;
  std::string path;
};

class DbusConnection {
 public:
  // Connects to the bus at a D-Bus address ("unix:path=/run/dbus/system_bus_socket") and says hello.
  explicit DbusConnection(const std::string& address);
  ~DbusConnection();
  DbusConnection(const DbusConnection&) = delete;
  DbusConnection& operator=(const DbusConnection&) = delete;

  bool connected() const { return connection_ != nullptr; }
  const std::string& error() const { return error_; }  // why it is not connected

  // `arguments` is a tuple or null; a floating reference is taken over. `replyType` null: any.
  DbusReply Call(const DbusObject& object, const std::string& interface, const std::string& method,
                 GVariant* arguments, const GVariantType* replyType,
                 std::chrono::milliseconds timeout = kDbusTimeout);
  DbusReply GetProperty(const DbusObject& object, const std::string& interface, const std::string& name);
  // `value`: a floating reference is taken over.
  DbusReply SetProperty(const DbusObject& object, const std::string& interface, const std::string& name, GVariant* value);
  // The objects below `object` with their interfaces and properties (org.freedesktop.DBus.ObjectManager).
  DbusReply ManagedObjects(const DbusObject& object);

 private:
  GDBusConnection* connection_ = nullptr;
  std::string error_;
};

}  // namespace host::machine::linuxhost
