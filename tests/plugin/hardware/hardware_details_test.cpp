// Information rows, model names and summaries, against described machines.
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

TEST(CollectHardwareDetailsTest, NothingFoundGivesOnePlaceholderRow) {
  testenv::UseEmptyMachine();

  const auto collected = Collect(HARDWARE_CPU);

  EXPECT_FALSE(collected.found);
  EXPECT_EQ(collected.rows, (std::vector<tagHardwareDetailInfo>{{0, u"", u""}}));
}

TEST(CollectHardwareDetailsTest, MemoryModulesAreSeparatedAndSizedToTheNearestGigabyte) {
  testenv::UseMachine(R"({"hardware": {"memory": {"modules": [
      {"partNumber": "KF3200", "capacityMB": 1536}, {"capacityMB": 1535}]}}})");

  const auto collected = Collect(HARDWARE_MEMORY);

  EXPECT_TRUE(collected.found);
  EXPECT_EQ(collected.rows, (std::vector{Row(u"IDS_HARDWARE_DETECT_PRODUCT", u"KF3200"),
                                         Row(u"IDS_HARDWARE_DETECT_MEM_SIZE", u"2GB"), kSeparator,
                                         Row(u"IDS_HARDWARE_DETECT_MEM_SIZE", u"1GB")}));
}

TEST(CollectHardwareDetailsTest, DisksAreSeparatedAndShownInGigabytesBelowAThousandElseInTenthsOfTerabytes) {
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

TEST(QueryDiskCapacitySummaryTest, JoinsKnownCapacitiesWithPlusAndSwitchesToTerabytesAtAThousand) {
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

}  // namespace
}  // namespace zel::sysdiagnose
