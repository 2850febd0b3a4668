// Information rows, model names and summaries, against described machines and the recorded ones
// read as the running machine.
#include "hardware/hardware_details.h"

#include <gtest/gtest.h>

#include "DuiLib/UICulture.h"
#include "machine/machine.h"
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
  out.found = CollectHardwareDetails(category, [&out](enmHardwareID, tagHardwareDetailInfo& row) {
    out.rows.push_back(row);
    return true;
  });
  return out;
}

tagHardwareDetailInfo Row(const char16_t* key, std::u16string content) { return {0, Localized(key), std::move(content)}; }
const tagHardwareDetailInfo kSeparator{1, u"", u""};

// Row contents, a separator written "--".
std::vector<std::u16string> Contents(const Collected& collected) {
  std::vector<std::u16string> contents;
  for (const auto& row : collected.rows) contents.push_back(row.separator ? u"--" : row.content);
  return contents;
}

TEST(CollectHardwareDetailsTest, MemoryModulesAreSeparatedAndSizedToTheNearestGigabyte) {
  testenv::UseMachine(R"({"hardware": {"memory": {"totalMB": 1536, "modules": [
      {"partNumber": "KF3200", "capacityMB": 1536}, {"capacityMB": 1535}]}}})");

  const auto collected = Collect(HARDWARE_MEMORY);

  EXPECT_TRUE(collected.found);
  EXPECT_EQ(collected.rows, (std::vector{Row(u"IDS_HARDWARE_DETECT_PRODUCT", u"KF3200"),
                                         Row(u"IDS_HARDWARE_DETECT_MEM_SIZE", u"2GB"), kSeparator,
                                         Row(u"IDS_HARDWARE_DETECT_MEM_SIZE", u"1GB")}));
}

// The total given, else the modules' sum, to the nearest gigabyte; a sum beyond any number is the largest.
TEST(QueryTotalMemoryGBTest, IsTheTotalElseTheModulesSumRounded) {
  const struct {
    const char* memory;
    uint64_t gigabytes;
  } cases[] = {
      {R"({"totalMB": 1535})", 1},
      {R"({"totalMB": 1536, "modules": [{"capacityMB": 8192}]})", 2},
      {R"({"modules": [{"capacityMB": 4294967295}, {"capacityMB": 4294967295}]})", 8388608},
      {R"({"modules": [{"capacityMB": 18446744073709551615}, {"capacityMB": 1}]})", uint64_t{1} << 54},
      {R"({"modules": [{"capacityMB": 8192}, {"capacityMB": 4096}]})", 12},
  };
  for (const auto& c : cases) {
    testenv::UseMachine(std::string(R"({"hardware": {"memory": )") + c.memory + "}}");
    EXPECT_EQ(QueryTotalMemoryGB(), c.gigabytes) << c.memory;
  }
}

// The monitor's name and mode have rows when known; the refresh rate always has one, 0 included.
TEST(CollectHardwareDetailsTest, DisplayShowsWhatItKnowsAlwaysWithTheRefreshRate) {
  const struct {
    const char* monitor;
    bool found;
    std::vector<std::u16string> contents;
  } cases[] = {
      {R"({"caption": "B140HAN04.2", "resolution": "1920*1080", "refreshRate": 60})", true,
       {u"B140HAN04.2", u"1920*1080", u"60"}},
      {R"({"caption": "Projector"})", true, {u"Projector", u"0"}},
      {R"({})", true, {u"0"}},
  };
  for (const auto& c : cases) {
    testenv::UseMachine(std::string(R"({"hardware": {"video": {"monitor": )") + c.monitor + "}}}");
    const auto collected = Collect(HARDWARE_DISPLAY);
    EXPECT_EQ(collected.found, c.found) << c.monitor;
    EXPECT_EQ(Contents(collected), c.contents) << c.monitor;
  }
}

TEST(CollectHardwareDetailsTest, DisksShowGigabytesBelowAThousandElseTenthsOfTerabytes) {
  const struct {
    const char* hardware;
    bool found;
    std::vector<std::u16string> contents;
  } cases[] = {
      // Solid-state or not, a disk shows the same two rows; a disk that says nothing still has its place.
      {R"({"disks": [{"caption": "A", "capacityGB": 999, "ssd": true}, {"caption": "B", "capacityGB": 1000},
                     {"caption": " "}, {"caption": "D", "capacityGB": 1999}]})",
       true, {u"A", u"999 GB", u"--", u"B", u"1.0 TB", u"--", u"--", u"D", u"1.9 TB"}},
      {R"({"disks": [{"caption": "A", "capacityGB": 2048}], "diskCount": 2})", true, {u"A", u"2.0 TB", u"--"}},
      {R"({"disks": [{"caption": "A", "capacityGB": 512}], "diskCount": -1})", false, {u""}},
      {R"({})", false, {u""}},
  };
  for (const auto& c : cases) {
    testenv::UseMachine(std::string(R"({"hardware": )") + c.hardware + "}");

    const auto collected = Collect(HARDWARE_DISK);

    EXPECT_EQ(collected.found, c.found) << c.hardware;
    EXPECT_EQ(Contents(collected), c.contents) << c.hardware;
  }
  testenv::UseMachine(R"({"hardware": {"disks": [{"caption": "A", "capacityGB": 1000}]}})");
  EXPECT_EQ(Collect(HARDWARE_DISK).rows, (std::vector{Row(u"IDS_HARDWARE_DETECT_PRODUCT", u"A"),
                                                      Row(u"IDS_HARDWARE_DETECT_DISK_VOLUMN", u"1.0 TB")}));
}

TEST(CollectHardwareDetailsTest, GraphicsCardWithoutANameShowsNothing) {
  testenv::UseMachine(R"({"hardware": {"video": {
      "independent": {"name": "", "driverVersion": "31.0", "driverDate": "2023-01-01", "memoryMB": 4096},
      "internal": {"name": "Iris Xe", "driverVersion": "30.0"}}}})");

  EXPECT_EQ(Collect(HARDWARE_GPU).rows, (std::vector{Row(u"IDS_HARDWARE_DETECT_NAME", u"Iris Xe"),
                                                     Row(u"IDS_HARDWARE_DETECT_DRIVER_VERION", u"30.0")}));
}

TEST(CollectHardwareDetailsTest, NetworkTypesAreSeparatedOnlyBetweenEachOther) {
  // No wireless adapter: the wired one comes first and nothing precedes it.
  testenv::UseMachine(R"({"hardware": {"network": {"internalHardIds": ["PCI\\VEN_8086"],
      "wired": {"hardIds": ["E"], "caption": " Ethernet "},
      "mobile": {"hardIds": ["M"], "caption": "LTE", "manufacturer": "Quectel"}}}})");

  EXPECT_EQ(Contents(Collect(HARDWARE_NETCARD)), (std::vector<std::u16string>{u"Ethernet", u"--", u"LTE", u"Quectel"}));
}

TEST(QueryModelNameTest, IsNeverEmpty) {
  testenv::UseEmptyMachine();
  const std::u16string blank = Localized(u"IDS_HARDWARE_DEVICE_NAME_ERROR_BLANK");
  ASSERT_FALSE(blank.empty());

  for (int32_t id = -1; id <= kHardwareCategoryCount; ++id) EXPECT_EQ(QueryModelName(id), blank) << id;
}

TEST(QueryModelNameTest, AsksTheFallbackOnlyWhenTheFirstSourceIsEmpty) {
  const struct {
    enmHardwareID category;
    const char* hardware;
    std::u16string name;
    const char* fallback;  // the library call of the second source
    int fallbackCalls;
  } cases[] = {
      {HARDWARE_NETCARD, R"({"network": {"wireless": {"caption": "Wi-Fi"}, "wired": {"caption": "GbE"}}})", u"Wi-Fi",
       "CNetworkCard::GetCaption", 1},  // the wireless caption only
      {HARDWARE_NETCARD, R"({"network": {"wired": {"caption": "GbE"}}})", u"GbE", "CNetworkCard::GetCaption", 2},
      {HARDWARE_MEMORY, R"({"memory": {"modules": [{"partNumber": "KF", "manufacturer": "Kingston"}]}})", u"KF",
       "CMemory::GetManufacturerbyIndex", 0},
      {HARDWARE_MEMORY, R"({"memory": {"modules": [{"partNumber": " ", "manufacturer": "Kingston"}]}})", u"Kingston",
       "CMemory::GetManufacturerbyIndex", 1},
      {HARDWARE_GPU, R"({"video": {"independent": {"name": "RTX"}, "internal": {"name": "Iris"}}})", u"RTX",
       "CVediocard::GetInternalVideoCardName", 0},
      {HARDWARE_GPU, R"({"video": {"internal": {"name": "Iris"}}})", u"Iris", "CVediocard::GetInternalVideoCardName", 1},
  };
  for (const auto& c : cases) {
    testenv::UseMachine(std::string(R"({"hardware": )") + c.hardware + "}");

    EXPECT_EQ(QueryModelName(c.category), c.name) << c.hardware;

    int calls = 0;
    for (const auto& entry : host::machine::Machine::Instance().Journal()) calls += entry.call == c.fallback;
    EXPECT_EQ(calls, c.fallbackCalls) << c.hardware;
  }
}

TEST(QueryDiskCapacitySummaryTest, JoinsKnownCapacitiesWithPlus) {
  const struct {
    const char* disks;
    std::u16string summary;
  } cases[] = {
      {R"([{"capacityGB": 256}, {"capacityGB": 1999}])", u"256 GB+1.9 TB"},
      {R"([{"capacityGB": 999}, {"capacityGB": 1000}])", u"999 GB+1.0 TB"},
      {R"([{"capacityGB": 512}, {"capacityGB": 0}])", u"512 GB"},
      {R"([{"capacityGB": 0}, {"capacityGB": 512}])", u"512 GB"},
      {R"([])", u""},
  };
  for (const auto& c : cases) {
    testenv::UseMachine(std::string(R"({"hardware": {"disks": )") + c.disks + "}}");
    EXPECT_EQ(QueryDiskCapacitySummary(), c.summary) << c.disks;
  }
}

// The collectors give the same rows whichever backend answers: a profile that describes the
// recorded notebook, and the recorded notebook read as the running machine.
constexpr std::string_view kNotebookProfile = R"({"hardware": {
  "cpu": {"name": "11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz", "manufacturer": "GenuineIntel",
          "cores": 4, "threads": 8, "extClockMHz": 100, "l1KB": 320, "l2KB": 5120, "l3KB": 12288},
  "baseboard": {"product": "20XWCTO1WW", "manufacturer": "LENOVO", "version": "SDK0J40697 WIN"},
  "memory": {"totalMB": 16384, "modules": [
    {"capacityMB": 8192, "speedMHz": 3200, "locator": "ChannelA-DIMM0", "partNumber": "M471A1K43DB1-CWE", "manufacturer": "Samsung"},
    {"capacityMB": 8192, "speedMHz": 3200, "locator": "ChannelB-DIMM0", "partNumber": "MTA8ATF1G64HZ-3G2J1", "manufacturer": "Micron"}]},
  "disks": [{"caption": "WDC PC SN730 SDBPNTY-512G-1101", "firmware": "11170101", "capacityGB": 512, "ssd": true}],
  "video": {"internal": {"name": "TigerLake-LP GT2 [Iris Xe Graphics]", "driverVersion": "i915 6.1.0-18-amd64"},
            "monitor": {"caption": "B140HAN04.2", "resolution": "1920*1080", "refreshRate": 60}},
  "audio": {"name": "HDA Intel PCH", "devices": [{"name": "HDA Intel PCH", "manufacturer": "Intel Corporation"}]},
  "network": {"internalHardIds": ["PCI\\VEN_8086&DEV_A0F0&SUBSYS_02448086"],
              "wireless": {"hardIds": ["PCI\\VEN_8086&DEV_A0F0&SUBSYS_02448086"], "caption": "Wi-Fi 6 AX201",
                           "manufacturer": "Intel Corporation"}},
  "battery": {"name": "5B10W13975", "designCapacityMWh": 57000},
  "keyboard": {"name": "AT Translated Set 2 keyboard"},
  "bluetooth": {"name": "AX201 Bluetooth"},
  "biometric": {"name": "Fingerprint reader", "manufacturer": "Synaptics"}}})";

std::vector<std::pair<Collected, std::u16string>> CollectAllWithModelNames() {
  std::vector<std::pair<Collected, std::u16string>> all;
  for (int32_t category = 0; category < kHardwareCategoryCount; ++category) {
    all.emplace_back(Collect(static_cast<enmHardwareID>(category)), QueryModelName(category));
  }
  return all;
}

TEST(MachineBackends, TheRecordedNotebookAndItsProfileGiveTheSameRowsInEveryCategory) {
  testenv::UseMachine(kNotebookProfile);
  const auto described = CollectAllWithModelNames();
  const auto summary = QueryDiskCapacitySummary();
  testenv::UseRecordedMachine("notebook");
  const auto recorded = CollectAllWithModelNames();

  for (int32_t category = 0; category < kHardwareCategoryCount; ++category) {
    EXPECT_TRUE(recorded[category].first.found) << "category " << category;
    EXPECT_EQ(recorded[category].first.found, described[category].first.found) << "category " << category;
    EXPECT_EQ(recorded[category].first.rows, described[category].first.rows) << "category " << category;
    EXPECT_EQ(recorded[category].second, described[category].second) << "category " << category;
  }
  EXPECT_EQ(QueryDiskCapacitySummary(), summary);
  EXPECT_EQ(QueryTotalMemoryGB(), 16u);
  EXPECT_EQ(Contents(recorded[HARDWARE_DISPLAY].first).at(0), u"B140HAN04.2");
}

// Nothing found in a category gives one placeholder row.
TEST(MachineBackends, TheRecordedDesktopShowsWhatItHasAndAPlaceholderForWhatNot) {
  testenv::UseRecordedMachine("desktop");

  EXPECT_EQ(QueryDiskCapacitySummary(), u"2.0 TB+500 GB");
  EXPECT_EQ(Contents(Collect(HARDWARE_GPU)),
            (std::vector<std::u16string>{u"GA106 [GeForce RTX 3060 Lite Hash Rate]", u"nvidia 535.154.05",
                                         u"Cezanne [Radeon Vega Series / Radeon Vega Mobile Series]",
                                         u"amdgpu 6.1.0-18-amd64", u"512 M"}));
  const auto battery = Collect(HARDWARE_BATTERY);
  EXPECT_FALSE(battery.found);
  EXPECT_EQ(battery.rows, (std::vector<tagHardwareDetailInfo>{{0, u"", u""}}));
}

}  // namespace
}  // namespace zel::sysdiagnose
