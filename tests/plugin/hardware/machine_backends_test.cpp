// The collectors give the same rows whichever backend answers: a profile that describes the
// recorded notebook, and the recorded notebook read as the running machine.
#include <gtest/gtest.h>

#include "DuiLib/UICulture.h"
#include "hardware/hardware_details.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

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

struct Collected {
  bool found = false;
  std::vector<tagHardwareDetailInfo> rows;
  std::u16string modelName;
};

std::vector<Collected> CollectAll() {
  std::vector<Collected> all;
  for (int32_t category = 0; category < kHardwareCategoryCount; ++category) {
    Collected out;
    out.found = CollectHardwareDetails(static_cast<enmHardwareID>(category), [&out](enmHardwareID, tagHardwareDetailInfo& row) {
      out.rows.push_back(row);
      return true;
    });
    out.modelName = QueryModelName(static_cast<enmHardwareID>(category));
    all.push_back(std::move(out));
  }
  return all;
}

TEST(MachineBackends, TheRecordedNotebookAndItsProfileGiveTheSameRowsInEveryCategory) {
  testenv::UseMachine(kNotebookProfile);
  const auto described = CollectAll();
  const auto summary = QueryDiskCapacitySummary();
  testenv::UseRecordedMachine("notebook");
  const auto recorded = CollectAll();

  for (int32_t category = 0; category < kHardwareCategoryCount; ++category) {
    EXPECT_TRUE(recorded[category].found) << "category " << category;
    EXPECT_EQ(recorded[category].found, described[category].found) << "category " << category;
    EXPECT_EQ(recorded[category].rows, described[category].rows) << "category " << category;
    EXPECT_EQ(recorded[category].modelName, described[category].modelName) << "category " << category;
  }
  EXPECT_EQ(QueryDiskCapacitySummary(), summary);
  EXPECT_EQ(QueryTotalMemoryGB(), 16u);
  const auto& display = recorded[HARDWARE_DISPLAY].rows;
  ASSERT_FALSE(display.empty());
  EXPECT_EQ(display[0].content, u"B140HAN04.2");
}

TEST(MachineBackends, TheRecordedDesktopShowsItsTwoDisksAndBothGraphicsCards) {
  testenv::UseRecordedMachine("desktop");
  const auto all = CollectAll();

  EXPECT_EQ(QueryDiskCapacitySummary(), u"2.0 TB+500 GB");
  std::vector<std::u16string> graphics;
  for (const auto& row : all[HARDWARE_GPU].rows) graphics.push_back(row.content);
  EXPECT_EQ(graphics, (std::vector<std::u16string>{u"GA106 [GeForce RTX 3060 Lite Hash Rate]", u"nvidia 535.154.05",
                                                   u"Cezanne [Radeon Vega Series / Radeon Vega Mobile Series]",
                                                   u"amdgpu 6.1.0-18-amd64", u"512 M"}));
  EXPECT_FALSE(all[HARDWARE_BATTERY].found);
  EXPECT_EQ(all[HARDWARE_BATTERY].rows, (std::vector<tagHardwareDetailInfo>{{0, u"", u""}}));
}

}  // namespace
}  // namespace zel::sysdiagnose
