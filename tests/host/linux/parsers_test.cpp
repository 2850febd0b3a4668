// The kernel's text files (read from the recorded machines and from a few lines next to the test),
// and its binary ones: EDID and DMI.
#include "machine/linux/binary_parsers.h"

#include <gtest/gtest.h>

#include "host/linux/edid_blocks.h"
#include "machine/linux/proc_parsers.h"
#include "machine/linux/sysfs_root.h"
#include "support/test_env.h"

namespace host::machine::linuxhost {
namespace {

std::string Recorded(std::string_view machine, std::string_view path) {
  return SysfsRoot(testenv::RecordedMachinePath(machine)).Read(path).value_or("");
}

std::vector<uint8_t> RecordedBytes(std::string_view machine, std::string_view path) {
  const std::string text = Recorded(machine, path);
  return {text.begin(), text.end()};
}

TEST(ProcParsers, CpuInfoCountsThreadsAndDistinctCoresOrACorePerThreadWithoutTopology) {
  struct Case {
    const char *machine, *model, *vendor;
    uint32_t cores, threads;
  };
  for (const Case& c : {Case{"notebook", "11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz", "GenuineIntel", 4, 8},
                        Case{"desktop", "AMD Ryzen 5 5600G with Radeon Graphics", "AuthenticAMD", 6, 12}}) {
    const CpuInfo info = ParseCpuInfo(Recorded(c.machine, "/proc/cpuinfo"));
    EXPECT_EQ(std::tie(info.model, info.vendor, info.cores, info.threads), std::tie(c.model, c.vendor, c.cores, c.threads));
    EXPECT_TRUE(info.flags.contains("sse4_2")) << c.machine;
  }
  const CpuInfo info = ParseCpuInfo("processor\t: 0\nmodel name\t: Virtual CPU\ncpu MHz\t\t: 1999.999\n\n"
                                    "processor\t: 1\nmodel name\t: Virtual CPU\ncpu MHz\t\t: 2803.202\n");
  EXPECT_EQ(info.threads, 2u);
  EXPECT_EQ(info.cores, 2u);
  EXPECT_EQ(info.mhz, 2000u) << "the first processor's, rounded";
  EXPECT_EQ(ParseCpuInfo("processor\t: 0\ncpu MHz\t\t: fast\n").mhz, 0u);
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
  // name, a typing keyboard, reports KEY_VOLUMEDOWN (114, second word), KEY_BRIGHTNESSUP (225, fourth word)
  std::vector<std::tuple<std::string, bool, bool, bool>> seen;
  for (const InputDevice& device : devices) {
    seen.emplace_back(device.name, IsKeyboard(device), ReportsKey(device, 114), ReportsKey(device, 225));
  }
  EXPECT_EQ(seen, (std::vector<std::tuple<std::string, bool, bool, bool>>{{"Power Button", false, false, false},
                                                                           {"Logitech K400 Plus", true, true, false},
                                                                           {"AT Translated Set 2 keyboard", true, true, false},
                                                                           {"ThinkPad Extra Buttons", false, true, true}}));
  EXPECT_FALSE(ReportsKey(devices[0], 767)) << "beyond the words the file gives";
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

// Both panels carry a serial-number descriptor before the name; the notebook's also an
// alphanumeric one ("AUO"). Only the display-name descriptor names the monitor.
TEST(BinaryParsers, EdidNamesTheMonitorFromItsNameDescriptorAndRefusesAShortOrHeaderlessBlock) {
  struct Case {
    const char *machine, *connector, *name, *maker;
    uint32_t width, height, refresh;
  };
  for (const Case& c : {Case{"notebook", "/sys/class/drm/card0-eDP-1/edid", "B140HAN04.2", "AUO", 1920, 1080, 60},
                        Case{"desktop", "/sys/class/drm/card1-DP-1/edid", "DELL U2720Q", "DEL", 3840, 2160, 60}}) {
    const auto edid = ParseEdid(RecordedBytes(c.machine, c.connector));
    ASSERT_TRUE(edid) << c.machine;
    EXPECT_EQ(std::tie(edid->monitorName, edid->manufacturer, edid->width, edid->height, edid->refreshHz),
              std::tie(c.name, c.maker, c.width, c.height, c.refresh));
  }
  auto edid = RecordedBytes("notebook", "/sys/class/drm/card0-eDP-1/edid");
  EXPECT_FALSE(ParseEdid(std::span(edid).first(127)));
  edid[0] = 0x01;
  EXPECT_FALSE(ParseEdid(edid));
  EXPECT_FALSE(ParseEdid({}));
}


TEST(BinaryParsers, EdidPreferredModeIsTheFrameOfTheFirstTimingElseOfTheExtensionsAndTheNameIsTrimmed) {
  using namespace edid;
  const Bytes uhd = Timing(59400, 3840, 560, 2160, 90);  // 3840x2160 at 60 Hz
  const struct {
    const char* what;
    Bytes bytes;
    uint32_t width, height, refresh;
    bool interlaced;
    std::string name;
  } cases[] = {
      {"1080i: two fields of 540 lines", Base({Timing(7425, 1920, 280, 540, 22, true), Name("HDTV\n        ")}),
       1920, 1080, 60, true, "HDTV"},
      {"no timing in the base block: CTA-861's first", Joined({Base({Name(" Q27G2 \n     ")}, 1), Cta({uhd})}),
       3840, 2160, 60, false, "Q27G2"},
      {"no timing in the base block: DisplayID type I, the preferred one",
       Joined({Base({Name(std::string_view("DELL\0\0\0\0\0\0\0\0\0", 13))}, 1),
               DisplayId(0x03, {DisplayIdTiming(14850, false, 1920, 280, 1080, 45),
                                DisplayIdTiming(24150, true, 2560, 160, 1440, 41)})}),
       2560, 1440, 60, false, "DELL"},
      {"DisplayID 2.0 type VII, in kHz", Joined({Base({}, 1), DisplayId(0x22, {DisplayIdTiming(1188000, true, 3840, 560, 2160, 90)})}),
       3840, 2160, 120, false, ""},
      {"the base block's timing before an extension's", Joined({Base({Timing(14850, 1920, 280, 1080, 45)}, 1), Cta({uhd})}),
       1920, 1080, 60, false, ""},
      {"an extension the bytes do not hold", Base({}, 2), 0, 0, 0, false, ""},
      {"CTA-861 without timings", Joined({Base({}, 1), Cta({})}), 0, 0, 0, false, ""},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseEdid(c.bytes);
    ASSERT_TRUE(parsed) << c.what;
    EXPECT_EQ(std::tie(parsed->width, parsed->height, parsed->refreshHz, parsed->interlaced, parsed->monitorName),
              std::tie(c.width, c.height, c.refresh, c.interlaced, c.name))
        << c.what;
    EXPECT_EQ(parsed->manufacturer, "ACM");
  }
}

TEST(BinaryParsers, DmiMemoryDevicesReadSizeSpeedAndStringsSkipEmptySlotsAndRefuseABadLength) {
  const auto first = ParseDmiStructure(RecordedBytes("notebook", "/sys/firmware/dmi/entries/17-0/raw"));
  const auto empty = ParseDmiStructure(RecordedBytes("notebook", "/sys/firmware/dmi/entries/17-1/raw"));
  const auto extended = ParseDmiStructure(RecordedBytes("notebook", "/sys/firmware/dmi/entries/17-2/raw"));
  ASSERT_TRUE(first && empty && extended);

  const auto module = MemoryDeviceOf(*first);
  ASSERT_TRUE(module);
  EXPECT_EQ(module->sizeMB, 8192u);
  EXPECT_EQ(module->speedMHz, 3200u);
  EXPECT_EQ(module->locator, "ChannelA-DIMM0");
  EXPECT_EQ(module->manufacturer, "Samsung");
  EXPECT_EQ(module->partNumber, "M471A1K43DB1-CWE");
  EXPECT_FALSE(MemoryDeviceOf(*empty));
  EXPECT_EQ(MemoryDeviceOf(*extended)->sizeMB, 8192u);  // size 0x7FFF: the extended size field
  EXPECT_EQ(ExternalClockOf(*first), 0u);
  EXPECT_EQ(ExternalClockOf(*ParseDmiStructure(RecordedBytes("notebook", "/sys/firmware/dmi/entries/4-0/raw"))), 100u);
  EXPECT_FALSE(ParseDmiStructure(std::vector<uint8_t>{17, 0x28, 0, 0})) << "longer than its bytes";
  EXPECT_FALSE(ParseDmiStructure(std::vector<uint8_t>{17, 2, 0, 0})) << "shorter than a header";
}

// The recorded worn log, and logs made here from a blank page: the media error counter is 128 bits,
// read saturated; the error log entry count beside it (offset 176) is not read as errors.
TEST(BinaryParsers, NvmeHealthLogsReadWarningsSpareWearAndMediaErrorsAndRefuseAShortPage) {
  struct Case {
    const char* label;
    std::vector<uint8_t> log;
    NvmeHealth health;  // criticalWarning, availableSpare, spareThreshold, percentageUsed, mediaErrors
  };
  const auto blank = [](std::vector<std::pair<size_t, uint8_t>> bytes) {
    std::vector<uint8_t> log(512, 0);
    for (const auto& [at, value] : bytes) log[at] = value;
    return log;
  };
  const std::string worn = SysfsRoot(testenv::TestDataPath("records")).Read("/nvme-health-worn.bin").value_or("");
  const std::vector<Case> cases = {
      {"worn", {worn.begin(), worn.end()}, {0x01, 5, 10, 103, 2}},
      {"seven media errors", blank({{3, 100}, {4, 10}, {5, 1}, {160, 7}}), {0, 100, 10, 1, 7}},
      {"a counter past 64 bits", blank({{160, 1}, {175, 1}}), {0, 0, 0, 0, UINT64_MAX}},
      {"error log entries", blank({{3, 100}, {176, 40}}), {0, 100, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const auto health = ParseNvmeHealthLog(c.log);
    ASSERT_TRUE(health) << c.label;
    EXPECT_EQ(std::tie(health->criticalWarning, health->availableSpare, health->spareThreshold, health->percentageUsed,
                       health->mediaErrors),
              std::tie(c.health.criticalWarning, c.health.availableSpare, c.health.spareThreshold,
                       c.health.percentageUsed, c.health.mediaErrors))
        << c.label;
  }
  EXPECT_FALSE(ParseNvmeHealthLog(std::vector<uint8_t>(511))) << "shorter than a log page";
}

}  // namespace
}  // namespace host::machine::linuxhost
