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

TEST_F(HostFactsTest, LanguageFeaturesAndFingerprintComeFromTheProfile) {
  testenv::UseMachine(R"({"host": {"userLanguage": "zh-CN", "features": {"AppLogUpload": false},
                                   "fingerprint": {"status": 3, "present": false}},
                          "hardware": {"biometric": {"name": "Goodix"}}})");
  EXPECT_EQ(SystemInfo::getCurrentUserLanguage(), u"zh-CN");
  auto& shelf = CPKTSoftShelf::GetInstance();
  EXPECT_FALSE(shelf.IsSupportPlugin("AppLogUpload"));
  EXPECT_TRUE(shelf.IsSupportPlugin("never_listed"));
  bool present = true;
  EXPECT_EQ(ProductAdapt::ProductFeature::GetInstance().GetFingerprintStatus(present), 3);
  EXPECT_FALSE(present);
}

TEST_F(HostFactsTest, WithoutAHostSectionEnglishAllFeaturesAndTheHardwaresFingerprint) {
  testenv::UseMachine(R"({"hardware": {"biometric": {"name": "Goodix", "manufacturer": "Goodix"}}})");
  EXPECT_EQ(SystemInfo::getCurrentUserLanguage(), u"en-US");
  EXPECT_TRUE(CPKTSoftShelf::GetInstance().IsSupportPlugin("AppLogUpload"));
  bool present = false;
  EXPECT_EQ(ProductAdapt::ProductFeature::GetInstance().GetFingerprintStatus(present), 0);
  EXPECT_TRUE(present);

  testenv::UseMachine(R"({"hardware": {"cpu": {"name": "x"}}})");
  ProductAdapt::ProductFeature::GetInstance().GetFingerprintStatus(present);
  EXPECT_FALSE(present);
}

}  // namespace
