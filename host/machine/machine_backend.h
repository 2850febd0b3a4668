#pragma once
// What a machine answers to the hardware-information and fault-detection libraries. Two kinds
// stand behind it: a described machine (a profile) and the running Linux machine.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "machine/machine.h"

namespace host::machine {

// Which of `firmwares` (in disk order) a disk check means: `index` when it names one, else the
// first with `firmware`; none when neither does.
inline std::optional<size_t> DiskIndexFor(std::optional<size_t> index, std::u16string_view firmware,
                                          const std::vector<std::u16string_view>& firmwares) {
  if (index) return *index < firmwares.size() ? index : std::nullopt;
  for (size_t i = 0; i < firmwares.size(); ++i) {
    if (firmwares[i] == firmware) return i;
  }
  return std::nullopt;
}

// One check or repair as a machine explains it: what it looks at or does, and whether it can here.
struct CheckDescription {
  std::string name;  // a check path or a repair operation
  std::string meaning;
  std::string here;  // "runs", "not applicable" or "cannot run"
  std::string why;   // what it looks at here, or why it does not apply or cannot run
};

class MachineBackend {
 public:
  virtual ~MachineBackend() = default;

  // Hardware, host facts, flags and the log service's answers; checks and repairs are asked
  // through the calls below. Never null.
  virtual std::shared_ptr<const Profile> Facts() = 0;
  // A check by its path under "checks" ("wifi.switch", "memory.random", "cpu.codes.sse3").
  virtual CheckResult Check(std::string_view path) = 0;
  // The SMART evaluation of the disk at `index` in the facts' hardware.disks when the caller knows
  // which one it means, else of the first disk with this firmware revision (DiskIndexFor);
  // `attributes` are the SMART attribute numbers of the record the caller wants, in record order.
  virtual DiskCheck CheckDisk(std::optional<size_t> index, std::u16string_view firmware,
                              std::span<const uint8_t> attributes) = 0;
  // A repair by its operation name ("RepairWifiProblem").
  virtual RepairOutcome Repair(std::string_view name) = 0;
  // What this machine could not read or do, one line each.
  virtual std::vector<std::string> Limits() { return {}; }
  // The checks and repairs of a machine that makes them live; empty for a described one.
  virtual std::vector<CheckDescription> DescribeChecks() { return {}; }
  virtual std::vector<CheckDescription> DescribeRepairs() { return {}; }
  // One line that names the machine ("profile faulty.json", "this Linux machine").
  virtual std::string Description() const = 0;
};

}  // namespace host::machine
