#pragma once
// Recorded Linux machines that a test may change: a private copy of one, PCI devices added to it,
// and a kernel modules tree of stand-in modules that libkmod reads as it reads a real one.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace testenv {

class CopiedMachine {
 public:
  explicit CopiedMachine(std::string_view name);
  ~CopiedMachine();
  CopiedMachine(const CopiedMachine&) = delete;
  CopiedMachine& operator=(const CopiedMachine&) = delete;

  std::string root() const { return root_.string(); }
  // The first line of a kernel path's file; empty when none.
  std::string Read(const std::string& path) const;
  void Write(const std::string& path, const std::string& text) const;
  void Remove(const std::string& path) const;
  // The path as recorded again (gone when the recorded machine has none), so that one copy serves
  // a table of cases.
  void Restore(const std::string& path) const;
  // A PCI device at `address` ("0000:03:00.0") on the bus, bound to `driver` unless it is empty.
  void AddPciDevice(const std::string& address, uint32_t classCode, uint16_t vendor, uint16_t device,
                    const std::string& driver) const;

 private:
  std::string name_;
  std::filesystem::path root_;
};

// The modalias the kernel gives such a PCI device (no subsystem ids).
std::string PciModalias(uint32_t classCode, uint16_t vendor, uint16_t device);

struct StandInModule {
  std::string name;                  // "iwlwifi"
  std::vector<std::string> aliases;  // "pci:v00008086d0000A0F0sv*sd*bc*sc*i*"
};
// Writes each module as an object file holding only its module information under
// BASE/lib/modules/VERSION/kernel and indexes them with depmod; returns that directory, the
// modules tree libkmod is given. Fails the test when the tools fail.
std::string WriteModulesTree(const std::string& base, const std::string& version, const std::vector<StandInModule>& modules);

// Runs `body` in a forked child without CAP_SYS_MODULE (so the kernel refuses any module load
// whatever the code under test does) and gives back its exit status; -1 when it did not exit.
int InChildWithoutModuleLoading(const std::function<int()>& body);

// How a recorded machine refuses a driver load: its kernel is not this one, to a process that may
// load modules (root); "not permitted" to one that may not.
bool MayLoadModulesHere();
inline const char16_t* RecordedLoadRefusalKey() {
  return MayLoadModulesHere() ? u"IDS_HARDWARE_DIAGNOSE_REPAIR_RECORDED_KERNEL" : u"IDS_HARDWARE_DIAGNOSE_REPAIR_NOT_PERMITTED";
}

}  // namespace testenv
