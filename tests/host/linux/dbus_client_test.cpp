// Questions to a private bus tell apart an answer, no bus, no service, a refusal and other errors.
#include "machine/linux/dbus_client.h"

#include <gtest/gtest.h>

#include "host/linux/notebook_on_bus.h"

namespace host::machine::linuxhost::bustest {
namespace {

TEST(DbusClient, EachWayAQuestionEndsHasItsOwnStatus) {
  NotebookOnBus& services = NotebookOnBus::Shared();
  services.Require();
  services.SetAdapters({{"hci0", true}, {"hci1", false}});
  services.SetReaders({}, true);
  const std::string bus = services.Places().systemBus;
  const DbusObject hci0{"org.bluez", "/org/bluez/hci0"}, hci1{"org.bluez", "/org/bluez/hci1"};
  const DbusObject fprintd{"net.reactivated.Fprint", "/net/reactivated/Fprint/Manager"};
  const struct {
    const char* label;
    std::string address;
    std::function<DbusReply(DbusConnection&)> ask;
    DbusStatus status;
  } cases[] = {
      {"a property", bus, [&](DbusConnection& c) { return c.GetProperty(hci0, "org.bluez.Adapter1", "Powered"); },
       DbusStatus::Answered},
      {"a property written", bus,
       [&](DbusConnection& c) { return c.SetProperty(hci0, "org.bluez.Adapter1", "Powered", g_variant_new_boolean(TRUE)); },
       DbusStatus::Answered},
      {"managed objects", bus, [&](DbusConnection& c) { return c.ManagedObjects({"org.bluez", "/"}); }, DbusStatus::Answered},
      {"nobody owns the name", bus, [&](DbusConnection& c) { return c.ManagedObjects({"org.example.Nobody", "/"}); },
       DbusStatus::NoService},
      {"the bus's policy refuses", bus,
       [&](DbusConnection& c) { return c.SetProperty(hci1, "org.bluez.Adapter1", "Powered", g_variant_new_boolean(TRUE)); },
       DbusStatus::Denied},
      {"the service refuses", bus,
       [&](DbusConnection& c) { return c.Call(fprintd, "net.reactivated.Fprint.Manager", "GetDevices", nullptr, nullptr); },
       DbusStatus::Denied},
      {"no such method", bus,
       [&](DbusConnection& c) { return c.Call(fprintd, "net.reactivated.Fprint.Manager", "Explode", nullptr, nullptr); },
       DbusStatus::Failed},
      {"an unexpected reply type", bus,
       [&](DbusConnection& c) { return c.Call({"org.bluez", "/"}, "org.freedesktop.DBus.ObjectManager", "GetManagedObjects",
                                              nullptr, G_VARIANT_TYPE("(as)")); },
       DbusStatus::Failed},
      {"nothing listens", services.noBus(), [&](DbusConnection& c) { return c.GetProperty(hci0, "org.bluez.Adapter1", "Powered"); },
       DbusStatus::NoBus},
      {"not an address", "no-such-transport:", [&](DbusConnection& c) {
         return c.SetProperty(hci0, "org.bluez.Adapter1", "Powered", g_variant_new_boolean(TRUE)); },
       DbusStatus::NoBus},
  };
  for (const auto& c : cases) {
    DbusConnection connection(c.address);
    EXPECT_EQ(connection.connected(), c.status != DbusStatus::NoBus) << c.label << ": " << connection.error();
    const DbusReply reply = c.ask(connection);
    EXPECT_EQ(reply.status, c.status) << c.label << ": " << reply.error;
    EXPECT_EQ(reply.value != nullptr, reply.answered()) << c.label;
    EXPECT_EQ(reply.error.empty(), reply.answered()) << c.label;
  }
  EXPECT_EQ(services.Powered("hci0"), true);
  EXPECT_EQ(services.Powered("hci1"), false);
}

TEST(DbusClient, AQuestionAfterTheBusHasGoneIsNoBus) {
  auto bus = std::make_unique<testenv::PrivateBus>();
  ASSERT_TRUE(bus->ok()) << bus->error();
  DbusConnection connection(bus->address());
  ASSERT_TRUE(connection.connected()) << connection.error();

  bus.reset();

  EXPECT_EQ(connection.ManagedObjects({"org.bluez", "/"}).status, DbusStatus::NoBus);
}

TEST(DbusClient, APropertyIsItsBareValueAndManagedObjectsTheirInterfaces) {
  NotebookOnBus& services = NotebookOnBus::Shared();
  services.Require();
  services.SetAdapters({{"hci0", false}});
  DbusConnection bus(services.Places().systemBus);

  const DbusReply name = bus.GetProperty({"org.bluez", "/org/bluez/hci0"}, "org.bluez.Adapter1", "Name");
  const DbusReply objects = bus.ManagedObjects({"org.bluez", "/"});

  ASSERT_TRUE(name.answered()) << name.error;
  EXPECT_STREQ(g_variant_get_string(name.value.get(), nullptr), "notebook");
  ASSERT_TRUE(objects.answered()) << objects.error;
  GVariant* adapter = g_variant_lookup_value(objects.value.get(), "/org/bluez/hci0", G_VARIANT_TYPE("a{sa{sv}}"));
  ASSERT_NE(adapter, nullptr);
  gboolean powered = TRUE;
  GVariant* properties = g_variant_lookup_value(adapter, "org.bluez.Adapter1", G_VARIANT_TYPE_VARDICT);
  EXPECT_TRUE(properties != nullptr && g_variant_lookup(properties, "Powered", "b", &powered));
  EXPECT_FALSE(powered);
  if (properties != nullptr) g_variant_unref(properties);
  g_variant_unref(adapter);
}

}  // namespace
}  // namespace host::machine::linuxhost::bustest
