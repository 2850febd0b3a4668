// The kernel's text files, read from the recorded machines and from a few lines next to the test.
#include "machine/linux/proc_parsers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "machine/linux/sysfs_root.h"
#include "support/test_env.h"

namespace host::machine::linuxhost {
namespace {

std::string Recorded(std::string_view machine, std::string_view path) {
  return SysfsRoot(testenv::RecordedMachinePath(machine)).Read(path).value_or("");
}

TEST(ProcParsers, CpuInfoCountsThreadsAndDistinctCoresOfTheRecordedMachines) {
  struct Case {
    const char* machine;
    const char* model;
    const char* vendor;
    uint32_t cores, threads;
  };
  for (const Case& c : {Case{"notebook", "11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz", "GenuineIntel", 4, 8},
                        Case{"desktop", "AMD Ryzen 5 5600G with Radeon Graphics", "AuthenticAMD", 6, 12}}) {
    const CpuInfo info = ParseCpuInfo(Recorded(c.machine, "/proc/cpuinfo"));
    EXPECT_EQ(info.model, c.model) << c.machine;
    EXPECT_EQ(info.vendor, c.vendor) << c.machine;
    EXPECT_EQ(info.cores, c.cores) << c.machine;
    EXPECT_EQ(info.threads, c.threads) << c.machine;
    EXPECT_TRUE(info.flags.contains("sse4_2")) << c.machine;
  }
}

TEST(ProcParsers, CpuInfoWithoutTopologyCountsACorePerThread) {
  const CpuInfo info = ParseCpuInfo("processor\t: 0\nmodel name\t: Virtual CPU\n\nprocessor\t: 1\nmodel name\t: Virtual CPU\n");
  EXPECT_EQ(info.threads, 2u);
  EXPECT_EQ(info.cores, 2u);
}

TEST(ProcParsers, SoundCardsGiveTheirIndexIdDriverAndNames) {
  const auto cards = ParseSoundCards(Recorded("desktop", "/proc/asound/cards"));
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[1].index, 1u);
  EXPECT_EQ(cards[1].id, "Generic");
  EXPECT_EQ(cards[1].driver, "HD-Audio Generic");
  EXPECT_EQ(cards[1].name, "HD-Audio Generic");
  EXPECT_EQ(cards[0].longName, "HDA NVidia at 0xfc080000 irq 89");
  EXPECT_TRUE(ParseSoundCards("--- no soundcards ---\n").empty());
}

TEST(ProcParsers, OnlyTypingKeyboardsCountAsKeyboards) {
  const auto devices = ParseInputDevices(Recorded("notebook", "/proc/bus/input/devices"));
  ASSERT_EQ(devices.size(), 4u);
  std::vector<std::pair<std::string, bool>> seen;
  for (const InputDevice& device : devices) seen.emplace_back(device.name, IsKeyboard(device));
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, bool>>{{"Power Button", false},
                                                               {"Logitech K400 Plus", true},
                                                               {"AT Translated Set 2 keyboard", true},
                                                               {"ThinkPad Extra Buttons", false}}));
  EXPECT_EQ(devices[2].bus, 0x11u);
}

TEST(ProcParsers, WirelessLevelsArePerInterfaceInDbm) {
  EXPECT_EQ(ParseWirelessLevels(Recorded("notebook", "/proc/net/wireless")),
            (std::map<std::string, int32_t>{{"wlp0s20f3", -56}}));
  EXPECT_TRUE(ParseWirelessLevels("Inter-| sta-|   Quality\n face | tus | link level noise\n").empty());
}

TEST(ProcParsers, SmallFormats) {
  EXPECT_EQ(ParseCpuList("0-3,8,10-11\n"), (std::vector<uint32_t>{0, 1, 2, 3, 8, 10, 11}));
  EXPECT_EQ(ParseCpuList(""), std::vector<uint32_t>{});
  for (const auto& [text, kib] : std::vector<std::pair<std::string, uint64_t>>{{"48K", 48}, {"1280K\n", 1280}, {"32M", 32768}}) {
    EXPECT_EQ(ParseCacheSizeKiB(text), kib) << text;
  }
  EXPECT_EQ(ParseMemTotalKiB(Recorded("notebook", "/proc/meminfo")), 16069748u);
  EXPECT_EQ(ParseUevent("DEVTYPE=wlan\nINTERFACE=wlp0s20f3\n").at("DEVTYPE"), "wlan");
  for (const auto& [text, value] : std::vector<std::pair<std::string, std::optional<uint64_t>>>{
           {"0x8086\n", 0x8086}, {"42", 42}, {"4k", std::nullopt}, {"", std::nullopt}}) {
    EXPECT_EQ(ParseNumber(text), value) << text;
  }
  EXPECT_EQ(ParseNumber("8000000", 16), 0x8000000u);
}

}  // namespace
}  // namespace host::machine::linuxhost
