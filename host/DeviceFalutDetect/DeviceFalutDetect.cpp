// The fault-detection library, answered by the machine model: each check is asked by its path
// under "checks", each repair by its operation name. A described machine's calls take as long as
// its delayMs says; every call is journalled with its arguments.
#include "DeviceFalutDetect/DeviceFalutDetect.h"

#include <algorithm>
#include <string>

#include "machine/machine.h"
#include "platform/encoding.h"

namespace HardwareDetect {
namespace {

using host::machine::Machine;

// Record kind: all four fields come from the profile. The call itself always succeeds (0).
int CheckRecord(std::string_view call, std::string_view path, tagHARDWARE_DETECT_RESULT& result) {
  const auto check = Machine::Instance().RunCheck(call, path);
  result.code = check.code;
  result.messageKey = check.messageKey;
  result.passed = check.passed;
  result.level = check.level;
  return 0;
}

// Code kind: the code is the answer; the detail text carries the profile's message key, if any.
uint32_t CheckCode(std::string_view call, std::string_view path, std::u16string& detail) {
  const auto check = Machine::Instance().RunCheck(call, path);
  detail = check.messageKey;
  return check.code;
}

// The SMART attribute numbers behind the records' verdict bytes, in record order.
constexpr uint8_t kHddAttributes[24] = {0x01, 0x03, 0x04, 0x05, 0x07, 0x09, 0x0A, 0x0C, 0xB7, 0xB8, 0xBB, 0xBC,
                                        0xBD, 0xBE, 0xBF, 0xC0, 0xC1, 0xC2, 0xC5, 0xC6, 0xC7, 0xF0, 0xF1, 0xF2};
constexpr uint8_t kSsdAttributes[22] = {0x01, 0x05, 0x09, 0x0C, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF, 0xB0,
                                        0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xC3, 0xE8, 0xE9, 0xF1, 0xF2};

template <size_t N>
uint32_t CheckSmart(std::string_view call, const std::u16string& firmware, const uint8_t (&ids)[N],
                    uint8_t (&attributes)[N]) {
  std::fill_n(attributes, N, uint8_t{0});
  const auto disk = Machine::Instance().RunDiskCheck(call, firmware, ids, platform::Utf16ToUtf8(firmware));
  std::copy_n(disk.smart.begin(), std::min(N, disk.smart.size()), attributes);
  return disk.code;
}

// The argument is journalled as the unsigned decimal the library received.
tagHARDWARE_REPAIR_RESULT Repair(std::string_view call, std::string_view name, std::string_view args = {}) {
  const auto outcome = Machine::Instance().RunRepair(call, name, args);
  tagHARDWARE_REPAIR_RESULT result;
  result.code = outcome.code;
  result.needRestart = outcome.needRestart;
  result.needShutdown = outcome.needShutdown;
  result.succeeded = outcome.succeeded;
  result.message = outcome.message;
  return result;
}

tagHARDWARE_REPAIR_RESULT Repair(std::string_view call, std::string_view name, uint32_t errorCode) {
  return Repair(call, name, std::to_string(errorCode));
}

}  // namespace

// ---- CCpuTest ------------------------------------------------------------------------------

bool CCpuTest::IsSupportSSE() { return Machine::Instance().Flag("CCpuTest::IsSupportSSE", "cpu.support.sse", true); }
bool CCpuTest::IsSupportSSE2() { return Machine::Instance().Flag("CCpuTest::IsSupportSSE2", "cpu.support.sse2", true); }
bool CCpuTest::IsSupportSSSE3() {
  return Machine::Instance().Flag("CCpuTest::IsSupportSSSE3", "cpu.support.ssse3", true);
}
bool CCpuTest::IsSupportSSE41() {
  return Machine::Instance().Flag("CCpuTest::IsSupportSSE41", "cpu.support.sse41", true);
}
bool CCpuTest::IsSupportSSE42() {
  return Machine::Instance().Flag("CCpuTest::IsSupportSSE42", "cpu.support.sse42", true);
}
uint32_t CCpuTest::TestSSE(std::u16string& detail) { return CheckCode("CCpuTest::TestSSE", "cpu.codes.sse", detail); }
uint32_t CCpuTest::TestSSE2(std::u16string& detail) { return CheckCode("CCpuTest::TestSSE2", "cpu.codes.sse2", detail); }
uint32_t CCpuTest::TestSSE3(std::u16string& detail) { return CheckCode("CCpuTest::TestSSE3", "cpu.codes.sse3", detail); }
uint32_t CCpuTest::TestSSSE3(std::u16string& detail) {
  return CheckCode("CCpuTest::TestSSSE3", "cpu.codes.ssse3", detail);
}
uint32_t CCpuTest::TestSSE41(std::u16string& detail) {
  return CheckCode("CCpuTest::TestSSE41", "cpu.codes.sse41", detail);
}
uint32_t CCpuTest::TestSSE42(std::u16string& detail) {
  return CheckCode("CCpuTest::TestSSE42", "cpu.codes.sse42", detail);
}

// ---- CMemFaultDetect: the in/out flag is left as the caller set it -------------------------

uint32_t CMemFaultDetect::CheckStuckAddr(std::u16string& detail, int&) {
  return CheckCode("CMemFaultDetect::CheckStuckAddr", "memory.stuckAddr", detail);
}
uint32_t CMemFaultDetect::CheckLineSeq(std::u16string& detail, int&) {
  return CheckCode("CMemFaultDetect::CheckLineSeq", "memory.lineSeq", detail);
}
uint32_t CMemFaultDetect::CheckBlockSeq(std::u16string& detail, int&) {
  return CheckCode("CMemFaultDetect::CheckBlockSeq", "memory.blockSeq", detail);
}
uint32_t CMemFaultDetect::CheckBit0Walk(std::u16string& detail, int&) {
  return CheckCode("CMemFaultDetect::CheckBit0Walk", "memory.bit0Walk", detail);
}
uint32_t CMemFaultDetect::CheckRandom(std::u16string& detail, int&) {
  return CheckCode("CMemFaultDetect::CheckRandom", "memory.random", detail);
}
uint32_t CMemFaultDetect::CheckBoard(std::u16string& detail, int&) {
  return CheckCode("CMemFaultDetect::CheckBoard", "memory.board", detail);
}
uint32_t CMemFaultDetect::CheckArithOperation(std::u16string& detail, int&) {
  return CheckCode("CMemFaultDetect::CheckArithOperation", "memory.arith", detail);
}
uint32_t CMemFaultDetect::CheckLogicOperation(std::u16string& detail, int&) {
  return CheckCode("CMemFaultDetect::CheckLogicOperation", "memory.logic", detail);
}
uint32_t CMemFaultDetect::CheckBitFlip(std::u16string& detail, int&) {
  return CheckCode("CMemFaultDetect::CheckBitFlip", "memory.bitFlip", detail);
}

// ---- CDiskFaultDetect ----------------------------------------------------------------------

uint32_t CDiskFaultDetect::CheckHhdSmartResult(const std::u16string& firmware, tagHHD_DISK_SMART_INFO& info, int&) {
  return CheckSmart("CDiskFaultDetect::CheckHhdSmartResult", firmware, kHddAttributes, info.attributes);
}
uint32_t CDiskFaultDetect::CheckSsdSmartResult(const std::u16string& firmware, tagSSD_DISK_SMART_INFO& info, int&) {
  return CheckSmart("CDiskFaultDetect::CheckSsdSmartResult", firmware, kSsdAttributes, info.attributes);
}

// ---- CVideoCardDetect ----------------------------------------------------------------------

int CVideoCardDetect::CheckDevice(tagHARDWARE_DETECT_RESULT& result) {
  CheckRecord("CVideoCardDetect::CheckDevice", "video.device", result);
  return Machine::Instance().Current()->videoDeviceReturn;
}
int CVideoCardDetect::CheckDeviceStatus(tagHARDWARE_DETECT_RESULT& result) {
  return CheckRecord("CVideoCardDetect::CheckDeviceStatus", "video.status", result);
}
tagHARDWARE_REPAIR_RESULT CVideoCardDetect::RepairVIDEOCARDProblems(uint32_t errorCode) {
  return Repair("CVideoCardDetect::RepairVIDEOCARDProblems", "RepairVIDEOCARDProblems", errorCode);
}

// ---- CAudioDetect --------------------------------------------------------------------------

CAudioDetect& CAudioDetect::GetInstance() {
  static CAudioDetect instance;
  return instance;
}
int CAudioDetect::CheckDevice(tagHARDWARE_DETECT_RESULT& result) {
  return CheckRecord("CAudioDetect::CheckDevice", "audio.device", result);
}
int CAudioDetect::CheckLoopBack(tagHARDWARE_DETECT_RESULT& result) {
  return CheckRecord("CAudioDetect::CheckLoopBack", "audio.loopBack", result);
}
tagHARDWARE_REPAIR_RESULT CAudioDetect::RepairAudioProblem(uint32_t errorCode) {
  return Repair("CAudioDetect::RepairAudioProblem", "RepairAudioProblem", errorCode);
}

// ---- WifiFaultDetect -----------------------------------------------------------------------

WifiFaultDetect& WifiFaultDetect::GetInstance() {
  static WifiFaultDetect instance;
  return instance;
}
int WifiFaultDetect::CheckDevice(tagHARDWARE_DETECT_RESULT& result) {
  return CheckRecord("WifiFaultDetect::CheckDevice", "wifi.device", result);
}
int WifiFaultDetect::CheckNetworkCard(tagHARDWARE_DETECT_RESULT& result) {
  return CheckRecord("WifiFaultDetect::CheckNetworkCard", "wifi.networkCard", result);
}
int WifiFaultDetect::CheckWifiSwitch(tagHARDWARE_DETECT_RESULT& result) {
  return CheckRecord("WifiFaultDetect::CheckWifiSwitch", "wifi.switch", result);
}
int WifiFaultDetect::CheckWifiSignal(tagHARDWARE_DETECT_RESULT& result) {
  return CheckRecord("WifiFaultDetect::CheckWifiSignal", "wifi.signal", result);
}
tagHARDWARE_REPAIR_RESULT WifiFaultDetect::RepairWifiDriver() {
  return Repair("WifiFaultDetect::RepairWifiDriver", "RepairWifiDriver");
}
tagHARDWARE_REPAIR_RESULT WifiFaultDetect::RepairWifiProblem(uint32_t errorCode) {
  return Repair("WifiFaultDetect::RepairWifiProblem", "RepairWifiProblem", errorCode);
}

// ---- CBatteryDetect ------------------------------------------------------------------------

uint32_t CBatteryDetect::CheckDevice(std::u16string& detail) {
  return CheckCode("CBatteryDetect::CheckDevice", "battery.device", detail);
}
uint32_t CBatteryDetect::TestVoltage(std::u16string& detail) {
  return CheckCode("CBatteryDetect::TestVoltage", "battery.voltage", detail);
}
uint32_t CBatteryDetect::TestLoss(std::u16string& detail) {
  return CheckCode("CBatteryDetect::TestLoss", "battery.loss", detail);
}

// ---- CKeyBoardDetect -----------------------------------------------------------------------

int CKeyBoardDetect::DetetctFilterKey(tagHARDWARE_DETECT_RESULT& result) {
  return CheckRecord("CKeyBoardDetect::DetetctFilterKey", "keyboard.filterKey", result);
}
int CKeyBoardDetect::DetetctHotKey(tagHARDWARE_DETECT_RESULT& result) {
  return CheckRecord("CKeyBoardDetect::DetetctHotKey", "keyboard.hotKey", result);
}
tagHARDWARE_REPAIR_RESULT CKeyBoardDetect::CloseFilterKey() {
  return Repair("CKeyBoardDetect::CloseFilterKey", "CloseFilterKey");
}
tagHARDWARE_REPAIR_RESULT CKeyBoardDetect::RepairHotkey() {
  return Repair("CKeyBoardDetect::RepairHotkey", "RepairHotkey");
}

// ---- CBluetoothDetect ----------------------------------------------------------------------

// Without a profile setting the machine has no Bluetooth to support.
bool CBluetoothDetect::IsSurportBt() {
  return Machine::Instance().Flag("CBluetoothDetect::IsSurportBt", "bluetooth.supported", false);
}
int CBluetoothDetect::CheckDevice(tagHARDWARE_DETECT_RESULT& result) {
  return CheckRecord("CBluetoothDetect::CheckDevice", "bluetooth.device", result);
}
int CBluetoothDetect::CheckState(tagHARDWARE_DETECT_RESULT& result) {
  return CheckRecord("CBluetoothDetect::CheckState", "bluetooth.state", result);
}
tagHARDWARE_REPAIR_RESULT CBluetoothDetect::RepairBTProblems(uint32_t errorCode) {
  return Repair("CBluetoothDetect::RepairBTProblems", "RepairBTProblems", errorCode);
}

// ---- CBiometricDetect ----------------------------------------------------------------------

int CBiometricDetect::CheckDevice(tagHARDWARE_DETECT_RESULT& result) {
  return CheckRecord("CBiometricDetect::CheckDevice", "biometric.device", result);
}
int CBiometricDetect::CheckFunction(tagHARDWARE_DETECT_RESULT& result) {
  return CheckRecord("CBiometricDetect::CheckFunction", "biometric.function", result);
}
tagHARDWARE_REPAIR_RESULT CBiometricDetect::RepairByErrorCode(uint32_t errorCode) {
  return Repair("CBiometricDetect::RepairByErrorCode", "RepairByErrorCode", errorCode);
}

}  // namespace HardwareDetect
