// Information rows, model names and summaries, against described machines.
#include "hardware/hardware_details.h"

#include <gtest/gtest.h>

#include "DuiLib/UICulture.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

std::u16string Localized(const char16_t* key) { return UICulture::GetInstance().GetString(key); }

struct Collected {
  bool found = false;
  std::vector<tagHardwareDetailInfo> rows;
};

Collected Collect(enmHardwareID category) {
  Collected out;
  out.found = CollectHardwareDetails(category, [&out, category](enmHardwareID c, tagHardwareDetailInfo& row) {
    EXPECT_EQ(c, category);
    out.rows.push_back(row);
    return true;
  });
  return out;
}

tagHardwareDetailInfo Row(const char16_t* key, std::u16string content) { return {0, Localized(key), std::move(content)}; }
const tagHardwareDetailInfo kSeparator{1, u"", u""};
const tagHardwareDetailInfo kPlaceholder{0, u"", u""};

std::vector<std::u16string> Contents(const Collected& collected) {
  std::vector<std::u16string> contents;
  for (const auto& row : collected.rows) contents.push_back(row.separator ? u"--" : row.content);
  return contents;
}

// ---- Single-device categories -------------------------------------------------------------------

TEST(CollectHardwareDetailsTest, ProcessorThatReportsNothingGivesOnePlaceholder) {
  testenv::UseEmptyMachine();

  const auto collected = Collect(HARDWARE_CPU);

  EXPECT_FALSE(collected.found);
  EXPECT_EQ(collected.rows, std::vector{kPlaceholder});
}

TEST(CollectHardwareDetailsTest, ProcessorRowsCarryTrimmedTextsAndTheirUnits) {
  testenv::UseMachine(R"({"hardware": {"cpu": {
      "name": "  Core i7-1165G7 \t", "manufacturer": "GenuineIntel", "cores": 4, "threads": 8,
      "extClockMHz": 100, "l1KB": 320, "l2KB": 5120, "l3KB": 12288}}})");

  const auto collected = Collect(HARDWARE_CPU);

  EXPECT_TRUE(collected.found);
  EXPECT_EQ(collected.rows, (std::vector{
                                Row(u"IDS_HARDWARE_DETECT_CPU", u"Core i7-1165G7"),
                                Row(u"IDS_HARDWARE_DETECT_MANUFACTURE", u"GenuineIntel"),
                                Row(u"IDS_HARDWARE_DETECT_CPU_NUM", u"4/8"),
                                Row(u"IDS_HARDWARE_DETECT_CPU_EXCLOCK", u"100MHZ"),
                                Row(u"IDS_HARDWARE_DETECT_CPU_FIRST_CACHE", u"320KB"),
                                Row(u"IDS_HARDWARE_DETECT_CPU_SECOND_CACHE", u"5120KB"),
                                Row(u"IDS_HARDWARE_DETECT_CPU_THIRD_CACHE", u"12288KB"),
                            }));
}

TEST(CollectHardwareDetailsTest, ProcessorLeavesOutZeroCountsAndHalfKnownCores) {
  testenv::UseMachine(R"({"hardware": {"cpu": {"name": "   ", "cores": 4, "threads": 0, "l2KB": 512}}})");

  const auto collected = Collect(HARDWARE_CPU);

  EXPECT_TRUE(collected.found);
  EXPECT_EQ(collected.rows, std::vector{Row(u"IDS_HARDWARE_DETECT_CPU_SECOND_CACHE", u"512KB")});
}

TEST(CollectHardwareDetailsTest, DisplayAlwaysShowsItsRefreshRate) {
  testenv::UseEmptyMachine();

  const auto collected = Collect(HARDWARE_DISPLAY);

  EXPECT_TRUE(collected.found);
  EXPECT_EQ(collected.rows, std::vector{Row(u"IDS_HARDWARE_DETECT_DISPLAY_REFRESH_RATE", u"0")});
}

TEST(CollectHardwareDetailsTest, SingleDevicesShowTheirRowsInTableOrder) {
  testenv::UseMachine(R"({"hardware": {
      "baseboard": {"product": "X1 Board", "manufacturer": "Maker", "version": "", "serialNumber": " SN1 "},
      "video": {"monitor": {"caption": "Panel", "resolution": "1920*1080", "refreshRate": 60}},
      "battery": {"name": "Cell", "designCapacityMWh": 57000},
      "keyboard": {"name": "Keys"},
      "bluetooth": {"name": "BT 5.1"},
      "biometric": {"name": "Reader", "manufacturer": "Synaptics"}}})");

  EXPECT_EQ(Collect(HARDWARE_MAINBOARD).rows, (std::vector{Row(u"IDS_HARDWARE_DETECT_PRODUCT", u"X1 Board"),
                                                           Row(u"IDS_HARDWARE_DETECT_MANUFACTURE", u"Maker"),
                                                           Row(u"IDS_HARDWARE_DETECT_SN", u"SN1")}));
  EXPECT_EQ(Collect(HARDWARE_DISPLAY).rows,
            (std::vector{Row(u"IDS_HARDWARE_DETECT_PRODUCT", u"Panel"),
                         Row(u"IDS_HARDWARE_DETECT_DISPLAY_RESOLUTION", u"1920*1080"),
                         Row(u"IDS_HARDWARE_DETECT_DISPLAY_REFRESH_RATE", u"60")}));
  EXPECT_EQ(Collect(HARDWARE_BATTERY).rows, (std::vector{Row(u"IDS_HARDWARE_DETECT_PRODUCT", u"Cell"),
                                                         Row(u"IDS_HARDWARE_DETECT_DESIGN_VOLUMN", u"57000mWh")}));
  EXPECT_EQ(Collect(HARDWARE_KEYBOARD).rows, std::vector{Row(u"IDS_HARDWARE_DETECT_PRODUCT", u"Keys")});
  EXPECT_EQ(Collect(HARDWARE_BLUETOOTH).rows, std::vector{Row(u"IDS_HARDWARE_DETECT_PRODUCT", u"BT 5.1")});
  EXPECT_EQ(Collect(HARDWARE_FINGERPRINT).rows, (std::vector{Row(u"IDS_HARDWARE_DETECT_PRODUCT", u"Reader"),
                                                             Row(u"IDS_HARDWARE_DETECT_MANUFACTURE", u"Synaptics")}));
}

TEST(CollectHardwareDetailsTest, UnknownCategoryGivesNoRows) {
  testenv::UseEmptyMachine();

  const auto collected = Collect(static_cast<enmHardwareID>(12));

  EXPECT_FALSE(collected.found);
  EXPECT_TRUE(collected.rows.empty());
}

// ---- Memory, disks, audio: several devices ------------------------------------------------------

TEST(CollectHardwareDetailsTest, MemoryModuleThatReportsNothingStillCounts) {
  testenv::UseMachine(R"({"hardware": {"memory": {"totalMB": 8192, "modules": [
      {"partNumber": "KF3200", "locator": "DIMM A", "manufacturer": "Kingston", "capacityMB": 8192, "speedMHz": 3200},
      {}]}}})");

  const auto collected = Collect(HARDWARE_MEMORY);

  EXPECT_TRUE(collected.found);
  EXPECT_EQ(collected.rows, (std::vector{Row(u"IDS_HARDWARE_DETECT_PRODUCT", u"KF3200"),
                                         Row(u"IDS_HARDWARE_DETECT_LOC", u"DIMM A"),
                                         Row(u"IDS_HARDWARE_DETECT_MANUFACTURE", u"Kingston"),
                                         Row(u"IDS_HARDWARE_DETECT_MEM_SIZE", u"8GB"),
                                         Row(u"IDS_HARDWARE_DETECT_HERTZ", u"3200MHZ"), kSeparator}));
}

TEST(CollectHardwareDetailsTest, MemoryModuleSizesRoundToTheNearestGigabyte) {
  testenv::UseMachine(R"({"hardware": {"memory": {"modules": [
      {"capacityMB": 1536}, {"capacityMB": 1535}, {"capacityMB": 15974}]}}})");

  EXPECT_EQ(Contents(Collect(HARDWARE_MEMORY)), (std::vector<std::u16string>{u"2GB", u"--", u"1GB", u"--", u"16GB"}));
}

TEST(CollectHardwareDetailsTest, NoMemoryModuleGivesAPlaceholder) {
  testenv::UseMachine(R"({"hardware": {"memory": {"totalMB": 8192}}})");

  const auto collected = Collect(HARDWARE_MEMORY);

  EXPECT_FALSE(collected.found);
  EXPECT_EQ(collected.rows, std::vector{kPlaceholder});
}

TEST(CollectHardwareDetailsTest, DisksShowCaptionAndCapacityWithSeparators) {
  testenv::UseMachine(R"({"hardware": {"disks": [
      {"caption": "Disk A", "capacityGB": 999}, {"caption": "Disk B", "capacityGB": 1000},
      {"capacityGB": 0}, {"caption": "Disk D", "capacityGB": 2048}]}})");

  const auto collected = Collect(HARDWARE_DISK);

  EXPECT_TRUE(collected.found);
  EXPECT_EQ(Contents(collected), (std::vector<std::u16string>{u"Disk A", u"999 GB", u"--", u"Disk B", u"1.0 TB", u"--",
                                                              u"--", u"Disk D", u"2.0 TB"}));
  EXPECT_EQ(collected.rows[1].title, Localized(u"IDS_HARDWARE_DETECT_DISK_VOLUMN"));
}

TEST(CollectHardwareDetailsTest, FailedDiskCountMeansNoDisk) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"caption": "Disk A", "capacityGB": 512}], "diskCount": -1}})");

  const auto collected = Collect(HARDWARE_DISK);

  EXPECT_FALSE(collected.found);
  EXPECT_EQ(collected.rows, std::vector{kPlaceholder});
  EXPECT_EQ(QueryDiskCapacitySummary(), u"");
}

TEST(CollectHardwareDetailsTest, AudioDevicesFollowAPassingDeviceCheck) {
  testenv::UseMachine(R"({"hardware": {"audio": {"name": "HD Audio", "devices": [
      {"name": "Speakers", "manufacturer": "Realtek"}, {"name": "Microphone"}]}}})");

  const auto collected = Collect(HARDWARE_AUDIO);

  EXPECT_TRUE(collected.found);
  EXPECT_EQ(collected.rows, (std::vector{Row(u"IDS_HARDWARE_DETECT_PRODUCT", u"Speakers"),
                                         Row(u"IDS_HARDWARE_DETECT_MANUFACTURE", u"Realtek"), kSeparator,
                                         Row(u"IDS_HARDWARE_DETECT_PRODUCT", u"Microphone")}));
}

TEST(CollectHardwareDetailsTest, FailedAudioDeviceCheckGivesAPlaceholder) {
  testenv::UseMachine(R"({"hardware": {"audio": {"devices": [{"name": "Speakers"}]}},
                          "checks": {"audio": {"device": {"code": 3, "passed": false}}}})");

  const auto collected = Collect(HARDWARE_AUDIO);

  EXPECT_FALSE(collected.found);
  EXPECT_EQ(collected.rows, std::vector{kPlaceholder});
}

// ---- Graphics ----------------------------------------------------------------------------------

TEST(CollectHardwareDetailsTest, GraphicsCardWithoutANameShowsNothing) {
  testenv::UseMachine(R"({"hardware": {"video": {
      "independent": {"name": "", "driverVersion": "31.0", "driverDate": "2023-01-01", "memoryMB": 4096},
      "internal": {"name": "Iris Xe", "driverVersion": "30.0", "memoryMB": 128}}}})");

  const auto collected = Collect(HARDWARE_GPU);

  EXPECT_TRUE(collected.found);
  EXPECT_EQ(collected.rows, (std::vector{Row(u"IDS_HARDWARE_DETECT_NAME", u"Iris Xe"),
                                         Row(u"IDS_HARDWARE_DETECT_DRIVER_VERION", u"30.0"),
                                         Row(u"IDS_HARDWARE_DETECT_GPU_SIZE", u"128 M")}));
}

TEST(CollectHardwareDetailsTest, TwoGraphicsCardsFollowEachOtherWithoutSeparator) {
  testenv::UseMachine(R"({"hardware": {"video": {
      "independent": {"name": "RTX", "driverDate": "2023-01-01"}, "internal": {"name": "Iris Xe"}}}})");

  EXPECT_EQ(Contents(Collect(HARDWARE_GPU)), (std::vector<std::u16string>{u"RTX", u"2023-01-01", u"Iris Xe"}));
}

TEST(CollectHardwareDetailsTest, GraphicsGivesAPlaceholderWithoutCardsOrAfterAFailedCheck) {
  testenv::UseEmptyMachine();
  EXPECT_EQ(Collect(HARDWARE_GPU).rows, std::vector{kPlaceholder});

  testenv::UseMachine(R"({"hardware": {"video": {"internal": {"name": "Iris Xe"}}},
                          "checks": {"video": {"deviceReturn": 1}}})");
  const auto collected = Collect(HARDWARE_GPU);
  EXPECT_FALSE(collected.found);
  EXPECT_EQ(collected.rows, std::vector{kPlaceholder});
}

// ---- Network -----------------------------------------------------------------------------------

TEST(CollectHardwareDetailsTest, OnlyWiredAdapterHasNoSeparatorBeforeIt) {
  testenv::UseMachine(R"({"hardware": {"network": {"internalHardIds": ["PCI\\VEN_10EC"],
      "wired": {"hardIds": ["PCI\\VEN_10EC"], "caption": " Ethernet ", "manufacturer": "Realtek"}}}})");

  const auto collected = Collect(HARDWARE_NETCARD);

  EXPECT_TRUE(collected.found);
  EXPECT_EQ(collected.rows, (std::vector{Row(u"IDS_HARDWARE_DETECT_NAME", u"Ethernet"),
                                         Row(u"IDS_HARDWARE_DETECT_MANUFACTURE", u"Realtek")}));
}

TEST(CollectHardwareDetailsTest, NetworkTypesComeInOrderWithSeparatorsBetween) {
  testenv::UseMachine(R"({"hardware": {"network": {"internalHardIds": ["PCI\\VEN_8086"],
      "wireless": {"hardIds": ["W"], "caption": "Wi-Fi 6"},
      "wired": {"hardIds": ["E"], "caption": "Ethernet"},
      "mobile": {"hardIds": ["M"], "caption": "LTE", "manufacturer": "Quectel"}}}})");

  EXPECT_EQ(Contents(Collect(HARDWARE_NETCARD)),
            (std::vector<std::u16string>{u"Wi-Fi 6", u"--", u"Ethernet", u"--", u"LTE", u"Quectel"}));
}

TEST(CollectHardwareDetailsTest, NetworkWithoutInternalAdapterOrRowsGivesAPlaceholder) {
  testenv::UseMachine(R"({"hardware": {"network": {"wireless": {"hardIds": ["W"], "caption": "Wi-Fi"}}}})");
  EXPECT_EQ(Collect(HARDWARE_NETCARD).rows, std::vector{kPlaceholder});

  testenv::UseMachine(R"({"hardware": {"network": {"internalHardIds": ["X"], "wireless": {"hardIds": ["W"]}}}})");
  const auto collected = Collect(HARDWARE_NETCARD);
  EXPECT_FALSE(collected.found);
  EXPECT_EQ(collected.rows, std::vector{kPlaceholder});
}

// ---- Model names and summaries -----------------------------------------------------------------

TEST(QueryModelNameTest, IsNeverEmpty) {
  testenv::UseEmptyMachine();
  const std::u16string blank = Localized(u"IDS_HARDWARE_DEVICE_NAME_ERROR_BLANK");
  ASSERT_FALSE(blank.empty());

  for (int32_t id = -1; id <= kHardwareCategoryCount; ++id) EXPECT_EQ(QueryModelName(id), blank) << id;
}

TEST(QueryModelNameTest, FallsBackToTheSecondSource) {
  testenv::UseMachine(R"({"hardware": {
      "memory": {"modules": [{"partNumber": "  ", "manufacturer": " Kingston "}]},
      "video": {"independent": {"name": " "}, "internal": {"name": "Iris Xe"}},
      "network": {"wireless": {"caption": ""}, "wired": {"caption": " Ethernet "}}}})");

  EXPECT_EQ(QueryModelName(HARDWARE_MEMORY), u"Kingston");
  EXPECT_EQ(QueryModelName(HARDWARE_GPU), u"Iris Xe");
  EXPECT_EQ(QueryModelName(HARDWARE_NETCARD), u" Ethernet ");  // adapter captions are not trimmed
}

TEST(QueryModelNameTest, NamesEachCategoryFromItsDevice) {
  testenv::UseMachine(R"({"hardware": {
      "audio": {"name": "HD Audio"}, "baseboard": {"product": "Board"}, "bluetooth": {"name": "BT"},
      "network": {"wireless": {"caption": "Wi-Fi"}, "wired": {"caption": "Ethernet"}},
      "cpu": {"name": " CPU "}, "memory": {"modules": [{"partNumber": "KF"}]},
      "disks": [{"caption": "Disk0"}, {"caption": "Disk1"}],
      "video": {"independent": {"name": "RTX"}, "internal": {"name": "Iris"}, "monitor": {"caption": "Panel"}},
      "battery": {"name": "Cell"}, "keyboard": {"name": "Keys"}, "biometric": {"name": "Reader"}}})");
  const std::u16string expected[] = {u"HD Audio", u"Board", u"BT",   u"Wi-Fi", u"CPU",  u"KF",
                                     u"Disk0",    u"RTX",   u"Panel", u"Cell",  u"Keys", u"Reader"};

  for (int32_t id = 0; id < kHardwareCategoryCount; ++id) EXPECT_EQ(QueryModelName(id), expected[id]) << id;
}

TEST(QueryTotalMemoryGBTest, RoundsHalfAGigabyteUp) {
  testenv::UseMachine(R"({"hardware": {"memory": {"totalMB": 1536}}})");
  EXPECT_EQ(QueryTotalMemoryGB(), 2u);
  testenv::UseMachine(R"({"hardware": {"memory": {"totalMB": 1535}}})");
  EXPECT_EQ(QueryTotalMemoryGB(), 1u);
  testenv::UseEmptyMachine();
  EXPECT_EQ(QueryTotalMemoryGB(), 0u);
}

TEST(QueryDiskCapacitySummaryTest, JoinsKnownCapacitiesWithPlus) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"capacityGB": 256}, {"capacityGB": 1999}]}})");
  EXPECT_EQ(QueryDiskCapacitySummary(), u"256 GB+1.9 TB");

  testenv::UseMachine(R"({"hardware": {"disks": [{"capacityGB": 512}, {"capacityGB": 0}]}})");
  EXPECT_EQ(QueryDiskCapacitySummary(), u"512 GB");

  testenv::UseMachine(R"({"hardware": {"disks": [{"capacityGB": 0}, {"capacityGB": 512}]}})");
  EXPECT_EQ(QueryDiskCapacitySummary(), u"512 GB");

  testenv::UseEmptyMachine();
  EXPECT_EQ(QueryDiskCapacitySummary(), u"");
}

}  // namespace
}  // namespace zel::sysdiagnose
