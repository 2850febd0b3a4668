#pragma once
// The recorded notebook copied to a short temporary directory, with a private system bus at its
// run/dbus/system_bus_socket (where a recorded tree's system bus is) carrying BlueZ and fprintd
// mocks, and a bare bus beside it. One for the whole test program: starting them takes a second.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "machine/linux/dbus_client.h"
#include "machine/linux/hardware_reader.h"
#include "machine/linux/linux_checks.h"
#include "machine/linux/source_places.h"
#include "machine/linux/sysfs_root.h"
#include "support/private_bus.h"
#include "support/test_env.h"

namespace host::machine::linuxhost::bustest {

// Powering /org/bluez/hci1 is refused by the bus, as a distribution's policy would refuse it.
inline constexpr const char* kRefuseHci1 =
    R"(<deny send_destination="org.bluez" send_interface="org.freedesktop.DBus.Properties" send_member="Set" )"
    R"(send_path="/org/bluez/hci1"/>)";

class NotebookOnBus {
 public:
  static NotebookOnBus& Shared() {
    static NotebookOnBus shared;
    return shared;
  }

  // Fails the test when a daemon or mock did not start.
  void Require() const {
    ASSERT_TRUE(bus_.ok()) << bus_.error();
    ASSERT_TRUE(bare_.ok()) << bare_.error();
    ASSERT_TRUE(bluez_.ok()) << bluez_.error();
    ASSERT_TRUE(fprintd_.ok()) << fprintd_.error();
  }

  const std::string& root() const { return root_; }
  SourcePlaces Places() const { return SourcePlaces::For(SysfsRoot(root_)); }
  std::string bareBus() const { return bare_.address(); }
  std::string noBus() const { return "unix:path=" + root_ + "/run/nothing-listens-here"; }

  // The BlueZ mock manages exactly these adapters ("hci0" -> powered).
  void SetAdapters(const std::map<std::string, bool>& adapters) {
    for (const std::string& name : adapters_) Control({"org.bluez", "/"}, "org.bluez.Mock", "RemoveAdapter", g_variant_new("(s)", name.c_str()));
    adapters_.clear();
    for (const auto& [name, powered] : adapters) {
      Control({"org.bluez", "/"}, "org.bluez.Mock", "AddAdapter", g_variant_new("(ss)", name.c_str(), "notebook"));
      adapters_.push_back(name);
      GVariantBuilder properties;
      g_variant_builder_init(&properties, G_VARIANT_TYPE_VARDICT);
      g_variant_builder_add(&properties, "{sv}", "Powered", g_variant_new_boolean(powered));
      Control({"org.bluez", "/org/bluez/" + name}, "org.freedesktop.DBus.Mock", "UpdateProperties",
              g_variant_new("(sa{sv})", "org.bluez.Adapter1", &properties));
    }
  }

  // What the BlueZ mock holds now, read back through its properties.
  std::optional<bool> Powered(const std::string& adapter) {
    const DbusReply reply = control_.GetProperty({"org.bluez", "/org/bluez/" + adapter}, "org.bluez.Adapter1", "Powered");
    if (!reply.answered() || !g_variant_is_of_type(reply.value.get(), G_VARIANT_TYPE_BOOLEAN)) return std::nullopt;
    return g_variant_get_boolean(reply.value.get()) != FALSE;
  }

  // fprintd lists a reader of each name; refusing, it answers with its permission error.
  void SetReaders(const std::vector<std::string>& names, bool refusing = false) {
    Control({"net.reactivated.Fprint", "/net/reactivated/Fprint/Manager"}, "net.reactivated.Fprint.Mock", "RemoveReaders", nullptr);
    for (const std::string& name : names) {
      Control({"net.reactivated.Fprint", "/net/reactivated/Fprint/Manager"}, "net.reactivated.Fprint.Mock", "AddReader",
              g_variant_new("(s)", name.c_str()));
    }
    Control({"net.reactivated.Fprint", "/net/reactivated/Fprint/Manager"}, "net.reactivated.Fprint.Mock", "SetRefusing",
            g_variant_new("(b)", refusing));
  }

  // The notebook's Bluetooth radio switch (rfkill1).
  void SetRadio(bool softBlocked, bool hardBlocked = false) const {
    std::ofstream(root_ + "/sys/class/rfkill/rfkill1/soft") << (softBlocked ? "1\n" : "0\n");
    std::ofstream(root_ + "/sys/class/rfkill/rfkill1/hard") << (hardBlocked ? "1\n" : "0\n");
  }
  std::string RadioSoftBlock() const { return SysfsRoot(root_).Text("/sys/class/rfkill/rfkill1/soft"); }

  DbusConnection& control() { return control_; }

 private:
  NotebookOnBus()
      : root_(CopyOfNotebook()),
        bus_(root_ + "/run/dbus/system_bus_socket", kRefuseHci1),
        bare_(),
        bluez_(bus_, "org.bluez", {"-t", "bluez5"}),
        fprintd_(bus_, "net.reactivated.Fprint", {"-t", testenv::TestDataPath("dbusmock/fprintd.py")}),
        control_(bus_.address()) {}
  ~NotebookOnBus() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  static std::string CopyOfNotebook() {
    char pattern[] = "/tmp/sdnb-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return "/nonexistent";
    std::filesystem::copy(testenv::RecordedMachinePath("notebook"), pattern,
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
    return pattern;
  }

  void Control(const DbusObject& object, const std::string& interface, const std::string& method, GVariant* arguments) {
    const DbusReply reply = control_.Call(object, interface, method, arguments, nullptr);
    EXPECT_TRUE(reply.answered()) << method << ": " << reply.error;
  }

  std::string root_;
  testenv::PrivateBus bus_;
  testenv::PrivateBus bare_;
  testenv::MockService bluez_;
  testenv::MockService fprintd_;
  DbusConnection control_;
  std::vector<std::string> adapters_;
};

enum class Bus { Mocked, Bare, None };

// The checks and repairs of one recorded tree, asking the system bus given instead of the tree's.
class Checking {
 public:
  Checking(const std::string& tree, Bus bus) : root_(tree), inventory_(ReadInventory(root_)), places_(SourcePlaces::For(root_)) {
    const NotebookOnBus& services = NotebookOnBus::Shared();
    if (bus == Bus::Bare) places_.systemBus = services.bareBus();
    if (bus == Bus::None) places_.systemBus = services.noBus();
  }
  CheckResult Check(std::string_view path) const { return FindLinuxCheck(path)->run(Context()); }
  Applicability Here(std::string_view path) const { return FindLinuxCheck(path)->here(Context()); }
  RepairOutcome Repair(std::string_view name) const { return FindLinuxRepair(name)->run(Context()); }

 private:
  CheckContext Context() const { return {root_, inventory_, places_, size_t{1} << 20, hook_}; }

  SysfsRoot root_;
  Inventory inventory_;
  SourcePlaces places_;
  BetweenWriteAndVerify hook_;
};

}  // namespace host::machine::linuxhost::bustest
