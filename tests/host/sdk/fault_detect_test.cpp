// The fault-detection library answers every check and repair from the machine profile.
#include "DeviceFalutDetect/DeviceFalutDetect.h"

#include <gtest/gtest.h>

#include <cstring>

#include "HardwareSdk/HardwareSdk.h"
#include "machine/machine.h"
#include "support/test_env.h"

namespace HardwareDetect {
namespace {

using host::machine::Machine;

TEST(FaultDetect, CodeAndRecordChecksAnswerFromTheirOwnCheck) {
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
