// SystemInfo, CPKTSoftShelf and ProductFeature answer from the machine profile's "host" section.
#include <gtest/gtest.h>

#include "support/test_env.h"
#include "utility/CPKTSoftShelf.h"
#include "utility/ProductFeature.h"
#include "utility/SystemInfo.h"

namespace {

class HostFactsTest : public ::testing::Test {
 protected:
  ~HostFactsTest() override { testenv::UseEmptyMachine(); }
};

TEST_F(HostFactsTest, SystemInfoReadsTheProfile) {
  testenv::UseMachine(R"({"host": {"userLanguage": "zh-CN", "dpi": 144, "rightToLeft": true}})");
  EXPECT_EQ(SystemInfo::getCurrentUserLanguage(), u"zh-CN");
  EXPECT_EQ(SystemInfo::GetSystemDPI(), 144u);
  EXPECT_TRUE(SystemInfo::IsRightToLeft());
}

TEST_F(HostFactsTest, SystemInfoDefaultsWithoutAHostSection) {
  testenv::UseMachine(R"({"hardware": {"cpu": {"name": "x"}}})");
  EXPECT_EQ(SystemInfo::getCurrentUserLanguage(), u"en-US");
  EXPECT_EQ(SystemInfo::GetSystemDPI(), 96u);
  EXPECT_FALSE(SystemInfo::IsRightToLeft());

  testenv::UseEmptyMachine();
  EXPECT_EQ(SystemInfo::getCurrentUserLanguage(), u"en-US");
  EXPECT_EQ(SystemInfo::GetSystemDPI(), 96u);
}

TEST_F(HostFactsTest, FeatureSwitchesAreOnUnlessTheProfileTurnsThemOff) {
  testenv::UseMachine(R"({"host": {"features": {"AppLogUpload": false, "zel_plugin_hardware": true}}})");
  auto& shelf = CPKTSoftShelf::GetInstance();
  EXPECT_FALSE(shelf.IsSupportPlugin("AppLogUpload"));
  EXPECT_TRUE(shelf.IsSupportPlugin("zel_plugin_hardware"));
  EXPECT_TRUE(shelf.IsSupportPlugin("never_listed"));

  testenv::UseEmptyMachine();
  EXPECT_TRUE(shelf.IsSupportPlugin("AppLogUpload"));
}

TEST_F(HostFactsTest, FingerprintStatusComesFromTheProfile) {
  testenv::UseMachine(R"({"host": {"fingerprint": {"status": 3, "present": false}},
                          "hardware": {"biometric": {"name": "Goodix"}}})");
  bool present = true;
  EXPECT_EQ(ProductAdapt::ProductFeature::GetInstance().GetFingerprintStatus(present), 3);
  EXPECT_FALSE(present);
}

TEST_F(HostFactsTest, FingerprintPresenceFollowsTheHardwareWhenNotStated) {
  bool present = false;
  testenv::UseMachine(R"({"hardware": {"biometric": {"name": "Goodix", "manufacturer": "Goodix"}}})");
  EXPECT_EQ(ProductAdapt::ProductFeature::GetInstance().GetFingerprintStatus(present), 0);
  EXPECT_TRUE(present);

  testenv::UseMachine(R"({"hardware": {"cpu": {"name": "x"}}})");
  EXPECT_EQ(ProductAdapt::ProductFeature::GetInstance().GetFingerprintStatus(present), 0);
  EXPECT_FALSE(present);

  testenv::UseEmptyMachine();
  present = true;
  ProductAdapt::ProductFeature::GetInstance().GetFingerprintStatus(present);
  EXPECT_FALSE(present);
}

}  // namespace
