#include "diagnose/category_routines.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "DuiLib/UICulture.h"
#include "diagnose/disk_health.h"
#include "diagnose/doctor_routines.h"
#include "diagnose/item_tests.h"
#include "diagnose/payload.h"
#include "telemetry/bi_report.h"
#include "telemetry/send_event.h"

namespace zel::sysdiagnose {
namespace {

using HardwareDetect::CCpuTest;

// One check of a routine, in the routine's order.
struct RoutineCheck {
  ItemTest test;
  const char16_t* announceKey = nullptr;     // nullptr: run and folded, but neither announced nor reported
  const char16_t* repairName = u"";          // a key of the repair table, or empty
  bool withRepairFailText = false;
  bool (*gate)(FaultDetectors&) = nullptr;   // when set, the check runs only if this says so
  int payloadSlot = -1;                      // position of its code in the event, -1: none
  bool signedCode = false;                   // its code is written as a signed number
  bool sampled = false;                      // the performance report samples while it runs
  bool silentSkipsGate = false;              // the health check runs it without asking the gate
};

struct RoutinePlan {
  enmHardwareID category;
  std::span<const RoutineCheck> checks;
  const char16_t* presenceMessageKey = nullptr;  // set: the first check gates the others
  const char* eventId = nullptr;                 // nullptr: the category sends no event
  size_t payloadSize = 0;
  int64_t skippedCode = 0;                       // payload value of a check that did not run
  bool silentIgnoresPresence = false;            // the health check runs later checks regardless
};

template <bool (CCpuTest::*Query)()>
bool CpuSupports(FaultDetectors& detectors) {
  return (detectors.cpu.*Query)();
}

bool HasWirelessCard(FaultDetectors&) { return !CNetworkCard().IsNotSupportWireLessCard(); }

constexpr const char16_t* kRepairFailKey = u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DEVICE_REPAIR_FAIL";

// The SSE3 test has no support query of its own; the SSE query gates it. SSSE3 is written
// before SSE3 in the event.
constexpr RoutineCheck kCpuChecks[] = {
    {.test = ItemTest::CpuSse, .announceKey = u"IDS_HARDWARE_DIAGNOSE_CPU_SSE",
     .gate = CpuSupports<&CCpuTest::IsSupportSSE>, .payloadSlot = 0},
    {.test = ItemTest::CpuSse2, .announceKey = u"IDS_HARDWARE_DIAGNOSE_CPU_SSE2",
     .gate = CpuSupports<&CCpuTest::IsSupportSSE2>, .payloadSlot = 1},
    {.test = ItemTest::CpuSse3, .announceKey = u"IDS_HARDWARE_DIAGNOSE_CPU_SSE3",
     .gate = CpuSupports<&CCpuTest::IsSupportSSE>, .payloadSlot = 3},
    {.test = ItemTest::CpuSsse3, .announceKey = u"IDS_HARDWARE_DIAGNOSE_CPU_SSSE3",
     .gate = CpuSupports<&CCpuTest::IsSupportSSSE3>, .payloadSlot = 2},
    {.test = ItemTest::CpuSse41, .announceKey = u"IDS_HARDWARE_DIAGNOSE_CPU_SSE41",
     .gate = CpuSupports<&CCpuTest::IsSupportSSE41>, .payloadSlot = 4},
    {.test = ItemTest::CpuSse42, .announceKey = u"IDS_HARDWARE_DIAGNOSE_CPU_SSE42",
     .gate = CpuSupports<&CCpuTest::IsSupportSSE42>, .payloadSlot = 5},
};

constexpr RoutineCheck kMainboardChecks[] = {
    {.test = ItemTest::Mainboard, .announceKey = u"IDS_HARDWARE_DIAGNOSE_MOT_FAST"},
};

constexpr RoutineCheck kMemoryChecks[] = {
    {.test = ItemTest::MemStuckAddr, .announceKey = u"IDS_HARDWARE_DIAGNOSE_MEM_FAST", .payloadSlot = 0},
    {.test = ItemTest::MemLineSeq, .announceKey = u"IDS_HARDWARE_DIAGNOSE_MEM_CONTINUE_INC_RW", .payloadSlot = 1},
    {.test = ItemTest::MemBlockSeq, .announceKey = u"IDS_HARDWARE_DIAGNOSE_MEM_BLOCK_INC_WRITE", .payloadSlot = 2},
    {.test = ItemTest::MemBit0Walk, .announceKey = u"IDS_HARDWARE_DIAGNOSE_MEM_BIT_RW", .payloadSlot = 3},
    {.test = ItemTest::MemRandom, .announceKey = u"IDS_HARDWARE_DIAGNOSE_MEM_FAKE_RANDOM", .payloadSlot = 4},
    {.test = ItemTest::MemBoard, .announceKey = u"IDS_HARDWARE_DIAGNOSE_MEM_BOARD", .payloadSlot = 5},
    {.test = ItemTest::MemArith, .announceKey = u"IDS_HARDWARE_DIAGNOSE_MEM_ARITH", .payloadSlot = 6},
    {.test = ItemTest::MemLogic, .announceKey = u"IDS_HARDWARE_DIAGNOSE_MEM_LOGIC", .payloadSlot = 7},
    {.test = ItemTest::MemBitFlip, .announceKey = u"IDS_HARDWARE_DIAGNOSE_MEM_BIT_FLIP", .payloadSlot = 8},
};

constexpr RoutineCheck kGpuChecks[] = {
    {.test = ItemTest::GpuDevice, .announceKey = u"IDS_HARDWARE_DIAGNOSE_GPU_DEVICE",
     .repairName = u"RepairVideoCard", .withRepairFailText = true, .payloadSlot = 0},
    {.test = ItemTest::GpuStatus, .announceKey = u"IDS_HARDWARE_DIAGNOSE_GPU_STATE",
     .repairName = u"RepairVideoCard", .payloadSlot = 1, .signedCode = true},
};

constexpr RoutineCheck kDisplayChecks[] = {
    {.test = ItemTest::Display, .announceKey = u"IDS_HARDWARE_DIAGNOSE_DISPLAY_FAST"},
};

constexpr RoutineCheck kAudioChecks[] = {
    {.test = ItemTest::AudioDevice, .announceKey = u"IDS_HARDWARE_DIAGNOSE_AUDIO_DEVICE",
     .repairName = u"RepairAudio", .withRepairFailText = true, .payloadSlot = 0},
    {.test = ItemTest::AudioLoopBack, .announceKey = u"IDS_HARDWARE_DIAGNOSE_AUDIO_LOOPBACK",
     .repairName = u"RepairAudio", .payloadSlot = 1, .sampled = true},
};

// The presence check is announced under the audio device's name; its line keeps its own.
constexpr RoutineCheck kNetcardChecks[] = {
    {.test = ItemTest::WifiDevice, .announceKey = u"IDS_HARDWARE_DIAGNOSE_AUDIO_DEVICE",
     .repairName = u"RepairWifiDriver", .withRepairFailText = true, .payloadSlot = 0},
    {.test = ItemTest::WifiAdapter, .announceKey = u"IDS_HARDWARE_DIAGNOSE_NETCARD_ADAPTER",
     .repairName = u"RepairWifiProblem", .payloadSlot = 1},
    {.test = ItemTest::WifiSwitch, .announceKey = u"IDS_HARDWARE_DIAGNOSE_WIFI_SWITCH",
     .repairName = u"RepairWifiProblem", .gate = HasWirelessCard, .payloadSlot = 2, .silentSkipsGate = true},
    {.test = ItemTest::WifiSignal, .announceKey = u"IDS_HARDWARE_DIAGNOSE_NETCARD_SIGNAL",
     .repairName = u"RepairWifiProblem", .gate = HasWirelessCard, .payloadSlot = 3, .silentSkipsGate = true},
};

// The loss test is folded into the voltage line again without being announced or reported.
constexpr RoutineCheck kBatteryChecks[] = {
    {.test = ItemTest::BatteryDevice, .announceKey = u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE", .payloadSlot = 0},
    {.test = ItemTest::BatteryVoltage, .announceKey = u"IDS_HARDWARE_DIAGNOSE_BAT_VOLTAGE", .payloadSlot = 1},
    {.test = ItemTest::BatteryLoss, .payloadSlot = 2},
};

constexpr RoutineCheck kKeyboardChecks[] = {
    {.test = ItemTest::KeyboardFilterKey, .announceKey = u"IDS_HARDWARE_DIAGNOSE_KEYBOARD_FILTER",
     .repairName = u"RepairFilterKey"},
    {.test = ItemTest::KeyboardHotKey, .announceKey = u"IDS_HARDWARE_DIAGNOSE_KEYBOARD_HOTKEY",
     .repairName = u"RepairHotkey"},
};

constexpr RoutineCheck kBluetoothChecks[] = {
    {.test = ItemTest::BluetoothDevice, .announceKey = u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DEVICE",
     .repairName = u"RepairBluetooth", .withRepairFailText = true},
    {.test = ItemTest::BluetoothState, .announceKey = u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_STATUS",
     .repairName = u"RepairBluetooth"},
};

constexpr RoutineCheck kFingerprintChecks[] = {
    {.test = ItemTest::FingerprintDevice, .announceKey = u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE",
     .repairName = u"RepairFingerprint"},
    {.test = ItemTest::FingerprintFunction, .announceKey = u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_STATUS",
     .repairName = u"RepairFingerprint"},
};

constexpr RoutinePlan kCpu{.category = HARDWARE_CPU, .checks = kCpuChecks, .eventId = "620000020", .payloadSize = 6};
constexpr RoutinePlan kMainboard{
    .category = HARDWARE_MAINBOARD, .checks = kMainboardChecks, .eventId = "620000021", .payloadSize = 1};
constexpr RoutinePlan kMemory{
    .category = HARDWARE_MEMORY, .checks = kMemoryChecks, .eventId = "620000022", .payloadSize = 9};
constexpr RoutinePlan kGpu{.category = HARDWARE_GPU, .checks = kGpuChecks,
                           .presenceMessageKey = u"IDS_HARDWARE_DIAGNOSE_GPU_UNKNOWN",
                           .eventId = "620000025", .payloadSize = 2};
constexpr RoutinePlan kDisplay{
    .category = HARDWARE_DISPLAY, .checks = kDisplayChecks, .eventId = "620000026", .payloadSize = 1};
constexpr RoutinePlan kAudio{.category = HARDWARE_AUDIO, .checks = kAudioChecks,
                             .presenceMessageKey = u"IDS_HARDWARE_DIAGNOSE_AUDIO_UNKNOWN",
                             .eventId = "620000027", .payloadSize = 2};
constexpr RoutinePlan kNetcard{.category = HARDWARE_NETCARD, .checks = kNetcardChecks,
                               .presenceMessageKey = u"IDS_HARDWARE_DIAGNOSE_WIFI_UNKNOWN",
                               .eventId = "620000028", .payloadSize = 4};
constexpr RoutinePlan kBattery{.category = HARDWARE_BATTERY, .checks = kBatteryChecks,
                               .presenceMessageKey = u"IDS_HARDWARE_DIAGNOSE_BATTERY_UNKNOWN",
                               .eventId = "620000029", .payloadSize = 3, .skippedCode = 1};
constexpr RoutinePlan kKeyboard{.category = HARDWARE_KEYBOARD, .checks = kKeyboardChecks};
constexpr RoutinePlan kBluetooth{.category = HARDWARE_BLUETOOTH, .checks = kBluetoothChecks,
                                 .presenceMessageKey = u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_UNKNOWN"};
constexpr RoutinePlan kFingerprint{.category = HARDWARE_FINGERPRINT, .checks = kFingerprintChecks,
                                   .presenceMessageKey = u"IDS_HARDWARE_DIAGNOSE_FINGERPRINT_UNKNOWN",
                                   .silentIgnoresPresence = true};

std::u16string Localized(const char16_t* key) { return UICulture::GetInstance().GetString(key); }

tagDetectItemDetail Announcement(const RoutineCheck& check) {
  return {Localized(check.announceKey), check.repairName,
          check.withRepairFailText ? Localized(kRepairFailKey) : std::u16string()};
}

int64_t PayloadValue(const RoutineCheck& check, int32_t code) {
  return check.signedCode ? int64_t{code} : int64_t{static_cast<uint32_t>(code)};
}

struct Callbacks {
  const CheckStartCallback& onCheckStart;
  const LineCallback& onLine;
  const MessageCallback& onMessage;
  const ResultCallback& onResult;
};

// Announce, run, report, fold: one check on the routine's reused line.
void RunCheck(const RoutineCheck& check, int32_t category, FaultDetectors& detectors, tagHardwareDetectInfo& line,
              tagDetectResult& verdict, const Callbacks& callbacks) {
  const bool reported = check.announceKey != nullptr;
  std::unique_ptr<BIReport> sampler;
  if (check.sampled) {
    sampler = std::make_unique<BIReport>();
    sampler->Start();
  }
  if (reported && callbacks.onCheckStart) callbacks.onCheckStart(category, Announcement(check));
  RunItemTest(check.test, detectors, line);
  if (reported && callbacks.onLine) callbacks.onLine(category, line);
  FoldLine(verdict, line);
  if (sampler) {
    sampler->Stop();
    sampler->SendReport();
  }
}

// `repairs` set: the health check's silent run, which reports nothing and collects a repair entry
// for every failing check that has a repair instead.
tagDetectResult RunRoutine(const RoutinePlan& plan, FaultDetectors& detectors, tagDetectResult& verdict,
                           const Callbacks& callbacks, DoctorRepairList* repairs = nullptr) {
  const bool silent = repairs != nullptr;
  const int32_t category = plan.category;
  verdict = FreshVerdict();
  tagHardwareDetectInfo line = FreshLine();
  std::vector<int64_t> payload(plan.payloadSize, plan.skippedCode);
  bool repairable = false;
  for (size_t i = 0; i < plan.checks.size(); ++i) {
    const RoutineCheck& check = plan.checks[i];
    if (check.gate && !(silent && check.silentSkipsGate) && !check.gate(detectors)) continue;
    RunCheck(check, category, detectors, line, verdict, callbacks);
    if (check.payloadSlot >= 0) payload[static_cast<size_t>(check.payloadSlot)] = PayloadValue(check, line.code);
    const bool hasRepair = check.repairName[0] != u'\0';
    repairable = repairable || hasRepair;
    if (silent && hasRepair && !line.passed) repairs->push_back({check.repairName, static_cast<uint32_t>(line.code)});
    const bool presenceMissing = i == 0 && plan.presenceMessageKey && line.code != 0;
    if (presenceMissing) {
      if (callbacks.onMessage) callbacks.onMessage(category, Localized(plan.presenceMessageKey));
      if (!(silent && plan.silentIgnoresPresence)) break;
    }
  }
  if (plan.eventId) SendEvent(plan.eventId, JoinPayload(payload));
  if (callbacks.onResult) callbacks.onResult(category, verdict);
  if (silent && repairable) verdict.extra = true;
  return verdict;
}

}  // namespace

#define ZEL_ROUTINE_ARGS                                                                                    \
  FaultDetectors &detectors, tagDetectResult &verdict, const CheckStartCallback &onCheckStart,               \
      const LineCallback &onLine, const MessageCallback &onMessage, const ResultCallback &onResult
#define ZEL_RUN(plan) return RunRoutine(plan, detectors, verdict, {onCheckStart, onLine, onMessage, onResult})

tagDetectResult DiagnoseAudio(ZEL_ROUTINE_ARGS) { ZEL_RUN(kAudio); }
tagDetectResult DiagnoseMainboard(ZEL_ROUTINE_ARGS) { ZEL_RUN(kMainboard); }
tagDetectResult DiagnoseBluetooth(ZEL_ROUTINE_ARGS) { ZEL_RUN(kBluetooth); }
tagDetectResult DiagnoseNetcard(ZEL_ROUTINE_ARGS) { ZEL_RUN(kNetcard); }
tagDetectResult DiagnoseCpu(ZEL_ROUTINE_ARGS) { ZEL_RUN(kCpu); }
tagDetectResult DiagnoseMemory(ZEL_ROUTINE_ARGS) { ZEL_RUN(kMemory); }
tagDetectResult DiagnoseGpu(ZEL_ROUTINE_ARGS) { ZEL_RUN(kGpu); }
tagDetectResult DiagnoseDisplay(ZEL_ROUTINE_ARGS) { ZEL_RUN(kDisplay); }
tagDetectResult DiagnoseBattery(ZEL_ROUTINE_ARGS) { ZEL_RUN(kBattery); }
tagDetectResult DiagnoseKeyboard(ZEL_ROUTINE_ARGS) { ZEL_RUN(kKeyboard); }
tagDetectResult DiagnoseFingerprint(ZEL_ROUTINE_ARGS) { ZEL_RUN(kFingerprint); }

#undef ZEL_RUN
#undef ZEL_ROUTINE_ARGS

namespace {

tagDetectResult RunSilent(const RoutinePlan& plan, FaultDetectors& detectors, DoctorRepairList& repairs) {
  tagDetectResult verdict = FreshVerdict();
  return RunRoutine(plan, detectors, verdict, {{}, {}, {}, {}}, &repairs);
}

}  // namespace

tagDetectResult DoctorDiagnoseAudio(FaultDetectors& detectors, DoctorRepairList& repairs) {
  return RunSilent(kAudio, detectors, repairs);
}
tagDetectResult DoctorDiagnoseMainboard(FaultDetectors& detectors, DoctorRepairList& repairs) {
  return RunSilent(kMainboard, detectors, repairs);
}
tagDetectResult DoctorDiagnoseBluetooth(FaultDetectors& detectors, DoctorRepairList& repairs) {
  return RunSilent(kBluetooth, detectors, repairs);
}
tagDetectResult DoctorDiagnoseNetcard(FaultDetectors& detectors, DoctorRepairList& repairs) {
  return RunSilent(kNetcard, detectors, repairs);
}
tagDetectResult DoctorDiagnoseCpu(FaultDetectors& detectors, DoctorRepairList& repairs) {
  return RunSilent(kCpu, detectors, repairs);
}
tagDetectResult DoctorDiagnoseMemory(FaultDetectors& detectors, DoctorRepairList& repairs) {
  return RunSilent(kMemory, detectors, repairs);
}
tagDetectResult DoctorDiagnoseGpu(FaultDetectors& detectors, DoctorRepairList& repairs) {
  return RunSilent(kGpu, detectors, repairs);
}
tagDetectResult DoctorDiagnoseDisplay(FaultDetectors& detectors, DoctorRepairList& repairs) {
  return RunSilent(kDisplay, detectors, repairs);
}
tagDetectResult DoctorDiagnoseBattery(FaultDetectors& detectors, DoctorRepairList& repairs) {
  return RunSilent(kBattery, detectors, repairs);
}
tagDetectResult DoctorDiagnoseKeyboard(FaultDetectors& detectors, DoctorRepairList& repairs) {
  return RunSilent(kKeyboard, detectors, repairs);
}
tagDetectResult DoctorDiagnoseFingerprint(FaultDetectors& detectors, DoctorRepairList& repairs) {
  return RunSilent(kFingerprint, detectors, repairs);
}

DiagnoseRoutine RoutineFor(int32_t category) {
  // Indexed by enmHardwareID.
  static constexpr DiagnoseRoutine kRoutines[kHardwareCategoryCount] = {
      DiagnoseAudio, DiagnoseMainboard, DiagnoseBluetooth, DiagnoseNetcard, DiagnoseCpu,     DiagnoseMemory,
      DiagnoseDisk,  DiagnoseGpu,       DiagnoseDisplay,   DiagnoseBattery, DiagnoseKeyboard, DiagnoseFingerprint,
  };
  if (!IsHardwareCategory(category)) return nullptr;
  return kRoutines[category];
}

}  // namespace zel::sysdiagnose
