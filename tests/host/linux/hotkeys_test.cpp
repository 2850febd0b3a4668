// A notebook's function hotkeys from DMI, the loaded modules and the input devices' keys, on
// recorded machines.
#include "machine/linux/hotkeys.h"

#include <gtest/gtest.h>

#include "machine/linux/source_places.h"
#include "machine/linux/sysfs_root.h"
#include "support/recorded_tree.h"
#include "support/test_env.h"

namespace host::machine::linuxhost {
namespace {

// A recorded machine's refusal to load, as this process hears it.
ModuleLoad::Result Refused() {
  return testenv::MayLoadModulesHere() ? ModuleLoad::Result::RecordedKernel : ModuleLoad::Result::NotPermitted;
}

using State = Hotkeys::State;

TEST(Hotkeys, TheMakersPlatformDriverIsFoundByVendorAndWhereNeededByModel) {
  const struct {
    const char* vendor;
    const char* model;
    const char* module;
  } cases[] = {
      {"LENOVO", "20XWCTO1WW ThinkPad X1 Carbon Gen 9 ThinkPad X1 Carbon Gen 9", "thinkpad_acpi"},
      {"LENOVO", "82KU IdeaPad 5 14ALC05 IdeaPad 5 14ALC05", "ideapad_laptop"},
      {"LENOVO", "21D0 ThinkBook 14 G4+ IAP", "ideapad_laptop"},  // "ThinkBook" is not "ThinkPad"
      {"ASUSTeK COMPUTER INC.", "ZenBook UX425EA", "asus_nb_wmi"},
      {"Dell Inc.", "XPS 13 9310", "dell_wmi"},
      {"HP", "HP EliteBook 840 G8", "hp_wmi"},
      {"Hewlett-Packard", "HP ProBook 450 G0", "hp_wmi"},
      {"hp", "Laptop 15s", "hp_wmi"},
      {"HPE", "ProLiant", ""},  // a prefix of a word is not the word
      {"Micro-Star International Co., Ltd.", "GF63 Thin 10SCXR", "msi_wmi"},
      {"Framework", "Laptop (12th Gen Intel Core)", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PlatformDriverOf(c.vendor, c.model), c.module) << c.vendor << " / " << c.model;
}

TEST(Hotkeys, TheRecordedNotebookAndItsChangesSayWhatTheKeysDependOn) {
  // A keyboard of the typing keys alone, and the power button.
  const std::string noKeys = "N: Name=\"AT Raw Set 2 keyboard\"\nB: EV=120013\nB: KEY=fffffffffffffffe\n\n"
                             "N: Name=\"Power Button\"\nB: EV=3\nB: KEY=10000000000000 0\n";
  const std::string brightnessOnly = "N: Name=\"Video Bus\"\nB: EV=3\nB: KEY=3e000b00000000 0 0 0\n";
  const struct {
    const char* label;
    std::vector<std::pair<const char*, std::string>> files;  // written; an empty text removes the path
    State state;
    const char* module;
    const char* why;  // a part of it
  } cases[] = {
      {"as recorded", {}, State::Working, "thinkpad_acpi", "Logitech K400 Plus reports the function keys"},
      {"a desktop chassis", {{"/sys/class/dmi/id/chassis_type", "3\n"}}, State::NotANotebook, "", "a desktop chassis (DMI chassis type 3)"},
      {"a virtual machine's chassis", {{"/sys/class/dmi/id/chassis_type", "1\n"}}, State::NotANotebook, "", "not a notebook chassis"},
      {"no chassis type", {{"/sys/class/dmi/id/chassis_type", ""}}, State::NotANotebook, "", "does not say the chassis type"},
      {"a convertible", {{"/sys/class/dmi/id/chassis_type", "31\n"}}, State::Working, "thinkpad_acpi", "thinkpad_acpi"},
      {"a maker without a platform driver", {{"/sys/class/dmi/id/sys_vendor", "Framework\n"}}, State::UnknownVendor, "", "no platform driver is known for Framework"},
      {"no maker", {{"/sys/class/dmi/id/sys_vendor", ""}}, State::UnknownVendor, "", "does not name the maker"},
      {"the driver not loaded", {{"/sys/module/thinkpad_acpi", ""}}, State::DriverNotLoaded, "thinkpad_acpi", "thinkpad_acpi is not loaded"},
      {"an IdeaPad",
       {{"/sys/class/dmi/id/product_version", "IdeaPad 5 14ALC05\n"}, {"/sys/class/dmi/id/product_family", "IdeaPad 5 14ALC05\n"}},
       State::DriverNotLoaded, "ideapad_laptop", "the LENOVO platform driver ideapad_laptop is not loaded"},
      {"no device with the keys", {{"/proc/bus/input/devices", noKeys}}, State::NoKeys, "thinkpad_acpi", "no input device reports"},
      {"only the brightness keys", {{"/proc/bus/input/devices", brightnessOnly}}, State::Working, "thinkpad_acpi", "Video Bus"},
      {"no input device list", {{"/proc/bus/input/devices", ""}}, State::NoInputList, "thinkpad_acpi", "not readable"},
  };
  testenv::CopiedMachine tree("notebook");
  for (const auto& c : cases) {
    for (const auto& [path, text] : c.files) text.empty() ? tree.Remove(path) : tree.Write(path, text);

    const Hotkeys hotkeys = ReadHotkeys(SysfsRoot(tree.root()));

    EXPECT_EQ(hotkeys.state, c.state) << c.label << ": " << hotkeys.why;
    EXPECT_EQ(hotkeys.module, c.module) << c.label;
    EXPECT_NE(hotkeys.why.find(c.why), std::string::npos) << c.label << ": " << hotkeys.why;
    for (const auto& file : c.files) tree.Restore(file.first);
  }
}

TEST(Hotkeys, LoadingThePlatformDriverIsRefusedWhereItCannotHelpAndNeverDoneForARecordedMachine) {
  const struct {
    const char* label;
    std::vector<std::pair<const char*, const char*>> files;  // written; empty text removes
    ModuleLoad::Result result;
    const char* modules;
  } cases[] = {
      {"working", {}, ModuleLoad::Result::AlreadyLoaded, "thinkpad_acpi"},
      {"a desktop", {{"/sys/class/dmi/id/chassis_type", "3\n"}}, ModuleLoad::Result::Unavailable, ""},
      {"not loaded", {{"/sys/module/thinkpad_acpi", ""}}, Refused(), "thinkpad_acpi"},
      {"not loaded, not in the modules tree",
       {{"/sys/module/thinkpad_acpi", ""}, {"/sys/class/dmi/id/product_version", "IdeaPad 5\n"}, {"/sys/class/dmi/id/product_family", ""}},
       ModuleLoad::Result::NotFound, "ideapad_laptop"},
      {"loaded, no keys", {{"/proc/bus/input/devices", "N: Name=\"Power Button\"\nB: KEY=10000000000000 0\n"}}, ModuleLoad::Result::Failed, "thinkpad_acpi"},
  };
  testenv::CopiedMachine tree("notebook");
  testenv::WriteModulesTree(tree.root(), "6.1.0-18-amd64", {{"thinkpad_acpi", {"acpi*:LEN0268:*"}}});
  const SysfsRoot root(tree.root());
  for (const auto& c : cases) {
    for (const auto& [path, text] : c.files) *text ? tree.Write(path, text) : tree.Remove(path);

    const ModuleLoad load = LoadHotkeyDriver(root, SourcePlaces::For(root));

    EXPECT_EQ(load.result, c.result) << c.label << ": " << load.said;
    EXPECT_EQ(load.modules, c.modules) << c.label;
    for (const auto& file : c.files) tree.Restore(file.first);
  }
}

}  // namespace
}  // namespace host::machine::linuxhost
