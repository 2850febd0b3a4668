#pragma once
// The fault-detection library's checks and repairs on the running machine, two tables: each check
// path with what it looks at and the function that looks, each repair operation with what it does.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "machine/linux/hardware_reader.h"
#include "machine/linux/memory_test.h"
#include "machine/linux/source_places.h"
#include "machine/machine.h"

namespace host::machine::linuxhost {

class SysfsRoot;

struct CheckContext {
  const SysfsRoot& root;
  const Inventory& inventory;
  const SourcePlaces& places;
  size_t memoryTestBytes;
  const BetweenWriteAndVerify& memoryHook;
  MemoryTestSlot* memorySlot = nullptr;  // the machine's buffer for the memory checks; null: one each
};

// What a check can do on this machine. One that cannot look answers NotChecked, never a pass; one
// that does not apply (hotkeys on a desktop) passes.
struct Applicability {
  enum class Kind { Runs, NotApplicable, CannotRun } kind = Kind::Runs;
  std::string text;  // Runs: what it looks at here, if worth saying; otherwise why, in a few words
};

struct LinuxCheck {
  std::string_view path;     // under "checks"
  std::string_view meaning;  // what it looks at, and what passing means
  CheckResult (*run)(const CheckContext& context);
  Applicability (*here)(const CheckContext& context) = nullptr;  // null: it always runs
};

// A repair operation of the library; `run` may change the machine, so the caller reads it again.
struct LinuxRepair {
  std::string_view name;     // "RepairBTProblems"
  std::string_view meaning;  // what it does here
  RepairOutcome (*run)(const CheckContext& context);
};

// The checks and their sources (alsa-lib, libkmod, GIO, libX11, libatasmart) live in a library of their own,
// libhost_machine_checks.so, loaded the first time a check or repair is asked for: a command that
// asks none never loads them.
std::span<const LinuxCheck> LinuxChecks();
const LinuxCheck* FindLinuxCheck(std::string_view path);
std::span<const LinuxRepair> LinuxRepairs();
const LinuxRepair* FindLinuxRepair(std::string_view name);

struct SmartReading;

struct LinuxCheckTables {
  std::span<const LinuxCheck> checks;
  std::span<const LinuxRepair> repairs;
  // A disk's health from the disk itself (libatasmart, the NVMe ioctl).
  SmartReading (*readSmart)(const SysfsRoot& root, const BlockDisk& disk, std::span<const uint8_t> attributes) = nullptr;
};
// That library, and what it gives the machine by this name.
inline constexpr char kLinuxChecksLibrary[] = "libhost_machine_checks.so";
inline constexpr char kLinuxCheckTablesSymbol[] = "sysdiagnose_linux_check_tables";

// The library's code for a check that could not be completed (-5).
inline constexpr uint32_t kNotCheckedCode = static_cast<uint32_t>(-5);
// A check that could not look: a failing line of level 1 (a notice, not a fault) whose text, the
// string-table key `whyKey`, says why.
inline CheckResult NotChecked(std::u16string whyKey) {
  CheckResult result;
  result.code = kNotCheckedCode;
  result.messageKey = std::move(whyKey);
  result.passed = false;
  result.level = 1;
  return result;
}

// A repair's outcomes: done (REPAIR_SUCCESS unless said otherwise), or failed with the string-table
// key that says why.
inline RepairOutcome RepairDone(std::u16string messageKey = u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS") {
  RepairOutcome done;
  done.message = std::move(messageKey);
  return done;
}
inline RepairOutcome RepairFailed(std::u16string messageKey) {
  RepairOutcome outcome;
  outcome.code = 1;
  outcome.succeeded = false;
  outcome.message = std::move(messageKey);
  return outcome;
}

// Below this share of its design capacity a battery counts as worn.
inline constexpr double kWornBattery = 0.6;
// A Wi-Fi signal below this level (dBm) is weak.
inline constexpr int32_t kWeakSignalDbm = -80;

}  // namespace host::machine::linuxhost
