// The hardware-information and fault-detection libraries answer from the machine profile.
#include "DeviceFalutDetect/DeviceFalutDetect.h"

#include <gtest/gtest.h>

#include <cstring>

#include "HardwareSdk/HardwareSdk.h"
#include "machine/machine.h"
#include "support/test_env.h"

namespace HardwareDetect {
namespace {

using host::machine::Machine;

constexpr std::string_view kNotebook = R"({"hardware": {
  "cpu": {"name": "Intel(R) Core(TM) i5-8250U", "cores": 4, "l3KB": 6144},
  "memory": {"totalMB": 12288, "modules": [{"capacityMB": 4096, "locator": "A"},
                                           {"capacityMB": 8192, "locator": "B", "manufacturer": "Crucial"}]},
  "disks": [{"caption": "WDC SN520", "firmware": "2012", "ssd": true}, {"caption": "ST1000LM035", "firmware": "LCM2"}]}})";

TEST(HardwareSdk, GettersAnswerFromTheProfileJournallingTheirIndex) {
  testenv::UseMachine(kNotebook);

  EXPECT_EQ(CCpu().GetCpuName(), u"Intel(R) Core(TM) i5-8250U");
  EXPECT_EQ(CCpu().GetCpuCoreNumbers(), 4u);
  EXPECT_EQ(CCpu().GetL3CacheSize(), 6144u);
  CMemory memory;
  uint32_t count = 99;
  memory.GetMemoryNums(count);
  uint64_t capacity = 0;
  EXPECT_EQ(memory.GetCapacitybyIndex(capacity, 1), 0);
  std::u16string maker;
  memory.GetManufacturerbyIndex(maker, 1);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(capacity, 8192u);
  EXPECT_EQ(maker, u"Crucial");
  EXPECT_EQ(Machine::Instance().Journal().back().args, "1");

  CDisk disk;
  int first = 0, second = 1;
  disk.JudgeSSd(0, first);
  disk.JudgeSSd(1, second);
  EXPECT_EQ(disk.GetPhysicDiskNumbers(), 2);
  EXPECT_EQ(disk.GetCaption(1), u"ST1000LM035");
  EXPECT_NE(first, 0);
  EXPECT_EQ(second, 0);
}

TEST(HardwareSdk, BeyondTheMachineGettersAnswerNothingRatherThanWhatTheLastCallLeft) {
  testenv::UseMachine(kNotebook);
  CMemory memory;
  uint64_t capacity = 77;
  std::u16string maker = u"stale";
  EXPECT_NE(memory.GetCapacitybyIndex(capacity, 2), 0);
  memory.GetLocatorbyIndex(maker, 2);
  EXPECT_EQ(capacity, 0u);
  EXPECT_EQ(maker, u"");
  EXPECT_EQ(CDisk().GetCaption(-1), u"");
  EXPECT_EQ(CNetworkCard().GetCaption(static_cast<enmNETWORK_CARD_TYPE>(3)), u"");
}

TEST(FaultDetect, EachCheckAnswersFromItsOwnEntry) {
  testenv::UseMachine(R"({"checks": {
      "memory": {"stuckAddr": {"code": 5, "messageKey": "IDS_MEM"}, "random": 6},
      "wifi": {"switch": {"code": 7, "messageKey": "IDS_WIFI", "passed": false, "level": 1}},
      "cpu": {"support": {"sse42": false}}}})");
  std::u16string detail;
  int flag = 1;
  CMemFaultDetect memory;

  EXPECT_EQ(memory.CheckStuckAddr(detail, flag), 5u);
  EXPECT_EQ(detail, u"IDS_MEM");
  EXPECT_EQ(memory.CheckRandom(detail, flag), 6u);
  EXPECT_EQ(memory.CheckBoard(detail, flag), 0u);
  EXPECT_EQ(Machine::Instance().Journal().back().call, "CMemFaultDetect::CheckBoard");

  tagHARDWARE_DETECT_RESULT wifi;
  WifiFaultDetect::GetInstance().CheckWifiSwitch(wifi);
  EXPECT_EQ(wifi.code, 7u);
  EXPECT_EQ(wifi.messageKey, u"IDS_WIFI");
  EXPECT_FALSE(wifi.passed);
  EXPECT_EQ(wifi.level, 1u);
  tagHARDWARE_DETECT_RESULT stale{7, u"IDS_STALE", false, 3};
  WifiFaultDetect::GetInstance().CheckWifiSignal(stale);
  EXPECT_TRUE(stale.passed);
  EXPECT_EQ(stale.code, 0u);

  EXPECT_TRUE(CCpuTest().IsSupportSSE41());
  EXPECT_FALSE(CCpuTest().IsSupportSSE42());
}

// The library is given only a firmware text; the machine answers for the disk whose firmware the
// same thread read last, else for the first disk with that firmware.
TEST(FaultDetect, ADiskCheckAnswersForTheDiskWhoseFirmwareWasReadLast) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"firmware": "S1"}, {"firmware": "S1"}], "diskCount": 3},
                          "checks": {"disks": [1, {"code": 3, "smart": [0, 0, 0, 4]}]}})");
  int flag = 1;
  const auto check = [&](const std::u16string& firmware) {
    tagHHD_DISK_SMART_INFO hdd;
    std::memset(&hdd, 0xFF, sizeof hdd);
    const uint32_t code = CDiskFaultDetect().CheckHhdSmartResult(firmware, hdd, flag);
    return std::make_pair(code, std::vector<uint8_t>(std::begin(hdd.attributes), std::end(hdd.attributes)));
  };
  std::vector<uint8_t> fourth(24, 0);
  fourth[3] = 4;
  const std::vector<uint8_t> none(24, 0);

  EXPECT_EQ(check(CDisk().GetFirmwareRevision(1)), std::make_pair(3u, fourth));
  EXPECT_EQ(Machine::Instance().Journal().back().args, "S1");
  EXPECT_EQ(check(CDisk().GetFirmwareRevision(0)), std::make_pair(1u, none));
  EXPECT_EQ(check(CDisk().GetFirmwareRevision(2)), std::make_pair(2u, none));  // counted, never described
  EXPECT_EQ(check(u"S1"), std::make_pair(1u, none));                           // not the text read last
  EXPECT_EQ(check(u"XX"), std::make_pair(2u, none));
}

// That its fixes make later checks pass is the machine's part.
TEST(FaultDetect, ARepairAnswersWithTheProfilesResult) {
  testenv::UseMachine(R"({"repairs": {"RepairWifiProblem": {"code": 4, "succeeded": true, "needRestart": true,
                                                            "message": "IDS_R"}}})");

  const tagHARDWARE_REPAIR_RESULT repair = WifiFaultDetect::GetInstance().RepairWifiProblem(4294967293u);

  EXPECT_TRUE(repair.succeeded);
  EXPECT_EQ(repair.code, 4u);
  EXPECT_TRUE(repair.needRestart);
  EXPECT_FALSE(repair.needShutdown);
  EXPECT_EQ(repair.message, u"IDS_R");
  EXPECT_EQ(Machine::Instance().Journal().back().args, "4294967293");
}

}  // namespace
}  // namespace HardwareDetect
