#include <gtest/gtest.h>

#include "model/hardware_state.h"

namespace zel::sysdiagnose {
namespace {

TEST(StateIndexOf, PlacesEveryCategoryAtItsRecordPosition) {
  const int32_t expected[kHardwareCategoryCount] = {6, 1, 8, 7, 0, 2, 3, 4, 5, 9, 10, 11};
  for (int32_t id = 0; id < kHardwareCategoryCount; ++id) EXPECT_EQ(StateIndexOf(id), expected[id]) << id;
}

TEST(StateIndexOf, RefusesNumbersThatAreNotCategories) {
  EXPECT_EQ(StateIndexOf(-1), std::nullopt);
  EXPECT_EQ(StateIndexOf(12), std::nullopt);
  tagDiagnoseRecord record = ResetDiagnoseRecord();
  EXPECT_EQ(StateOf(record, 12), nullptr);
}

TEST(StateOf, WritesTheNamedField) {
  tagDiagnoseRecord record = ResetDiagnoseRecord();
  *StateOf(record, HARDWARE_AUDIO) = 1;
  *StateOf(record, HARDWARE_CPU) = 0;

  EXPECT_EQ(record.audioState, 1);
  EXPECT_EQ(record.cpuState, 0);
  EXPECT_EQ(record.netcardState, -1);

  tagQueryDataItem item;
  *StateOf(item, HARDWARE_FINGERPRINT) = 3;
  EXPECT_EQ(item.fingerprintState, 3);
  EXPECT_EQ(StateAt(item, 11), 3);
}

TEST(ResetDiagnoseRecord, StartsUndiagnosedWithZeroCounts) {
  const tagDiagnoseRecord record = ResetDiagnoseRecord();
  for (int32_t index = 0; index < kHardwareCategoryCount; ++index) EXPECT_EQ(StateAt(record, index), -1) << index;
  EXPECT_EQ(record.normalCount, 0);
  EXPECT_EQ(record.abnormalCount, 0);
  EXPECT_TRUE(record.date.empty());
  EXPECT_TRUE(record.time.empty());
  EXPECT_EQ(record.secondTime, -1);
}

}  // namespace
}  // namespace zel::sysdiagnose
