// The fault-detection library answers every check and repair from the machine profile.
#include "DeviceFalutDetect/DeviceFalutDetect.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <functional>
#include <thread>

#include "machine/machine.h"
#include "support/test_env.h"

namespace HardwareDetect {
namespace {

using host::machine::Machine;

// ---- code kind: every operation reads its own check ----------------------------------------

struct CodeCheck {
  const char* path;
  const char* call;
  std::function<uint32_t(std::u16string&)> run;
};

std::vector<CodeCheck> CodeChecks() {
  static CCpuTest cpu;
  static CMemFaultDetect memory;
  static CBatteryDetect battery;
  const auto mem = [](uint32_t (CMemFaultDetect::*check)(std::u16string&, int&)) {
    return [check](std::u16string& detail) {
      int flag = 1;
      return (memory.*check)(detail, flag);
    };
  };
  const auto bound = [](auto* object, auto check) {
    return [object, check](std::u16string& detail) { return (object->*check)(detail); };
  };
  return {
      {"cpu.codes.sse", "CCpuTest::TestSSE", bound(&cpu, &CCpuTest::TestSSE)},
      {"cpu.codes.sse2", "CCpuTest::TestSSE2", bound(&cpu, &CCpuTest::TestSSE2)},
      {"cpu.codes.sse3", "CCpuTest::TestSSE3", bound(&cpu, &CCpuTest::TestSSE3)},
      {"cpu.codes.ssse3", "CCpuTest::TestSSSE3", bound(&cpu, &CCpuTest::TestSSSE3)},
      {"cpu.codes.sse41", "CCpuTest::TestSSE41", bound(&cpu, &CCpuTest::TestSSE41)},
      {"cpu.codes.sse42", "CCpuTest::TestSSE42", bound(&cpu, &CCpuTest::TestSSE42)},
      {"memory.stuckAddr", "CMemFaultDetect::CheckStuckAddr", mem(&CMemFaultDetect::CheckStuckAddr)},
      {"memory.lineSeq", "CMemFaultDetect::CheckLineSeq", mem(&CMemFaultDetect::CheckLineSeq)},
      {"memory.blockSeq", "CMemFaultDetect::CheckBlockSeq", mem(&CMemFaultDetect::CheckBlockSeq)},
      {"memory.bit0Walk", "CMemFaultDetect::CheckBit0Walk", mem(&CMemFaultDetect::CheckBit0Walk)},
      {"memory.random", "CMemFaultDetect::CheckRandom", mem(&CMemFaultDetect::CheckRandom)},
      {"memory.board", "CMemFaultDetect::CheckBoard", mem(&CMemFaultDetect::CheckBoard)},
      {"memory.arith", "CMemFaultDetect::CheckArithOperation", mem(&CMemFaultDetect::CheckArithOperation)},
      {"memory.logic", "CMemFaultDetect::CheckLogicOperation", mem(&CMemFaultDetect::CheckLogicOperation)},
      {"memory.bitFlip", "CMemFaultDetect::CheckBitFlip", mem(&CMemFaultDetect::CheckBitFlip)},
      {"battery.device", "CBatteryDetect::CheckDevice", bound(&battery, &CBatteryDetect::CheckDevice)},
      {"battery.voltage", "CBatteryDetect::TestVoltage", bound(&battery, &CBatteryDetect::TestVoltage)},
      {"battery.loss", "CBatteryDetect::TestLoss", bound(&battery, &CBatteryDetect::TestLoss)},
  };
}

// A profile holding one value per check path ("cpu.codes.sse" -> checks.cpu.codes.sse).
std::string ProfileWith(const std::vector<std::pair<std::string, nlohmann::json>>& checks) {
  nlohmann::json profile = nlohmann::json::object();
  for (const auto& [path, value] : checks) {
    std::string pointer = "/checks/" + path;
    std::replace(pointer.begin(), pointer.end(), '.', '/');
    profile[nlohmann::json::json_pointer(pointer)] = value;
  }
  return profile.dump();
}

TEST(CodeChecks, EachOperationReturnsTheCodeOfItsOwnCheck) {
  const auto checks = CodeChecks();
  std::vector<std::pair<std::string, nlohmann::json>> values;
  for (size_t i = 0; i < checks.size(); ++i) {
    values.emplace_back(checks[i].path, nlohmann::json{{"code", 100 + i}, {"messageKey", "IDS_" + std::to_string(i)}});
  }
  testenv::UseMachine(ProfileWith(values));

  for (size_t i = 0; i < checks.size(); ++i) {
    std::u16string detail;
    EXPECT_EQ(checks[i].run(detail), 100 + i) << checks[i].path;
    const std::string key = "IDS_" + std::to_string(i);
    EXPECT_EQ(detail, std::u16string(key.begin(), key.end())) << checks[i].path;
    EXPECT_EQ(Machine::Instance().Journal().back().call, checks[i].call);
  }
}

TEST(CodeChecks, AMissingCheckReturnsZero) {
  testenv::UseEmptyMachine();
  for (const CodeCheck& check : CodeChecks()) {
    std::u16string detail = u"stale";
    EXPECT_EQ(check.run(detail), 0u) << check.path;
    EXPECT_EQ(detail, u"");
  }
}

TEST(CodeChecks, ANegativeCodeArrivesAsItsUnsignedValue) {
  testenv::UseMachine(R"({"checks": {"memory": {"stuckAddr": -5}}})");
  std::u16string detail;
  int flag = 1;
  EXPECT_EQ(CMemFaultDetect().CheckStuckAddr(detail, flag), 4294967291u);
}

// ---- record kind: all four fields ----------------------------------------------------------

struct RecordCheck {
  const char* path;
  const char* call;
  std::function<int(tagHARDWARE_DETECT_RESULT&)> run;
};

std::vector<RecordCheck> RecordChecks() {
  static CVideoCardDetect video;
  static CKeyBoardDetect keyboard;
  static CBluetoothDetect bluetooth;
  static CBiometricDetect biometric;
  const auto bound = [](auto* object, auto check) {
    return [object, check](tagHARDWARE_DETECT_RESULT& result) { return (object->*check)(result); };
  };
  return {
      {"video.device", "CVideoCardDetect::CheckDevice", bound(&video, &CVideoCardDetect::CheckDevice)},
      {"video.status", "CVideoCardDetect::CheckDeviceStatus", bound(&video, &CVideoCardDetect::CheckDeviceStatus)},
      {"audio.device", "CAudioDetect::CheckDevice", bound(&CAudioDetect::GetInstance(), &CAudioDetect::CheckDevice)},
      {"audio.loopBack", "CAudioDetect::CheckLoopBack", bound(&CAudioDetect::GetInstance(), &CAudioDetect::CheckLoopBack)},
      {"wifi.device", "WifiFaultDetect::CheckDevice", bound(&WifiFaultDetect::GetInstance(), &WifiFaultDetect::CheckDevice)},
      {"wifi.networkCard", "WifiFaultDetect::CheckNetworkCard",
       bound(&WifiFaultDetect::GetInstance(), &WifiFaultDetect::CheckNetworkCard)},
      {"wifi.switch", "WifiFaultDetect::CheckWifiSwitch", bound(&WifiFaultDetect::GetInstance(), &WifiFaultDetect::CheckWifiSwitch)},
      {"wifi.signal", "WifiFaultDetect::CheckWifiSignal", bound(&WifiFaultDetect::GetInstance(), &WifiFaultDetect::CheckWifiSignal)},
      {"keyboard.filterKey", "CKeyBoardDetect::DetetctFilterKey", bound(&keyboard, &CKeyBoardDetect::DetetctFilterKey)},
      {"keyboard.hotKey", "CKeyBoardDetect::DetetctHotKey", bound(&keyboard, &CKeyBoardDetect::DetetctHotKey)},
      {"bluetooth.device", "CBluetoothDetect::CheckDevice", bound(&bluetooth, &CBluetoothDetect::CheckDevice)},
      {"bluetooth.state", "CBluetoothDetect::CheckState", bound(&bluetooth, &CBluetoothDetect::CheckState)},
      {"biometric.device", "CBiometricDetect::CheckDevice", bound(&biometric, &CBiometricDetect::CheckDevice)},
      {"biometric.function", "CBiometricDetect::CheckFunction", bound(&biometric, &CBiometricDetect::CheckFunction)},
  };
}

TEST(RecordChecks, EachOperationFillsAllFourFieldsFromItsOwnCheck) {
  const auto checks = RecordChecks();
  std::vector<std::pair<std::string, nlohmann::json>> values;
  for (size_t i = 0; i < checks.size(); ++i) {
    values.emplace_back(checks[i].path, nlohmann::json{{"code", 200 + i},
                                                       {"messageKey", "IDS_" + std::to_string(i)},
                                                       {"passed", false},
                                                       {"level", i % 2}});
  }
  testenv::UseMachine(ProfileWith(values));

  for (size_t i = 0; i < checks.size(); ++i) {
    tagHARDWARE_DETECT_RESULT result;
    checks[i].run(result);
    const std::string key = "IDS_" + std::to_string(i);
    EXPECT_EQ(result.code, 200 + i) << checks[i].path;
    EXPECT_EQ(result.messageKey, std::u16string(key.begin(), key.end())) << checks[i].path;
    EXPECT_FALSE(result.passed) << checks[i].path;
    EXPECT_EQ(result.level, i % 2) << checks[i].path;
    EXPECT_EQ(Machine::Instance().Journal().back().call, checks[i].call);
  }
}

TEST(RecordChecks, AMissingCheckOverwritesStaleFieldsWithAPass) {
  testenv::UseEmptyMachine();
  for (const RecordCheck& check : RecordChecks()) {
    tagHARDWARE_DETECT_RESULT result{7, u"IDS_STALE", false, 3};
    check.run(result);
    EXPECT_EQ(result.code, 0u) << check.path;
    EXPECT_EQ(result.messageKey, u"") << check.path;
    EXPECT_TRUE(result.passed) << check.path;
    EXPECT_EQ(result.level, 0u) << check.path;
  }
}

TEST(RecordChecks, GraphicsDeviceReturnsTheProfilesReturnValue) {
  testenv::UseMachine(R"({"checks": {"video": {"deviceReturn": -4, "device": 0}}})");
  tagHARDWARE_DETECT_RESULT result;
  EXPECT_EQ(CVideoCardDetect().CheckDevice(result), -4);
  EXPECT_TRUE(result.passed);
  testenv::UseEmptyMachine();
  EXPECT_EQ(CVideoCardDetect().CheckDevice(result), 0);
}

// ---- support flags -------------------------------------------------------------------------

TEST(SupportFlags, ProcessorExtensionsAreSupportedUnlessTheProfileSaysNo) {
  testenv::UseMachine(R"({"checks": {"cpu": {"support": {"ssse3": false, "sse42": false}}}})");
  CCpuTest cpu;
  EXPECT_TRUE(cpu.IsSupportSSE());
  EXPECT_TRUE(cpu.IsSupportSSE2());
  EXPECT_FALSE(cpu.IsSupportSSSE3());
  EXPECT_TRUE(cpu.IsSupportSSE41());
  EXPECT_FALSE(cpu.IsSupportSSE42());
  EXPECT_EQ(Machine::Instance().Journal().back().call, "CCpuTest::IsSupportSSE42");
}

// ---- disks ---------------------------------------------------------------------------------

constexpr std::string_view kTwoDisks = R"({
  "hardware": {"disks": [{"caption": "SSD", "firmware": "S1", "ssd": true}, {"caption": "HDD", "firmware": "H1"}]},
  "checks": {"disks": [{"code": 1, "smart": [0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 5, 6]},
                       {"code": 3, "smart": [0, 0, 0, 4]}]}})";

TEST(DiskChecks, TheDiskIsFoundByFirmwareAndItsBytesCopied) {
  testenv::UseMachine(kTwoDisks);
  CDiskFaultDetect detect;
  tagHHD_DISK_SMART_INFO hdd;
  std::memset(&hdd, 0xFF, sizeof hdd);
  int flag = 1;

  const uint32_t code = detect.CheckHhdSmartResult(u"H1", hdd, flag);

  EXPECT_EQ(code, 3u);
  for (size_t i = 0; i < sizeof hdd.attributes; ++i) EXPECT_EQ(hdd.attributes[i], i == 3 ? 4 : 0) << "byte " << i;
  EXPECT_EQ(Machine::Instance().Journal().back().call, "CDiskFaultDetect::CheckHhdSmartResult");
  EXPECT_EQ(Machine::Instance().Journal().back().args, "H1");
}

TEST(DiskChecks, ASolidStateRecordTakesTheFirstTwentyTwoBytes) {
  testenv::UseMachine(kTwoDisks);
  tagSSD_DISK_SMART_INFO ssd;
  std::memset(&ssd, 0xFF, sizeof ssd);
  int flag = 1;

  EXPECT_EQ(CDiskFaultDetect().CheckSsdSmartResult(u"S1", ssd, flag), 1u);

  EXPECT_EQ(ssd.attributes[1], 9);
  EXPECT_EQ(ssd.attributes[21], 7);
  EXPECT_EQ(ssd.attributes[20], 0);
}

TEST(DiskChecks, AnUnknownFirmwareGivesCodeTwoAndAZeroedRecord) {
  testenv::UseMachine(kTwoDisks);
  tagHHD_DISK_SMART_INFO hdd;
  std::memset(&hdd, 0xFF, sizeof hdd);
  int flag = 1;

  EXPECT_EQ(CDiskFaultDetect().CheckHhdSmartResult(u"XX", hdd, flag), 2u);

  for (uint8_t byte : hdd.attributes) EXPECT_EQ(byte, 0);
}

TEST(DiskChecks, ADiskWithoutAnEntryIsHealthy) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"firmware": "A"}, {"firmware": "B"}]}, "checks": {"disks": [3]}})");
  tagSSD_DISK_SMART_INFO ssd;
  int flag = 1;
  EXPECT_EQ(CDiskFaultDetect().CheckSsdSmartResult(u"B", ssd, flag), 1u);
  EXPECT_EQ(CDiskFaultDetect().CheckSsdSmartResult(u"A", ssd, flag), 3u);
}

// ---- repairs -------------------------------------------------------------------------------

struct RepairCall {
  const char* name;
  const char* call;
  bool takesCode;
  std::function<tagHARDWARE_REPAIR_RESULT(uint32_t)> run;
};

std::vector<RepairCall> RepairCalls() {
  static CVideoCardDetect video;
  static CKeyBoardDetect keyboard;
  static CBluetoothDetect bluetooth;
  static CBiometricDetect biometric;
  return {
      {"RepairWifiDriver", "WifiFaultDetect::RepairWifiDriver", false,
       [](uint32_t) { return WifiFaultDetect::GetInstance().RepairWifiDriver(); }},
      {"RepairWifiProblem", "WifiFaultDetect::RepairWifiProblem", true,
       [](uint32_t c) { return WifiFaultDetect::GetInstance().RepairWifiProblem(c); }},
      {"RepairHotkey", "CKeyBoardDetect::RepairHotkey", false, [](uint32_t) { return keyboard.RepairHotkey(); }},
      {"CloseFilterKey", "CKeyBoardDetect::CloseFilterKey", false, [](uint32_t) { return keyboard.CloseFilterKey(); }},
      {"RepairAudioProblem", "CAudioDetect::RepairAudioProblem", true,
       [](uint32_t c) { return CAudioDetect::GetInstance().RepairAudioProblem(c); }},
      {"RepairBTProblems", "CBluetoothDetect::RepairBTProblems", true, [](uint32_t c) { return bluetooth.RepairBTProblems(c); }},
      {"RepairVIDEOCARDProblems", "CVideoCardDetect::RepairVIDEOCARDProblems", true,
       [](uint32_t c) { return video.RepairVIDEOCARDProblems(c); }},
      {"RepairByErrorCode", "CBiometricDetect::RepairByErrorCode", true, [](uint32_t c) { return biometric.RepairByErrorCode(c); }},
  };
}

TEST(Repairs, EachOperationAnswersItsOwnEntryAndJournalsItsArgument) {
  const auto repairs = RepairCalls();
  nlohmann::json profile;
  for (size_t i = 0; i < repairs.size(); ++i) {
    profile["repairs"][repairs[i].name] = {{"code", 300 + i},
                                           {"succeeded", i % 2 == 1},
                                           {"needRestart", i % 3 == 0},
                                           {"needShutdown", i == 4},
                                           {"message", "IDS_R" + std::to_string(i)}};
  }
  testenv::UseMachine(profile.dump());

  for (size_t i = 0; i < repairs.size(); ++i) {
    const tagHARDWARE_REPAIR_RESULT result = repairs[i].run(4294967295u);
    const std::string message = "IDS_R" + std::to_string(i);
    EXPECT_EQ(result.code, 300 + i) << repairs[i].name;
    EXPECT_EQ(result.succeeded, i % 2 == 1) << repairs[i].name;
    EXPECT_EQ(result.needRestart, i % 3 == 0) << repairs[i].name;
    EXPECT_EQ(result.needShutdown, i == 4) << repairs[i].name;
    EXPECT_EQ(result.message, std::u16string(message.begin(), message.end())) << repairs[i].name;
    const auto entry = Machine::Instance().Journal().back();
    EXPECT_EQ(entry.call, repairs[i].call);
    EXPECT_EQ(entry.args, repairs[i].takesCode ? "4294967295" : "") << repairs[i].name;
  }
}

TEST(Repairs, AMissingEntrySucceedsWithCodeZero) {
  testenv::UseEmptyMachine();
  for (const RepairCall& repair : RepairCalls()) {
    const tagHARDWARE_REPAIR_RESULT result = repair.run(12);
    EXPECT_TRUE(result.succeeded) << repair.name;
    EXPECT_EQ(result.code, 0u);
    EXPECT_FALSE(result.needRestart);
    EXPECT_FALSE(result.needShutdown);
    EXPECT_EQ(result.message, u"");
  }
}

TEST(Repairs, ARepairedCheckPassesOnTheNextDetection) {
  testenv::UseMachine(R"({"checks": {"wifi": {"switch": {"code": -3, "messageKey": "IDS_HARDWARE_DIAGNOSE_WIFI_WARN"}},
                                     "bluetooth": {"state": 12}},
                          "repairs": {"RepairWifiProblem": {"fixes": ["wifi.switch"]},
                                      "RepairBTProblems": {"succeeded": false, "fixes": ["bluetooth.state"]}}})");
  tagHARDWARE_DETECT_RESULT before, after, bt;

  WifiFaultDetect::GetInstance().CheckWifiSwitch(before);
  EXPECT_TRUE(WifiFaultDetect::GetInstance().RepairWifiProblem(4294967293u).succeeded);
  WifiFaultDetect::GetInstance().CheckWifiSwitch(after);
  EXPECT_FALSE(CBluetoothDetect().RepairBTProblems(12).succeeded);
  CBluetoothDetect().CheckState(bt);

  EXPECT_FALSE(before.passed);
  EXPECT_TRUE(after.passed);
  EXPECT_EQ(after.code, 0u);
  EXPECT_EQ(after.messageKey, u"");
  EXPECT_FALSE(bt.passed);
  EXPECT_EQ(bt.code, 12u);
}

TEST(Singletons, WifiAndAudioDetectorsAreProcessWide) {
  WifiFaultDetect* wifiSeen = nullptr;
  CAudioDetect* audioSeen = nullptr;
  std::thread([&] {
    wifiSeen = &WifiFaultDetect::GetInstance();
    audioSeen = &CAudioDetect::GetInstance();
  }).join();
  EXPECT_EQ(wifiSeen, &WifiFaultDetect::GetInstance());
  EXPECT_EQ(audioSeen, &CAudioDetect::GetInstance());
}

}  // namespace
}  // namespace HardwareDetect
