#include "machine/linux/disk_smart.h"

#include <atasmart.h>
#include <fcntl.h>
#include <linux/nvme_ioctl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "machine/linux/sysfs_root.h"

namespace host::machine::linuxhost {
namespace {

// Critical warning bits of the NVMe health log.
constexpr uint8_t kSpareLow = 1u << 0, kReliabilityDegraded = 1u << 2, kReadOnly = 1u << 3;

// The SMART attribute each NVMe finding stands for on the library's record.
constexpr uint8_t kReadErrorRate = 0x01, kReservedSpace = 0xE8, kWearout = 0xE9;

std::vector<uint8_t> Verdicts(std::span<const uint8_t> attributes, auto failing) {
  std::vector<uint8_t> verdicts(attributes.size(), 0);
  for (size_t i = 0; i < attributes.size(); ++i) verdicts[i] = failing(attributes[i]) ? 1 : 0;
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
  reading.check.code = health->criticalWarning != 0 ? kDiskAbnormal : CodeOf(reading.check.smart, true);
  return reading;
}

void CollectAttribute(SkDisk*, const SkSmartAttributeParsedData* a, void* userdata) {
  auto* read = static_cast<std::vector<AtaAttribute>*>(userdata);
  read->push_back({a->id, a->current_value, a->threshold, static_cast<bool>(a->current_value_valid),
                   static_cast<bool>(a->threshold_valid)});
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

// A threshold of 0 marks an attribute that only informs; it never fails.
std::vector<uint8_t> VerdictsOfAta(const std::vector<AtaAttribute>& read, std::span<const uint8_t> attributes) {
  return Verdicts(attributes, [&read](uint8_t id) {
    return std::any_of(read.begin(), read.end(), [id](const AtaAttribute& a) {
      return a.id == id && a.valueValid && a.thresholdValid && a.threshold != 0 && a.value <= a.threshold;
    });
  });
}

std::vector<uint8_t> VerdictsOfNvme(const NvmeHealth& health, std::span<const uint8_t> attributes) {
  const bool spareLow = (health.criticalWarning & kSpareLow) || health.availableSpare < health.spareThreshold;
  const bool wornOut = (health.criticalWarning & kReadOnly) || health.percentageUsed >= 100;
  const bool degraded = health.criticalWarning & kReliabilityDegraded;
  return Verdicts(attributes, [&](uint8_t id) {
    return (id == kReservedSpace && spareLow) || (id == kWearout && wornOut) || (id == kReadErrorRate && degraded);
  });
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
