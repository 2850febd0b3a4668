// Kernel modules through libkmod over a modules tree built for the test; nothing is ever loaded
// into this machine's kernel.
#include "machine/linux/kernel_modules.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "machine/linux/source_places.h"
#include "support/recorded_tree.h"

namespace host::machine::linuxhost {
namespace {

namespace fs = std::filesystem;
using Result = ModuleLoad::Result;

// A recorded machine's modules tree: looked up, never loaded from.
class StandInModules : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    base_ = new std::string(testing::TempDir() + "modules-" + std::to_string(getpid()));
    fs::remove_all(*base_);
    tree_ = new std::string(testenv::WriteModulesTree(
        *base_, "6.1.0-test",
        {{"iwlwifi", {"pci:v00008086d0000A0F0sv*sd*bc*sc*i*", "pci:v00008086d00002723sv*sd*bc*sc*i*"}},
         {"r8169", {"pci:v000010ECd00008168sv*sd*bc*sc*i*"}},
         {"nouveau", {"pci:v000010DEd*sv*sd*bc03sc*i*"}},
         {"snd_hda_intel", {"pci:v*d*sv*sd*bc04sc03i00*"}},
         {"thinkpad_acpi", {"acpi*:LEN0268:*"}}}));
  }
  static void TearDownTestSuite() {
    fs::remove_all(*base_);
    delete base_;
    delete tree_;
  }
  static SourcePlaces Recorded() {
    SourcePlaces places;
    places.running = false;
    places.modulesDirectory = *tree_;
    return places;
  }
  static std::string* base_;
  static std::string* tree_;
};
std::string* StandInModules::base_ = nullptr;
std::string* StandInModules::tree_ = nullptr;

TEST_F(StandInModules, AModaliasOrANameFindsItsModulesAndAnythingElseNone) {
  const struct {
    std::string asked;
    std::vector<std::string> modules;
  } cases[] = {
      {"pci:v00008086d0000A0F0sv00008086sd00000244bc02sc80i00", {"iwlwifi"}},
      {"pci:v000010DEd00002504sv00001458sd00004074bc03sc00i00", {"nouveau"}},
      {"pci:v000010DEd0000228Esv00001458sd00004074bc04sc03i00", {"snd_hda_intel"}},  // NVIDIA's HDMI sound is not nouveau's
      {"pci:v000010ECd00008169sv00000000sd00000000bc02sc00i00", {}},  // another Realtek chip
      {"thinkpad_acpi", {"thinkpad_acpi"}},
      {"thinkpad-acpi", {"thinkpad_acpi"}},
      {"ideapad_laptop", {}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ModulesFor(Recorded(), c.asked), c.modules) << c.asked;

  SourcePlaces nowhere = Recorded();
  nowhere.modulesDirectory = *base_ + "/lib/modules/no-such-kernel";
  EXPECT_EQ(ModulesFor(nowhere, "r8169"), std::vector<std::string>{});
}

// Whatever this process may do, a recorded tree's module is named and never loaded: "not
// permitted" to a process that may not load modules, the recorded kernel's refusal to one that may.
TEST_F(StandInModules, ARecordedTreesModuleIsNamedButNeverLoaded) {
  const ModuleLoad wifi = LoadModule(Recorded(), "pci:v00008086d00002723sv00008086sd00000084bc02sc80i00");
  EXPECT_EQ(wifi.modules, "iwlwifi");
  if (MayLoadModules()) {
    EXPECT_EQ(wifi.result, Result::RecordedKernel);
    EXPECT_NE(wifi.said.find("recorded machine's kernel is not this one"), std::string::npos) << wifi.said;
  }
  const int status = testenv::InChildWithoutModuleLoading([this] {
    return LoadModule(Recorded(), "pci:v00008086d00002723sv00008086sd00000084bc02sc80i00").result == Result::NotPermitted ? 0 : 1;
  });
  EXPECT_EQ(status, 0);

  const ModuleLoad unknown = LoadModule(Recorded(), "pci:v0000ABCDd00001234sv00000000sd00000000bc02sc00i00");
  EXPECT_EQ(unknown.result, Result::NotFound);
  EXPECT_NE(unknown.said.find(*tree_), std::string::npos) << unknown.said;
}

// The running machine's load, asked by a process that may not load modules, stops before
// anything is tried; the child's kernel would refuse it anyway, so a failing test loads nothing.
TEST_F(StandInModules, WithoutTheCapabilityToLoadModulesNothingIsTried) {
  SourcePlaces running = Recorded();
  running.running = true;
  const int status = testenv::InChildWithoutModuleLoading([&] {
    if (MayLoadModules()) return 1;
    const ModuleLoad load = LoadModule(running, "pci:v00008086d0000A0F0sv00008086sd00000244bc02sc80i00");
    if (load.result != Result::NotPermitted) return 2;
    return load.said.find("CAP_SYS_MODULE") != std::string::npos ? 0 : 3;
  });
  EXPECT_EQ(status, 0);
}

// capget and the kernel's own account of this process agree on the one capability that matters.
TEST(KernelModules, MayLoadModulesIsTheEffectiveCapability) {
  std::ifstream status("/proc/self/status");
  uint64_t effective = 0;
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("CapEff:")) effective = std::stoull(line.substr(7), nullptr, 16);
  }
  EXPECT_EQ(MayLoadModules(), ((effective >> CAP_SYS_MODULE) & 1) != 0);
}

}  // namespace
}  // namespace host::machine::linuxhost
