#include "diagnose/item_tests.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "DuiLib/UICulture.h"

namespace zel::sysdiagnose {
namespace {

using HardwareDetect::tagHARDWARE_DETECT_RESULT;

enum class Kind {
  Code,    // the library returns a code: passed = code 0 (or always), text of the code
  Record,  // the library fills a result record: copied into the line
  Fixed,   // no library call: a passing line
  Refold,  // a code that rewrites only passed and code of a line another test named
};

using CodeCall = uint32_t (*)(FaultDetectors&);
using RecordCall = void (*)(FaultDetectors&, tagHARDWARE_DETECT_RESULT&);

struct ItemTestEntry {
  ItemTest test;
  Kind kind;
  const char16_t* nameKey;
  CodeCall codeCall = nullptr;
  RecordCall recordCall = nullptr;
  bool alwaysPasses = false;
  std::optional<int32_t> textCode;  // the text comes from this code, not from the returned one
};

// Library calls, bound to the detector set. Detail texts and in/out flags are not read afterwards.
template <auto Detector, auto Check>
uint32_t WithDetail(FaultDetectors& detectors) {
  std::u16string detail;
  return ((detectors.*Detector).*Check)(detail);
}

template <auto Check>
uint32_t MemoryCheck(FaultDetectors& detectors) {
  std::u16string detail;
  int flag = 1;
  return (detectors.memory.*Check)(detail, flag);
}

template <auto Detector, auto Check>
void IntoRecord(FaultDetectors& detectors, tagHARDWARE_DETECT_RESULT& result) {
  static_cast<void>(((detectors.*Detector).*Check)(result));
}

template <auto Check>
void WifiIntoRecord(FaultDetectors&, tagHARDWARE_DETECT_RESULT& result) {
  static_cast<void>((HardwareDetect::WifiFaultDetect::GetInstance().*Check)(result));
}

constexpr ItemTestEntry Cpu(ItemTest test, const char16_t* key, CodeCall call) {
  return {test, Kind::Code, key, call, nullptr, true, 0};
}
constexpr ItemTestEntry Code(ItemTest test, const char16_t* key, CodeCall call) {
  return {test, Kind::Code, key, call, nullptr, false, std::nullopt};
}
constexpr ItemTestEntry CodeWithText(ItemTest test, const char16_t* key, CodeCall call, int32_t textCode) {
  return {test, Kind::Code, key, call, nullptr, false, textCode};
}
constexpr ItemTestEntry Record(ItemTest test, const char16_t* key, RecordCall call) {
  return {test, Kind::Record, key, nullptr, call, false, std::nullopt};
}
constexpr ItemTestEntry Fixed(ItemTest test, const char16_t* key) {
  return {test, Kind::Fixed, key, nullptr, nullptr, true, 0};
}
constexpr ItemTestEntry Refold(ItemTest test, CodeCall call) {
  return {test, Kind::Refold, nullptr, call, nullptr, false, std::nullopt};
}

using namespace HardwareDetect;  // the table reads better with bare class names
using D = FaultDetectors;

constexpr ItemTestEntry kItemTests[] = {
    Cpu(ItemTest::CpuSse, u"IDS_HARDWARE_DIAGNOSE_CPU_SSE", WithDetail<&D::cpu, &CCpuTest::TestSSE>),
    Cpu(ItemTest::CpuSse2, u"IDS_HARDWARE_DIAGNOSE_CPU_SSE2", WithDetail<&D::cpu, &CCpuTest::TestSSE2>),
    Cpu(ItemTest::CpuSse3, u"IDS_HARDWARE_DIAGNOSE_CPU_SSE3", WithDetail<&D::cpu, &CCpuTest::TestSSE3>),
    Cpu(ItemTest::CpuSsse3, u"IDS_HARDWARE_DIAGNOSE_CPU_SSSE3", WithDetail<&D::cpu, &CCpuTest::TestSSSE3>),
    Cpu(ItemTest::CpuSse41, u"IDS_HARDWARE_DIAGNOSE_CPU_SSE41", WithDetail<&D::cpu, &CCpuTest::TestSSE41>),
    Cpu(ItemTest::CpuSse42, u"IDS_HARDWARE_DIAGNOSE_CPU_SSE42", WithDetail<&D::cpu, &CCpuTest::TestSSE42>),
    Fixed(ItemTest::Mainboard, u"IDS_HARDWARE_DIAGNOSE_MOT_FAST"),
    Code(ItemTest::MemStuckAddr, u"IDS_HARDWARE_DIAGNOSE_MEM_FAST", MemoryCheck<&CMemFaultDetect::CheckStuckAddr>),
    Code(ItemTest::MemLineSeq, u"IDS_HARDWARE_DIAGNOSE_MEM_CONTINUE_INC_RW",
         MemoryCheck<&CMemFaultDetect::CheckLineSeq>),
    Code(ItemTest::MemBlockSeq, u"IDS_HARDWARE_DIAGNOSE_MEM_BLOCK_INC_WRITE",
         MemoryCheck<&CMemFaultDetect::CheckBlockSeq>),
    Code(ItemTest::MemBit0Walk, u"IDS_HARDWARE_DIAGNOSE_MEM_BIT_RW", MemoryCheck<&CMemFaultDetect::CheckBit0Walk>),
    Code(ItemTest::MemRandom, u"IDS_HARDWARE_DIAGNOSE_MEM_FAKE_RANDOM", MemoryCheck<&CMemFaultDetect::CheckRandom>),
    Code(ItemTest::MemBoard, u"IDS_HARDWARE_DIAGNOSE_MEM_BOARD", MemoryCheck<&CMemFaultDetect::CheckBoard>),
    Code(ItemTest::MemArith, u"IDS_HARDWARE_DIAGNOSE_MEM_ARITH", MemoryCheck<&CMemFaultDetect::CheckArithOperation>),
    Code(ItemTest::MemLogic, u"IDS_HARDWARE_DIAGNOSE_MEM_LOGIC", MemoryCheck<&CMemFaultDetect::CheckLogicOperation>),
    Code(ItemTest::MemBitFlip, u"IDS_HARDWARE_DIAGNOSE_MEM_BIT_FLIP", MemoryCheck<&CMemFaultDetect::CheckBitFlip>),
    Record(ItemTest::GpuDevice, u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE",
           IntoRecord<&D::video, &CVideoCardDetect::CheckDevice>),
    Record(ItemTest::GpuStatus, u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE",
           IntoRecord<&D::video, &CVideoCardDetect::CheckDeviceStatus>),
    Record(ItemTest::AudioDevice, u"IDS_HARDWARE_DIAGNOSE_AUDIO_DEVICE",
           IntoRecord<&D::audio, &CAudioDetect::CheckDevice>),
    Record(ItemTest::AudioLoopBack, u"IDS_HARDWARE_DIAGNOSE_AUDIO_LOOPBACK",
           IntoRecord<&D::audio, &CAudioDetect::CheckLoopBack>),
    Record(ItemTest::WifiDevice, u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE", WifiIntoRecord<&WifiFaultDetect::CheckDevice>),
    Record(ItemTest::WifiAdapter, u"IDS_HARDWARE_DIAGNOSE_NETCARD_ADAPTER",
           WifiIntoRecord<&WifiFaultDetect::CheckNetworkCard>),
    Record(ItemTest::WifiSwitch, u"IDS_HARDWARE_DIAGNOSE_WIFI_SWITCH", WifiIntoRecord<&WifiFaultDetect::CheckWifiSwitch>),
    Record(ItemTest::WifiSignal, u"IDS_HARDWARE_DIAGNOSE_NETCARD_SIGNAL",
           WifiIntoRecord<&WifiFaultDetect::CheckWifiSignal>),
    CodeWithText(ItemTest::BatteryDevice, u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE",
                 WithDetail<&D::battery, &CBatteryDetect::CheckDevice>, -2),
    CodeWithText(ItemTest::BatteryVoltage, u"IDS_HARDWARE_DIAGNOSE_BAT_VOLTAGE",
                 WithDetail<&D::battery, &CBatteryDetect::TestVoltage>, -4),
    Refold(ItemTest::BatteryLoss, WithDetail<&D::battery, &CBatteryDetect::TestLoss>),
    Record(ItemTest::KeyboardFilterKey, u"IDS_HARDWARE_DIAGNOSE_KEYBOARD_FILTER",
           IntoRecord<&D::keyboard, &CKeyBoardDetect::DetetctFilterKey>),
    Record(ItemTest::KeyboardHotKey, u"IDS_HARDWARE_DIAGNOSE_KEYBOARD_HOTKEY",
           IntoRecord<&D::keyboard, &CKeyBoardDetect::DetetctHotKey>),
    Record(ItemTest::BluetoothDevice, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DEVICE",
           IntoRecord<&D::bluetooth, &CBluetoothDetect::CheckDevice>),
    Record(ItemTest::BluetoothState, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_STATUS",
           IntoRecord<&D::bluetooth, &CBluetoothDetect::CheckState>),
    Record(ItemTest::FingerprintDevice, u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE",
           IntoRecord<&D::biometric, &CBiometricDetect::CheckDevice>),
    Record(ItemTest::FingerprintFunction, u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_STATUS",
           IntoRecord<&D::biometric, &CBiometricDetect::CheckFunction>),
    Fixed(ItemTest::Display, u"IDS_HARDWARE_DIAGNOSE_DISPLAY_FAST"),
};

constexpr bool TableFollowsEnum() {
  for (size_t i = 0; i < std::size(kItemTests); ++i) {
    if (static_cast<size_t>(kItemTests[i].test) != i) return false;
  }
  return std::size(kItemTests) == static_cast<size_t>(ItemTest::Display) + 1;
}
static_assert(TableFollowsEnum(), "kItemTests must list every ItemTest once, in enum order");

std::u16string Localized(std::u16string_view key) { return UICulture::GetInstance().GetString(key); }

uint32_t RunCodeKind(const ItemTestEntry& entry, FaultDetectors& detectors, tagHardwareDetectInfo& line) {
  const uint32_t code = entry.codeCall(detectors);
  line.name = Localized(entry.nameKey);
  line.passed = entry.alwaysPasses || code == 0;
  line.text = GetErrorCodeText(entry.textCode.value_or(static_cast<int32_t>(code)));
  line.code = static_cast<int32_t>(code);
  return code;
}

uint32_t RunRecordKind(const ItemTestEntry& entry, FaultDetectors& detectors, tagHardwareDetectInfo& line) {
  tagHARDWARE_DETECT_RESULT result;  // code 0, no message, passed, level 0
  entry.recordCall(detectors, result);
  line.name = Localized(entry.nameKey);
  line.passed = result.passed;
  line.text = Localized(result.messageKey);
  line.code = static_cast<int32_t>(result.code);
  line.level = static_cast<int32_t>(result.level);
  return result.code;
}

uint32_t RunFixedKind(const ItemTestEntry& entry, tagHardwareDetectInfo& line) {
  line.name = Localized(entry.nameKey);
  line.passed = true;
  line.text = GetErrorCodeText(0);
  return 0;
}

uint32_t RunRefoldKind(const ItemTestEntry& entry, FaultDetectors& detectors, tagHardwareDetectInfo& line) {
  const uint32_t code = entry.codeCall(detectors);
  line.passed = code == 0;
  line.code = static_cast<int32_t>(code);
  return code;
}

}  // namespace

uint32_t RunItemTest(ItemTest test, FaultDetectors& detectors, tagHardwareDetectInfo& line) {
  const ItemTestEntry& entry = kItemTests[static_cast<size_t>(test)];
  switch (entry.kind) {
    case Kind::Code:
      return RunCodeKind(entry, detectors, line);
    case Kind::Record:
      return RunRecordKind(entry, detectors, line);
    case Kind::Fixed:
      return RunFixedKind(entry, line);
    case Kind::Refold:
      return RunRefoldKind(entry, detectors, line);
  }
  return 0;
}

tagHardwareDetectInfo FreshLine() { return tagHardwareDetectInfo{}; }

tagDetectResult FreshVerdict() { return tagDetectResult{}; }

void FoldLine(tagDetectResult& verdict, const tagHardwareDetectInfo& line) {
  verdict.passed = verdict.passed && line.passed;
  if (line.passed) return;
  verdict.level = std::min(verdict.level, line.level);
  verdict.text = line.text;
}

// clang-format off
uint32_t TestCpuSse(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::CpuSse, d, l); }
uint32_t TestCpuSse2(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::CpuSse2, d, l); }
uint32_t TestCpuSse3(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::CpuSse3, d, l); }
uint32_t TestCpuSsse3(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::CpuSsse3, d, l); }
uint32_t TestCpuSse41(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::CpuSse41, d, l); }
uint32_t TestCpuSse42(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::CpuSse42, d, l); }
uint32_t TestMainboard(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::Mainboard, d, l); }
uint32_t TestDisplay(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::Display, d, l); }
uint32_t TestMemStuckAddr(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::MemStuckAddr, d, l); }
uint32_t TestMemLineSeq(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::MemLineSeq, d, l); }
uint32_t TestMemBlockSeq(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::MemBlockSeq, d, l); }
uint32_t TestMemBit0Walk(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::MemBit0Walk, d, l); }
uint32_t TestMemRandom(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::MemRandom, d, l); }
uint32_t TestMemBoard(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::MemBoard, d, l); }
uint32_t TestMemArith(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::MemArith, d, l); }
uint32_t TestMemLogic(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::MemLogic, d, l); }
uint32_t TestMemBitFlip(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::MemBitFlip, d, l); }
void TestGpuDevice(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::GpuDevice, d, l); }
void TestGpuStatus(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::GpuStatus, d, l); }
void TestAudioDevice(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::AudioDevice, d, l); }
void TestAudioLoopBack(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::AudioLoopBack, d, l); }
void TestWifiDevice(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::WifiDevice, d, l); }
void TestWifiAdapter(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::WifiAdapter, d, l); }
void TestWifiSwitch(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::WifiSwitch, d, l); }
void TestWifiSignal(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::WifiSignal, d, l); }
uint32_t TestBatteryDevice(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::BatteryDevice, d, l); }
uint32_t TestBatteryVoltage(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::BatteryVoltage, d, l); }
uint32_t TestBatteryLoss(FaultDetectors& d, tagHardwareDetectInfo& l) { return RunItemTest(ItemTest::BatteryLoss, d, l); }
void TestKeyboardFilterKey(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::KeyboardFilterKey, d, l); }
void TestKeyboardHotKey(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::KeyboardHotKey, d, l); }
void TestBluetoothDevice(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::BluetoothDevice, d, l); }
void TestBluetoothState(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::BluetoothState, d, l); }
void TestFingerprintDevice(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::FingerprintDevice, d, l); }
void TestFingerprintFunction(FaultDetectors& d, tagHardwareDetectInfo& l) { RunItemTest(ItemTest::FingerprintFunction, d, l); }
// clang-format on

}  // namespace zel::sysdiagnose
