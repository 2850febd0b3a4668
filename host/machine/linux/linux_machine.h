#pragma once
// The running Linux machine: hardware from procfs and sysfs, real checks (instruction sets,
// memory tests, SMART, sound, radios, batteries, keyboard settings, services) and the repairs
// that are safe.
// Any thread may call it.
#include <chrono>
#include <mutex>
#include <set>

#include "machine/linux/hardware_reader.h"
#include "machine/linux/linux_checks.h"
#include "machine/linux/memory_test.h"
#include "machine/linux/source_places.h"
#include "machine/linux/sysfs_root.h"
#include "machine/machine_backend.h"

namespace host::machine::linuxhost {

class LinuxMachine final : public MachineBackend {
 public:
  struct Options {
    std::string root = "/";
    size_t memoryTestBytes = size_t{64} << 20;
    BetweenWriteAndVerify memoryHook;  // runs inside every memory test pass
    // The root given; the buffer from $SYSDIAGNOSE_MEMTEST_MB when that is a positive number.
    static Options FromEnvironment(std::string root);
  };

  explicit LinuxMachine(Options options);

  std::shared_ptr<const Profile> Facts() override;
  CheckResult Check(std::string_view path) override;
  DiskCheck CheckDisk(std::optional<size_t> index, std::u16string_view firmware,
                      std::span<const uint8_t> attributes) override;
  RepairOutcome Repair(std::string_view name) override;
  std::vector<std::string> Limits() override;
  std::vector<CheckDescription> DescribeChecks() override;
  std::vector<CheckDescription> DescribeRepairs() override;
  std::string Description() const override;

  // Hardware is read again when the last reading is older than this.
  static constexpr std::chrono::seconds kFactsLifetime{5};

 private:
  std::shared_ptr<const Inventory> CurrentInventory();
  CheckContext Context(const Inventory& inventory);
  void Limit(const std::string& text);

  const Options options_;
  const SysfsRoot root_;
  const SourcePlaces places_;
  std::mutex lock_;
  std::shared_ptr<const Inventory> inventory_;
  std::chrono::steady_clock::time_point readAt_;
  std::set<std::string> limits_;
  // Mapped by the first memory check and kept for the others: clearing fresh pages cost more
  // than testing them.
  MemoryTestSlot memorySlot_;
};

}  // namespace host::machine::linuxhost
