// The hardware-information library answers from the machine profile.
#include "HardwareSdk/HardwareSdk.h"

#include <gtest/gtest.h>

#include "machine/machine.h"
#include "support/test_env.h"

namespace {

constexpr std::string_view kNotebook = R"({"hardware": {
  "cpu": {"name": "Intel(R) Core(TM) i5-8250U", "cores": 4, "l3KB": 6144},
  "memory": {"totalMB": 12288, "modules": [{"capacityMB": 4096, "locator": "A"},
                                           {"capacityMB": 8192, "locator": "B", "manufacturer": "Crucial"}]},
  "disks": [{"caption": "WDC SN520", "firmware": "2012", "ssd": true}, {"caption": "ST1000LM035", "firmware": "LCM2"}]}})";

TEST(HardwareSdk, GettersAnswerFromTheProfileAndJournalTheirIndex) {
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
  EXPECT_EQ(host::machine::Machine::Instance().Journal().back().args, "1");

  CDisk disk;
  int first = 0, second = 1;
  disk.JudgeSSd(0, first);
  disk.JudgeSSd(1, second);
  EXPECT_EQ(disk.GetPhysicDiskNumbers(), 2);
  EXPECT_EQ(disk.GetCaption(1), u"ST1000LM035");
  EXPECT_NE(first, 0);
  EXPECT_EQ(second, 0);
}

TEST(HardwareSdk, AnIndexBeyondTheMachineAnswersEmptyOrZero) {
  testenv::UseMachine(kNotebook);

  uint64_t capacity = 77;
  std::u16string text = u"stale";
  EXPECT_NE(CMemory().GetCapacitybyIndex(capacity, 2), 0);
  CMemory().GetLocatorbyIndex(text, 2);
  EXPECT_EQ(capacity, 0u);
  EXPECT_EQ(text, u"");
  EXPECT_EQ(CDisk().GetCaption(-1), u"");
  EXPECT_EQ(CNetworkCard().GetCaption(static_cast<enmNETWORK_CARD_TYPE>(3)), u"");
}

}  // namespace
