// SMART readings and the NVMe health log laid onto the library's verdict bytes.
#include "machine/linux/disk_smart.h"

#include <gtest/gtest.h>

#include "machine/linux/sysfs_root.h"
#include "support/test_env.h"

namespace host::machine::linuxhost {
namespace {

constexpr uint8_t kHddRecord[24] = {0x01, 0x03, 0x04, 0x05, 0x07, 0x09, 0x0A, 0x0C, 0xB7, 0xB8, 0xBB, 0xBC,
                                    0xBD, 0xBE, 0xBF, 0xC0, 0xC1, 0xC2, 0xC5, 0xC6, 0xC7, 0xF0, 0xF1, 0xF2};
constexpr uint8_t kSsdRecord[22] = {0x01, 0x05, 0x09, 0x0C, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB0,
                                    0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xC3, 0xE8, 0xE9, 0xF1, 0xF2};

// The attributes whose verdict byte is set.
std::vector<uint8_t> Marked(const std::vector<uint8_t>& verdicts, std::span<const uint8_t> record) {
  std::vector<uint8_t> marked;
  for (size_t i = 0; i < verdicts.size(); ++i) {
    if (verdicts[i] != 0) marked.push_back(record[i]);
  }
  return marked;
}

// One attribute read beside a healthy 0x01, judged on both records: the drive's own threshold, and
// the raw error counters from their first count, on their own byte or, on the solid-state record
// that lacks it, on the byte that stands for them.
TEST(DiskSmart, AtaAttributesFailAtTheirThresholdOrOnTheRawCountersThatComeBeforeFailures) {
  struct Case {
    const char* label;
    AtaAttribute attribute;
    std::vector<uint8_t> hdd, ssd;  // marked attributes
  };
  const std::vector<Case> cases = {
      {"reallocated, well above its threshold", {0x05, 100, 10, true, true, 0}, {}, {}},
      {"reallocated, at its threshold", {0x05, 10, 10, true, true, 0}, {0x05}, {0x05}},
      {"reallocated, below its threshold", {0x05, 3, 10, true, true, 0}, {0x05}, {0x05}},
      {"a threshold of 0 only informs", {0x05, 0, 0, true, true, 0}, {}, {}},
      {"no valid value", {0x05, 3, 10, false, true, 0}, {}, {}},
      {"one reallocated sector", {0x05, 100, 10, true, true, 1}, {0x05}, {0x05}},
      {"reported uncorrectable", {0xBB, 100, 0, true, true, 2}, {0xBB}, {0x01}},
      {"command timeouts, three packed counters", {0xBC, 100, 0, true, true, 0x000100010001}, {0xBC}, {0x01}},
      {"command timeouts, only the top counter", {0xBC, 100, 0, true, true, 0x000100000000}, {0xBC}, {0x01}},
      {"pending sectors", {0xC5, 100, 0, true, true, 8}, {0xC5}, {0x05}},
      {"offline uncorrectable", {0xC6, 100, 0, true, true, 8}, {0xC6}, {0x01}},
      {"interface CRC errors are the cable's", {0xC7, 200, 0, true, true, 120}, {}, {}},
      {"power-on hours count, they do not fail", {0x09, 80, 0, true, true, 20000}, {}, {}},
      {"temperature", {0xC2, 45, 0, true, true, 45}, {}, {}},
      {"a healthy counter", {0xC5, 100, 0, true, true, 0}, {}, {}},
  };
  for (const Case& c : cases) {
    const std::vector<AtaAttribute> read = {{0x01, 200, 51, true, true, 1234}, c.attribute};
    EXPECT_EQ(Marked(VerdictsOfAta(read, kHddRecord), kHddRecord), c.hdd) << c.label;
    EXPECT_EQ(Marked(VerdictsOfAta(read, kSsdRecord), kSsdRecord), c.ssd) << c.label;
  }
}

TEST(DiskSmart, NvmeHealthMarksSpareWearErrorsAndBackupOnTheSolidStateRecord) {
  struct Case {
    const char* label;
    NvmeHealth health;
    std::vector<uint8_t> marked;
  };
  const auto worn = SysfsRoot(testenv::TestDataPath("records")).Read("/nvme-health-worn.bin").value_or("");
  const std::vector<Case> cases = {
      {"healthy", {0, 100, 10, 3, 0}, {}},
      {"the worn log: spare low, 103 % used, two media errors",
       ParseNvmeHealthLog(std::vector<uint8_t>(worn.begin(), worn.end())).value_or(NvmeHealth{}), {0x01, 0xE8, 0xE9}},
      {"spare at its threshold", {0, 10, 10, 3, 0}, {}},
      {"spare below its threshold", {0, 9, 10, 3, 0}, {0xE8}},
      {"99 % used", {0, 100, 10, 99, 0}, {}},
      {"100 % used", {0, 100, 10, 100, 0}, {0xE9}},
      {"media made read-only", {1u << 3, 100, 10, 3, 0}, {0xE9}},
      {"reliability degraded", {1u << 2, 100, 10, 3, 0}, {0x01}},
      {"one media error", {0, 100, 10, 3, 1}, {0x01}},
      {"volatile memory backup failed", {1u << 4, 100, 10, 3, 0}, {0xAF}},
      {"temperature: the code's, not a byte's", {1u << 1, 100, 10, 3, 0}, {}},
  };
  for (const Case& c : cases) {
    const auto verdicts = VerdictsOfNvme(c.health, kSsdRecord);
    EXPECT_EQ(Marked(verdicts, kSsdRecord), c.marked) << c.label;
    EXPECT_EQ(CodeOf(verdicts, true), c.marked.empty() ? kDiskHealthy : kDiskAbnormal) << c.label;
  }
  EXPECT_EQ(CodeOf(std::vector<uint8_t>(22, 0), false), kDiskAbnormal);  // a failed self-assessment alone is enough
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
