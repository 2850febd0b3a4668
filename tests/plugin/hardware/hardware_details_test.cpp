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
