// Bluetooth's state and repair through rfkill and BlueZ (a dbusmock BlueZ on a private system bus).
#include "machine/linux/bluez.h"

#include <gtest/gtest.h>

#include "host/linux/notebook_on_bus.h"

namespace host::machine::linuxhost::bustest {
namespace {

using Kind = Applicability::Kind;

TEST(Bluez, TheStateIsTheRadioSwitchFirstThenThePowerOfEveryAdapter) {
  NotebookOnBus& services = NotebookOnBus::Shared();
  services.Require();
  const struct {
    const char* label;
    bool radioOff;
    std::map<std::string, bool> adapters;
    Bus bus;
    uint32_t code;
    std::u16string message;
    Kind kind;
    std::string here;
  } cases[] = {
      {"powered", false, {{"hci0", true}}, Bus::Mocked, 0, u"", Kind::Runs, "rfkill and BlueZ adapter hci0"},
      {"radio switched off", true, {{"hci0", true}}, Bus::Mocked, 1, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_OFF", Kind::Runs,
       "rfkill and BlueZ adapter hci0"},
      {"powered off in BlueZ", false, {{"hci0", false}}, Bus::Mocked, 1, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_OFF", Kind::Runs,
       "rfkill and BlueZ adapter hci0"},
      {"one of two off", false, {{"hci0", true}, {"hci1", false}}, Bus::Mocked, 1, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_OFF",
       Kind::Runs, "rfkill and BlueZ adapters hci0, hci1"},
      {"a controller BlueZ does not manage", false, {}, Bus::Mocked, 2, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DRIVER_ERROR",
       Kind::Runs, "rfkill, and BlueZ, which lists no adapter"},
      {"BlueZ not running", false, {}, Bus::Bare, kNotCheckedCode, u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_BLUEZ",
       Kind::CannotRun, "the Bluetooth service (BlueZ) is not running"},
      {"radio off, BlueZ not running", true, {}, Bus::Bare, 1, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_OFF", Kind::CannotRun,
       "the Bluetooth service (BlueZ) is not running"},
      {"no system bus", false, {{"hci0", true}}, Bus::None, kNotCheckedCode,
       u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_SYSTEM_BUS", Kind::CannotRun, "the system bus is not reachable"},
  };
  for (const auto& c : cases) {
    services.SetRadio(c.radioOff);
    services.SetAdapters(c.adapters);
    const Checking machine(services.root(), c.bus);

    const CheckResult result = machine.Check("bluetooth.state");
    const Applicability here = machine.Here("bluetooth.state");

    EXPECT_EQ(std::tie(result.code, result.messageKey, result.passed), std::make_tuple(c.code, c.message, c.code == 0))
        << c.label;
    EXPECT_EQ(result.level, c.code == kNotCheckedCode ? 1u : 0u) << c.label;
    EXPECT_EQ(std::tie(here.kind, here.text), std::tie(c.kind, c.here)) << c.label;
  }
}

TEST(Bluez, WithoutAControllerTheStateIsNotAskedAndPasses) {
  const Checking desktop(testenv::RecordedMachinePath("desktop"), Bus::None);
  EXPECT_TRUE(desktop.Check("bluetooth.state").passed);
  EXPECT_EQ(desktop.Here("bluetooth.state").kind, Kind::NotApplicable);
}

// Nothing changes unless every step may be taken: BlueZ refusing one adapter leaves the radio
// and the other adapters as they were. Without BlueZ the radio switch alone is the repair.
TEST(Bluez, TheRepairSwitchesTheRadioOnThenPowersEveryAdapterOn) {
  NotebookOnBus& services = NotebookOnBus::Shared();
  services.Require();
  const struct {
    const char* label;
    bool radioOff, hardSwitchOff;
    std::map<std::string, bool> adapters;
    Bus bus;
    std::u16string message;
    std::string softBlockAfter;
    std::map<std::string, bool> adaptersAfter;
  } cases[] = {
      {"radio and adapter off", true, false, {{"hci0", false}}, Bus::Mocked, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS", "0",
       {{"hci0", true}}},
      {"adapter off", false, false, {{"hci0", false}}, Bus::Mocked, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS", "0",
       {{"hci0", true}}},
      {"powering hci1 refused", true, false, {{"hci0", false}, {"hci1", false}}, Bus::Mocked,
       u"IDS_HARDWARE_DIAGNOSE_REPAIR_NOT_PERMITTED", "1", {{"hci0", false}, {"hci1", false}}},
      {"hardware switch off", false, true, {{"hci0", false}}, Bus::Mocked, u"IDS_HARDWARE_DIAGNOSE_REPAIR_HARDWARE_SWITCH",
       "0", {{"hci0", false}}},
      {"BlueZ not running", true, false, {{"hci0", false}}, Bus::Bare, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS", "0",
       {{"hci0", false}}},
      {"no system bus", true, false, {{"hci0", false}}, Bus::None, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS", "0",
       {{"hci0", false}}},
  };
  for (const auto& c : cases) {
    services.SetRadio(c.radioOff, c.hardSwitchOff);
    services.SetAdapters(c.adapters);

    const RepairOutcome outcome = Checking(services.root(), c.bus).Repair("RepairBTProblems");

    EXPECT_EQ(outcome.message, c.message) << c.label;
    EXPECT_EQ(outcome.succeeded, c.message == u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS") << c.label;
    EXPECT_EQ(services.RadioSoftBlock(), c.softBlockAfter) << c.label;
    for (const auto& [adapter, powered] : c.adaptersAfter) EXPECT_EQ(services.Powered(adapter), powered) << c.label << " " << adapter;
  }
}

}  // namespace
}  // namespace host::machine::linuxhost::bustest
