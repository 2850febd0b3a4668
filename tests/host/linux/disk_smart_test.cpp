// SMART readings and the NVMe health log laid onto the library's verdict bytes.
#include "machine/linux/disk_smart.h"

#include <gtest/gtest.h>

#include "machine/linux/sysfs_root.h"
#include "support/test_env.h"

namespace host::machine::linuxhost {
namespace {

constexpr uint8_t kSsdRecord[22] = {0x01, 0x05, 0x09, 0x0C, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB0,
                                    0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xC3, 0xE8, 0xE9, 0xF1, 0xF2};

// Attribute 0x05 read with the given value and threshold, judged on a record of 0x01, 0x05, 0x09.
TEST(DiskSmart, AnAtaAttributeFailsAtOrBelowANonzeroThreshold) {
  struct Case {
    uint8_t value, threshold;
    bool valid;
    uint8_t verdict;
  };
  const uint8_t record[] = {0x01, 0x05, 0x09};
  for (const Case& c : {Case{100, 10, true, 0}, Case{10, 10, true, 1}, Case{3, 10, true, 1}, Case{0, 0, true, 0},
                        Case{3, 10, false, 0}}) {
    const std::vector<AtaAttribute> read = {{0x01, 200, 51, true, true}, {0x05, c.value, c.threshold, c.valid, true}};
    EXPECT_EQ(VerdictsOfAta(read, record), (std::vector<uint8_t>{0, c.verdict, 0}))
        << int(c.value) << " against " << int(c.threshold);
  }
}

TEST(DiskSmart, AWornNvmeHealthLogReadsAndFailsSpareAndWearOnTheSolidStateRecord) {
  const auto bytes = SysfsRoot(testenv::TestDataPath("records")).Read("/nvme-health-worn.bin").value_or("");
  const auto health = ParseNvmeHealthLog(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  ASSERT_TRUE(health);
  EXPECT_EQ(health->criticalWarning, 0x01);
  EXPECT_EQ(health->availableSpare, 5);
  EXPECT_EQ(health->spareThreshold, 10);
  EXPECT_EQ(health->percentageUsed, 103);
  EXPECT_EQ(health->mediaErrors, 2u);
  EXPECT_FALSE(ParseNvmeHealthLog(std::vector<uint8_t>(511))) << "shorter than a log page";

  const auto verdicts = VerdictsOfNvme(*health, kSsdRecord);
  std::vector<uint8_t> expected(22, 0);
  expected[18] = 1;  // 0xE8, reserved space
  expected[19] = 1;  // 0xE9, wear
  EXPECT_EQ(verdicts, expected);
  EXPECT_EQ(CodeOf(verdicts, true), kDiskAbnormal);

  const NvmeHealth healthy{0, 100, 10, 3, 0};
  const auto none = VerdictsOfNvme(healthy, kSsdRecord);
  EXPECT_EQ(none, std::vector<uint8_t>(22, 0));
  EXPECT_EQ(CodeOf(none, true), kDiskHealthy);
  EXPECT_EQ(CodeOf(none, false), kDiskAbnormal);  // a failed self-assessment alone is enough
}

TEST(DiskSmart, ADiskWithoutADeviceNodeIsUnavailableAndSaysWhy) {
  const SysfsRoot recorded(testenv::RecordedMachinePath("notebook"));
  const SmartReading reading = ReadSmart(recorded, BlockDisk{"nvme0n1", u"11170101", true}, kSsdRecord);
  EXPECT_EQ(reading.check.code, kDiskUnavailable);
  EXPECT_TRUE(reading.check.smart.empty());
  EXPECT_NE(reading.limit.find("/dev/nvme0n1 is not available: the disk has no device node"), std::string::npos) << reading.limit;
}

}  // namespace
}  // namespace host::machine::linuxhost
