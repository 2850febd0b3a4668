// EDID, DMI and the NVMe health log, from recorded files.
#include "machine/linux/binary_parsers.h"

#include <gtest/gtest.h>

#include "machine/linux/sysfs_root.h"
#include "support/test_env.h"

namespace host::machine::linuxhost {
namespace {

std::vector<uint8_t> Recorded(std::string_view machine, std::string_view path) {
  const auto text = SysfsRoot(testenv::RecordedMachinePath(machine)).Read(path).value_or("");
  return {text.begin(), text.end()};
}

std::vector<uint8_t> RecordFile(std::string_view name) {
  const auto text = SysfsRoot(testenv::TestDataPath("records")).Read("/" + std::string(name));
  return text ? std::vector<uint8_t>(text->begin(), text->end()) : std::vector<uint8_t>();
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
    const auto edid = ParseEdid(Recorded(c.machine, c.connector));
    ASSERT_TRUE(edid) << c.machine;
    EXPECT_EQ(std::tie(edid->monitorName, edid->manufacturer, edid->width, edid->height, edid->refreshHz),
              std::tie(c.name, c.maker, c.width, c.height, c.refresh));
  }
  auto edid = Recorded("notebook", "/sys/class/drm/card0-eDP-1/edid");
  EXPECT_FALSE(ParseEdid(std::span(edid).first(127)));
  edid[0] = 0x01;
  EXPECT_FALSE(ParseEdid(edid));
  EXPECT_FALSE(ParseEdid({}));
}

TEST(BinaryParsers, DmiMemoryDevicesReadSizeSpeedAndStringsSkipEmptySlotsAndRefuseABadLength) {
  const auto first = ParseDmiStructure(Recorded("notebook", "/sys/firmware/dmi/entries/17-0/raw"));
  const auto empty = ParseDmiStructure(Recorded("notebook", "/sys/firmware/dmi/entries/17-1/raw"));
  const auto extended = ParseDmiStructure(Recorded("notebook", "/sys/firmware/dmi/entries/17-2/raw"));
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
  EXPECT_EQ(ExternalClockOf(*ParseDmiStructure(Recorded("notebook", "/sys/firmware/dmi/entries/4-0/raw"))), 100u);
  EXPECT_FALSE(ParseDmiStructure(std::vector<uint8_t>{17, 0x28, 0, 0})) << "longer than its bytes";
  EXPECT_FALSE(ParseDmiStructure(std::vector<uint8_t>{17, 2, 0, 0})) << "shorter than a header";
}

TEST(BinaryParsers, NvmeHealthLogGivesWarningSpareWearAndErrors) {
  const auto health = ParseNvmeHealthLog(RecordFile("nvme-health-worn.bin"));
  ASSERT_TRUE(health);
  EXPECT_EQ(health->criticalWarning, 0x01);
  EXPECT_EQ(health->availableSpare, 5);
  EXPECT_EQ(health->spareThreshold, 10);
  EXPECT_EQ(health->percentageUsed, 103);
  EXPECT_EQ(health->mediaErrors, 2u);
  EXPECT_FALSE(ParseNvmeHealthLog(std::vector<uint8_t>(511)));
}

}  // namespace
}  // namespace host::machine::linuxhost
