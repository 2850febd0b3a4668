#pragma once
// The described machine: every answer comes from a machine profile. A successful repair's fixes
// publish a new profile; snapshots already handed out stay as they were.
#include <mutex>

#include "machine/machine_backend.h"

namespace host::machine {

class ProfileBackend final : public MachineBackend {
 public:
  ProfileBackend(std::shared_ptr<const Profile> profile, std::string description);

  std::shared_ptr<const Profile> Facts() override;
  CheckResult Check(std::string_view path) override;
  DiskCheck CheckDisk(std::optional<size_t> index, std::u16string_view firmware,
                      std::span<const uint8_t> attributes) override;
  RepairOutcome Repair(std::string_view name) override;
  std::string Description() const override { return description_; }

 private:
  void ApplyFixes(const std::vector<std::string>& fixes);

  mutable std::mutex lock_;
  std::shared_ptr<const Profile> profile_;
  const std::string description_;
};

}  // namespace host::machine
