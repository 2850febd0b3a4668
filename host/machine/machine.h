#pragma once
// The machine model: what the hardware-information and fault-detection stand-ins answer. Behind it
// stands either a described notebook read from a machine profile (see the profile format in the
// design notes) or the running Linux machine. Every library call is written to a journal that
// tests can read.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

namespace host::machine {

// Outcome of one check ("RESULT" in a profile). A missing check is a passing one.
struct CheckResult {
  uint32_t code = 0;
  std::u16string messageKey;
  bool passed = true;
  uint32_t level = 0;
  uint32_t delayMs = 0;
  std::string throws;  // not empty: the library call throws std::runtime_error with this text

  bool operator==(const CheckResult&) const = default;
};

// Outcome of one repair operation ("REPAIR" in a profile). A missing repair succeeds with code 0.
struct RepairOutcome {
  uint32_t code = 0;
  bool needRestart = false;
  bool needShutdown = false;
  bool succeeded = true;
  std::u16string message;
  uint32_t delayMs = 0;
  // What passes from then on when the repair succeeds: check paths, "video.deviceReturn" (back
  // to 0) or "disks[N]" (a healthy disk again).
  std::vector<std::string> fixes;

  bool operator==(const RepairOutcome&) const = default;
};

// SMART evaluation of one disk (checks.disks[i]). A missing entry is a healthy disk: code 1, all 0.
struct DiskCheck {
  uint32_t code = 1;
  std::vector<uint8_t> smart;  // verdict bytes; missing bytes are 0
  uint32_t delayMs = 0;

  bool operator==(const DiskCheck&) const = default;
};

struct HostFacts {
  std::string userLanguage = "en-US";
  uint32_t dpi = 96;
  bool rightToLeft = false;
  std::map<std::string, bool> features;  // unlisted names are switched on
  int32_t fingerprintStatus = 0;
  std::optional<bool> fingerprintPresent;  // unset: whether hardware.biometric is present
};

struct Cpu {
  std::u16string name, manufacturer;
  uint32_t cores = 0, threads = 0, extClockMHz = 0, l1KB = 0, l2KB = 0, l3KB = 0;
  uint32_t baseMHz = 0, currentMHz = 0;  // the running machine's clocks; a profile has none
};
struct Baseboard {
  std::u16string product, manufacturer, version, serialNumber;
};
struct MemoryModule {
  uint64_t capacityMB = 0;
  uint32_t speedMHz = 0;
  std::u16string locator, partNumber, manufacturer;
};
struct Memory {
  uint64_t totalMB = 0;
  std::vector<MemoryModule> modules;
};
struct Disk {
  std::u16string caption, firmware;
  uint64_t capacityGB = 0;
  bool ssd = false;
};
struct VideoCard {
  std::u16string name, driverVersion, driverDate;
  uint32_t memoryMB = 0;
};
struct Monitor {
  std::u16string caption, resolution;
  uint32_t refreshRate = 0;
};
struct Video {
  VideoCard independent, internal;
  Monitor monitor;
};
struct AudioDevice {
  std::u16string name, manufacturer;
};
struct Audio {
  std::u16string name;
  std::vector<AudioDevice> devices;
};
struct NetworkAdapter {
  std::vector<std::u16string> hardIds;
  std::u16string caption, manufacturer;
  std::u16string driver;  // the running machine's kernel driver; a profile has none
};
struct Network {
  std::vector<std::u16string> internalHardIds;
  NetworkAdapter wireless, wired, mobile;
  bool notSupportWireless = false;
};
struct Battery {
  std::u16string name;
  uint32_t designCapacityMWh = 0;
};
struct NamedDevice {
  std::u16string name, manufacturer;
};

struct Hardware {
  Cpu cpu;
  Baseboard baseboard;
  Memory memory;
  std::vector<Disk> disks;
  std::optional<int32_t> diskCount;  // overrides what GetPhysicDiskNumbers answers
  Video video;
  Audio audio;
  Network network;
  Battery battery;
  NamedDevice keyboard;
  NamedDevice bluetooth;
  NamedDevice biometric;
  bool hasBluetooth = false;  // hardware.bluetooth present
  bool hasBiometric = false;  // hardware.biometric present
};

struct LogServiceItem {
  int32_t module = 0;
  std::string name;  // UTF-8
};
struct LogService {
  uint8_t offerUpload = 0;
  std::vector<LogServiceItem> items;
};

// A whole profile. Checks are addressed by their path under "checks" ("wifi.switch",
// "memory.stuckAddr", "cpu.codes.sse3", "battery.loss"); flags likewise ("cpu.support.sse",
// "bluetooth.supported"); "video.deviceReturn" is the return value of CVideoCardDetect::CheckDevice.
struct Profile {
  HostFacts host;
  Hardware hardware;
  std::map<std::string, CheckResult> checks;
  std::map<std::string, bool> flags;
  int32_t videoDeviceReturn = 0;
  std::vector<DiskCheck> disks;
  std::map<std::string, RepairOutcome> repairs;
  LogService logService;
};

// Result of reading a profile: either a profile or one readable error line.
struct LoadResult {
  std::shared_ptr<const Profile> profile;
  std::string error;
  explicit operator bool() const { return profile != nullptr; }
};

// Reads a profile; unknown keys, wrong types and malformed JSON are errors naming the source,
// the key path or the position.
LoadResult ParseProfile(std::string_view json, std::string_view sourceName = "<string>");
LoadResult ReadProfileFile(const std::string& path);

// The names a profile knows, in profile order: check paths (RESULT or code), flag paths, and the
// library's repair operations.
std::span<const std::string_view> CheckPaths();
std::span<const std::string_view> FlagPaths();
std::span<const std::string_view> RepairNames();

// What a disk check answered, and for which disk.
struct DiskAnswer {
  std::optional<size_t> index;      // in hardware.disks; none when no disk has the firmware asked
  std::vector<uint8_t> attributes;  // the SMART attribute numbers asked, in record order
  DiskCheck check;
};
// The answer of a check, a disk check or a repair; queries and flags keep none.
using JournalAnswer = std::variant<std::monostate, CheckResult, DiskAnswer, RepairOutcome>;

struct JournalEntry {
  std::string call;  // "CBluetoothDetect::RepairBTProblems"
  std::string args;  // "12"; several arguments are joined by ","
  std::thread::id thread;
  std::chrono::steady_clock::time_point begin, end;
  std::string path;  // the check path or repair name asked ("wifi.switch"); empty for the others
  JournalAnswer answer;
};

// The running Linux machine as selected: the root it is read through, and its memory tests' buffer.
struct RunningMachine {
  std::string root;
  size_t memoryTestBytes = 0;
};

class MachineBackend;

class Machine {
 public:
  // The process's machine. On first use it selects what $SYSDIAGNOSE_MACHINE names (see Select);
  // a profile that cannot be read there is reported on stderr and the machine stays empty.
  static Machine& Instance();

  // Selects the machine a name stands for: empty is the running machine, a directory a recorded
  // machine tree read as the running one, anything else a profile file. On failure the current
  // machine is kept and the one-line error returned; empty text on success.
  std::string Select(const std::string& name);
  // The running Linux machine, read through `root` ("/", or a recorded tree).
  void UseRunningMachine(const std::string& root = "/");
  void Use(std::shared_ptr<MachineBackend> backend);
  // Never null.
  std::shared_ptr<MachineBackend> Backend() const;
  // Set while the machine is the running (or a recorded) Linux machine; none for a described one.
  std::optional<RunningMachine> Running() const;

  // Replace the profile; on failure the current one is kept and the error returned.
  LoadResult LoadFile(const std::string& path);
  LoadResult LoadJson(std::string_view json, std::string_view sourceName = "<string>");
  void Load(std::shared_ptr<const Profile> profile);
  // The empty machine: no devices, every check passes.
  void Clear();

  // Never null: the hardware, host facts and flags the machine answers now.
  std::shared_ptr<const Profile> Current() const;
  // Moves on each time another machine is put in place, so that what is read once per machine
  // (the screen's DPI) is read again.
  uint32_t Generation() const { return generation_.load(std::memory_order_acquire); }

  // The library stand-ins' entry points. Each writes one journal entry for `call`; a described
  // machine waits the entry's delayMs inside it. RunCheck then throws when the check says so.
  CheckResult RunCheck(std::string_view call, std::string_view path, std::string_view args = {});
  bool Flag(std::string_view call, std::string_view path, bool fallback);
  // CDisk::GetFirmwareRevision of the disk at `index` in hardware.disks (empty for a disk there is
  // not). The calling thread's disk checks answer for that disk from then on: the library is given
  // only the firmware text, and two disks of one model, or disks that report none, share it.
  std::u16string ReadDiskFirmware(std::string_view call, int index);
  // The SMART evaluation of the disk this thread read the firmware of last, when that firmware is
  // the one given; else of the first disk with that firmware; none: code 2, no verdict bytes.
  // `attributes` are the SMART attribute numbers of the caller's record, in record order.
  DiskCheck RunDiskCheck(std::string_view call, std::u16string_view firmware, std::span<const uint8_t> attributes,
                         std::string_view args = {});
  // Applies the outcome's fixes when it succeeded.
  RepairOutcome RunRepair(std::string_view call, std::string_view repairName, std::string_view args = {});
  // A plain query (hardware getters): journalled, answered by the caller from Current().
  void Note(std::string_view call, std::string_view args = {});

  // The newest kJournalLimit calls, oldest first, with what checks and repairs answered.
  std::vector<JournalEntry> Journal() const;
  void ClearJournal();
  static constexpr size_t kJournalLimit = 100000;

 private:
  Machine();
  void Record(std::string_view call, std::string_view args, std::chrono::steady_clock::time_point begin,
              std::string_view path = {}, JournalAnswer answer = {});

  mutable std::mutex lock_;
  std::shared_ptr<MachineBackend> backend_;
  std::optional<RunningMachine> running_;
  std::atomic<uint32_t> generation_{0};
  std::deque<JournalEntry> journal_;
};

}  // namespace host::machine
