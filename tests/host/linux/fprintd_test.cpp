// The fingerprint reader's driver as fprintd sees it (a dbusmock fprintd on a private system bus).
#include "machine/linux/fprintd.h"

#include <gtest/gtest.h>

#include "host/linux/notebook_on_bus.h"

namespace host::machine::linuxhost::bustest {
namespace {

using Kind = Applicability::Kind;

TEST(Fprintd, AReaderOnTheUsbBusWorksWhenFprintdListsIt) {
  NotebookOnBus& services = NotebookOnBus::Shared();
  services.Require();
  const std::string notebook = services.root(), desktop = testenv::RecordedMachinePath("desktop");
  const struct {
    const char* label;
    std::string tree;
    std::vector<std::string> readers;
    bool refusing;
    Bus bus;
    uint32_t code;
    std::u16string message;
    Kind kind;
    std::string here;
  } cases[] = {
      {"listed", notebook, {"Synaptics Sensors"}, false, Bus::Mocked, 0, u"", Kind::Runs, "the readers fprintd lists, for Fingerprint reader (Synaptics)"},
      {"not listed", notebook, {}, false, Bus::Mocked, 2, u"IDS_HARDWARE_DIAGNOSE_FINGERPRINT_NO_DRIVER", Kind::Runs,
       "the readers fprintd lists, for Fingerprint reader (Synaptics)"},
      {"refused", notebook, {"Synaptics Sensors"}, true, Bus::Mocked, kNotCheckedCode,
       u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_SERVICE_DENIED", Kind::CannotRun, "the fingerprint service (fprintd) refuses this user"},
      {"fprintd absent", notebook, {}, false, Bus::Bare, kNotCheckedCode, u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_FPRINTD",
       Kind::CannotRun, "the fingerprint service (fprintd) is not installed"},
      {"no system bus", notebook, {}, false, Bus::None, kNotCheckedCode, u"IDS_HARDWARE_DIAGNOSE_NOT_CHECKED_NO_SYSTEM_BUS",
       Kind::CannotRun, "the system bus is not reachable"},
      {"no reader at all", desktop, {}, false, Bus::Mocked, 0, u"", Kind::NotApplicable, "no fingerprint reader"},
  };
  for (const auto& c : cases) {
    services.SetReaders(c.readers, c.refusing);
    const Checking machine(c.tree, c.bus);

    const CheckResult result = machine.Check("biometric.function");
    const Applicability here = machine.Here("biometric.function");

    EXPECT_EQ(std::tie(result.code, result.messageKey, result.passed), std::make_tuple(c.code, c.message, c.code == 0))
        << c.label;
    EXPECT_EQ(std::tie(here.kind, here.text), std::tie(c.kind, c.here)) << c.label;
  }
}

TEST(Fprintd, ListsTheReadersObjectPaths) {
  NotebookOnBus& services = NotebookOnBus::Shared();
  services.Require();
  services.SetReaders({"Synaptics Sensors", "Goodix MOC"});

  const FingerprintReaders readers = ReadFingerprintReaders(services.Places());

  EXPECT_EQ(readers.status, DbusStatus::Answered) << readers.error;
  EXPECT_EQ(readers.devices, (std::vector<std::string>{"/net/reactivated/Fprint/Device/0", "/net/reactivated/Fprint/Device/1"}));
}

}  // namespace
}  // namespace host::machine::linuxhost::bustest
