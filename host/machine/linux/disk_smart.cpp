#include "machine/linux/disk_smart.h"

#include <atasmart.h>
#include <fcntl.h>
#include <linux/nvme_ioctl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string_view>

#include "machine/linux/sysfs_root.h"

namespace host::machine::linuxhost {
namespace {

// Critical warning bits of the NVMe health log.
constexpr uint8_t kSpareLow = 1u << 0, kReliabilityDegraded = 1u << 2, kReadOnly = 1u << 3, kBackupFailed = 1u << 4;

// Attributes of the library's records that stand for findings of another number: an NVMe drive has
// no ATA attributes, and the solid-state record lacks the hard disk's error counters.
constexpr uint8_t kReadErrorRate = 0x01, kReallocated = 0x05, kPowerLossProtection = 0xAF, kReservedSpace = 0xE8,
                  kWearout = 0xE9;

constexpr uint8_t kEachAttribute = 0;  // an ATA rule that reads every attribute the drive reports

struct DiskRule {
  uint8_t reads = kEachAttribute;               // the ATA attribute it reads
  bool (*ata)(const AtaAttribute&) = nullptr;   // an ATA rule: whether the attribute is failing
  bool (*nvme)(const NvmeHealth&) = nullptr;    // an NVMe rule: whether the health log is failing
  // The record's attribute whose verdict byte it sets, the second where the record lacks the first;
  // none named: the attribute read.
  std::array<uint8_t, 2> marks{};
  std::string_view why;
};

// A threshold of 0 marks an attribute that only informs; it never fails.
bool AtThreshold(const AtaAttribute& a) {
  return a.valueValid && a.thresholdValid && a.threshold != 0 && a.value <= a.threshold;
}
bool CountsAny(const AtaAttribute& a) { return a.raw > 0; }

bool SpareLow(const NvmeHealth& h) { return (h.criticalWarning & kSpareLow) || h.availableSpare < h.spareThreshold; }
bool WornOut(const NvmeHealth& h) { return (h.criticalWarning & kReadOnly) || h.percentageUsed >= 100; }
bool Degraded(const NvmeHealth& h) { return h.criticalWarning & kReliabilityDegraded; }
bool MediaErrors(const NvmeHealth& h) { return h.mediaErrors > 0; }
bool BackupFailed(const NvmeHealth& h) { return h.criticalWarning & kBackupFailed; }

// The normalized values fall to their thresholds late, often after the drive has failed; the raw
// counters below are the ones that large drive fleets found to come before failures, from the first
// count on. Raw values are the attribute's 48 bits.
constexpr DiskRule kRules[] = {
    {.ata = AtThreshold, .why = "the drive's own verdict: its normalized value at or below its threshold"},
    {.reads = 0x05, .ata = CountsAny, .marks = {0x05},
     .why = "reallocated sectors: the surface has begun to lose sectors"},
    {.reads = 0xBB, .ata = CountsAny, .marks = {0xBB, kReadErrorRate},
     .why = "reported uncorrectable: reads the drive's error correction could not save"},
    // Some vendors pack three 16-bit counters into this raw value (all timeouts, over 5 s, over
    // 7.5 s); any of them above zero is a timeout, so the whole value is read, not one counter.
    {.reads = 0xBC, .ata = CountsAny, .marks = {0xBC, kReadErrorRate},
     .why = "command timeouts: the drive stopped answering the host"},
    {.reads = 0xC5, .ata = CountsAny, .marks = {0xC5, kReallocated},
     .why = "current pending sectors: unreadable sectors waiting to be reallocated"},
    {.reads = 0xC6, .ata = CountsAny, .marks = {0xC6, kReadErrorRate},
     .why = "offline uncorrectable: sectors the drive's own surface scan could not read"},
    {.nvme = SpareLow, .marks = {kReservedSpace}, .why = "spare blocks below the drive's threshold"},
    {.nvme = WornOut, .marks = {kWearout}, .why = "the rated endurance used up, or the media made read-only"},
    {.nvme = Degraded, .marks = {kReadErrorRate}, .why = "the drive reports its reliability degraded"},
    {.nvme = MediaErrors, .marks = {kReadErrorRate},
     .why = "media and data integrity errors: data the controller could not recover"},
    {.nvme = BackupFailed, .marks = {kPowerLossProtection}, .why = "the volatile memory backup has failed"},
};
// A temperature warning or an unreliable persistent memory region has no byte of its own: the
// critical warning makes the disk's code abnormal (ReadNvme).

// What a drive reported: its ATA attributes, or its NVMe health log.
struct DriveReport {
  std::span<const AtaAttribute> ata = {};
  const NvmeHealth* nvme = nullptr;
};

void Mark(const DiskRule& rule, uint8_t read, std::span<const uint8_t> record, std::vector<uint8_t>& verdicts) {
  const std::array<uint8_t, 2> marks = rule.marks[0] != 0 ? rule.marks : std::array<uint8_t, 2>{read, 0};
  for (const uint8_t attribute : marks) {
    const auto at = std::find(record.begin(), record.end(), attribute);
    if (attribute == 0 || at == record.end()) continue;
    verdicts[static_cast<size_t>(at - record.begin())] = 1;
    return;
  }
}

// One byte per attribute of the record: 1 where a rule marks it.
std::vector<uint8_t> Verdicts(const DriveReport& drive, std::span<const uint8_t> record) {
  std::vector<uint8_t> verdicts(record.size(), 0);
  for (const DiskRule& rule : kRules) {
    if (rule.nvme != nullptr && drive.nvme != nullptr && rule.nvme(*drive.nvme)) Mark(rule, 0, record, verdicts);
    if (rule.ata == nullptr) continue;
    for (const AtaAttribute& a : drive.ata) {
      if ((rule.reads == kEachAttribute || rule.reads == a.id) && rule.ata(a)) Mark(rule, a.id, record, verdicts);
    }
  }
  return verdicts;
}

// Refused as root (a container's device rules), the refusal is not about root.
std::string Unavailable(const std::string& node, int error) {
  if ((error == EACCES || error == EPERM) && geteuid() != 0) {
    return "disk health (SMART) of " + node + " is readable by root only";
  }
  const char* why = error == EACCES || error == EPERM ? "this system does not let programs open the disk"
                    : error == ENOENT                 ? "the disk has no device node"
                                                      : "the disk cannot be opened";
  return "disk health (SMART) of " + node + " is not available: " + why;
}

// Whether the device node itself can be opened; libatasmart reports any refusal of the drive's
// commands as EPERM, so permission is told apart here, before it is asked.
int OpenError(const std::string& node) {
  const int fd = open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  close(fd);
  return 0;
}

SmartReading ReadNvme(const std::string& node, std::span<const uint8_t> attributes) {
  SmartReading reading;
  reading.check.code = kDiskUnavailable;
  const int fd = open(node.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reading.limit = Unavailable(node, errno);
    return reading;
  }
  uint8_t log[512] = {};
  nvme_admin_cmd command{};
  command.opcode = 0x02;  // Get Log Page
  command.nsid = 0xFFFFFFFF;
  command.addr = reinterpret_cast<uintptr_t>(log);
  command.data_len = sizeof log;
  command.cdw10 = (sizeof log / 4 - 1) << 16 | 0x02;  // dwords - 1, SMART / health information
  const int result = ioctl(fd, NVME_IOCTL_ADMIN_CMD, &command);
  const int error = errno;
  close(fd);
  const auto health = result == 0 ? ParseNvmeHealthLog(log) : std::nullopt;
  if (!health) {
    reading.limit = Unavailable(node, result < 0 ? error : EIO);
    return reading;
  }
  reading.check.smart = VerdictsOfNvme(*health, attributes);
  // Any critical warning is the drive's own verdict, a byte of the record or not.
  reading.check.code = CodeOf(reading.check.smart, health->criticalWarning == 0);
  return reading;
}

void CollectAttribute(SkDisk*, const SkSmartAttributeParsedData* a, void* userdata) {
  auto* read = static_cast<std::vector<AtaAttribute>*>(userdata);
  uint64_t raw = 0;
  for (int i = 5; i >= 0; --i) raw = raw << 8 | a->raw[i];  // little-endian, 48 bits
  read->push_back({a->id, a->current_value, a->threshold, static_cast<bool>(a->current_value_valid),
                   static_cast<bool>(a->threshold_valid), raw});
}

SmartReading ReadAta(const std::string& node, std::span<const uint8_t> attributes) {
  SmartReading reading;
  reading.check.code = kDiskUnavailable;
  if (const int error = OpenError(node)) {
    reading.limit = Unavailable(node, error);
    return reading;
  }
  SkDisk* disk = nullptr;
  if (sk_disk_open(node.c_str(), &disk) < 0) {
    reading.limit = "disk health (SMART) of " + node + " is not available: not an ATA disk";
    return reading;
  }
  SkBool available = 0, good = 1;
  std::vector<AtaAttribute> read;
  if (sk_disk_smart_is_available(disk, &available) < 0 || !available || sk_disk_smart_read_data(disk) < 0 ||
      sk_disk_smart_parse_attributes(disk, CollectAttribute, &read) < 0) {
    sk_disk_free(disk);
    reading.limit = "disk health (SMART) of " + node + " is not available: the disk does not report it";
    return reading;
  }
  if (sk_disk_smart_status(disk, &good) < 0) good = 1;  // no self-assessment: the attributes decide
  sk_disk_free(disk);
  reading.check.smart = VerdictsOfAta(read, attributes);
  reading.check.code = CodeOf(reading.check.smart, good);
  return reading;
}

}  // namespace

std::vector<uint8_t> VerdictsOfAta(const std::vector<AtaAttribute>& read, std::span<const uint8_t> attributes) {
  return Verdicts({.ata = read}, attributes);
}

std::vector<uint8_t> VerdictsOfNvme(const NvmeHealth& health, std::span<const uint8_t> attributes) {
  return Verdicts({.nvme = &health}, attributes);
}

uint32_t CodeOf(std::span<const uint8_t> verdicts, bool selfAssessmentGood) {
  const bool failing = std::any_of(verdicts.begin(), verdicts.end(), [](uint8_t v) { return v != 0; });
  return failing || !selfAssessmentGood ? kDiskAbnormal : kDiskHealthy;
}

SmartReading ReadSmart(const SysfsRoot& root, const BlockDisk& disk, std::span<const uint8_t> attributes) {
  const std::string node = root.Path("/dev/" + disk.name);
  return disk.nvme ? ReadNvme(node, attributes) : ReadAta(node, attributes);
}

}  // namespace host::machine::linuxhost
