#include "diagnose/item_tests.h"

#include <gtest/gtest.h>

#include "plugin/diagnose/routine_recorder.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

using testing::Text;

TEST(CodeKindTest, FailingMemoryCheckCarriesTheTextOfItsSignedCode) {
  testenv::UseMachine(R"({"checks": {"memory": {"stuckAddr": 4294967291}}})");
  FaultDetectors detectors;
  tagHardwareDetectInfo line = FreshLine();

  EXPECT_EQ(TestMemStuckAddr(detectors, line), 4294967291u);

  EXPECT_FALSE(line.passed);
  EXPECT_EQ(line.text, Text(u"IDS_HARDWARE_DIAGNOSE_LOG_ERROR"));
  EXPECT_EQ(line.code, -5);
}

TEST(CodeKindTest, CpuTestPassesWhateverItsCode) {
  testenv::UseMachine(R"({"checks": {"cpu": {"codes": {"sse42": 4294967291}}}})");
  FaultDetectors detectors;
  tagHardwareDetectInfo line = FreshLine();

  EXPECT_EQ(TestCpuSse42(detectors, line), 4294967291u);

  EXPECT_TRUE(line.passed);
  EXPECT_TRUE(line.text.empty());
}

TEST(CodeKindTest, PassingBatteryLineStillCarriesItsFixedText) {
  testenv::UseEmptyMachine();
  FaultDetectors detectors;
  tagHardwareDetectInfo voltage = FreshLine();

  EXPECT_EQ(TestBatteryVoltage(detectors, voltage), 0u);

  EXPECT_TRUE(voltage.passed);
  EXPECT_EQ(voltage.text, Text(u"IDS_HARDWARE_DIAGNOSE_BATTERY_LOWVOLT"));
}

}  // namespace
}  // namespace zel::sysdiagnose
