#pragma once
// What a machine answers to the hardware-information and fault-detection libraries. Two kinds
// stand behind it: a described machine (a profile) and the running Linux machine.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "machine/machine.h"

namespace host::machine {

class MachineBackend {
 public:
  virtual ~MachineBackend() = default;

  // Hardware, host facts, flags and the log service's answers; checks and repairs are asked
  // through the calls below. Never null.
  virtual std::shared_ptr<const Profile> Facts() = 0;
  // A check by its path under "checks" ("wifi.switch", "memory.random", "cpu.codes.sse3").
  virtual CheckResult Check(std::string_view path) = 0;
  // The SMART evaluation of the disk with this firmware revision; `attributes` are the SMART
  // attribute numbers of the record the caller wants, in record order.
  virtual DiskCheck CheckDisk(std::u16string_view firmware, std::span<const uint8_t> attributes) = 0;
  // A repair by its operation name ("RepairWifiProblem").
  virtual RepairOutcome Repair(std::string_view name) = 0;
  // What this machine could not read or do, one line each.
  virtual std::vector<std::string> Limits() { return {}; }
  // One line that names the machine ("profile faulty.json", "this Linux machine").
  virtual std::string Description() const = 0;
};

}  // namespace host::machine
