#include "diagnose/item_tests.h"

#include <gtest/gtest.h>

#include "plugin/diagnose/routine_recorder.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

using testing::Text;

TEST(GetErrorCodeText, KnowsTheEightNegativeCodesReadAsSigned) {
  EXPECT_EQ(GetErrorCodeText(-8), Text(u"IDS_HARDWARE_DIAGNOSE_FN_OPEN"));
  EXPECT_EQ(GetErrorCodeText(-5), Text(u"IDS_HARDWARE_DIAGNOSE_LOG_ERROR"));
  EXPECT_EQ(GetErrorCodeText(-2), Text(u"IDS_HARDWARE_DIAGNOSE_BATTERY_UNKNOWN"));
  EXPECT_EQ(GetErrorCodeText(static_cast<int32_t>(4294967295u)), Text(u"IDS_HARDWARE_DIAGNOSE_CHECK_DRIVE"));
  EXPECT_FALSE(GetErrorCodeText(-1).empty());
}

TEST(GetErrorCodeText, IsEmptyForEveryOtherCode) {
  for (int32_t code : {-9, 0, 1, 7, 255, INT32_MIN, INT32_MAX}) EXPECT_TRUE(GetErrorCodeText(code).empty()) << code;
}

TEST(CodeKindTest, FailingMemoryCheckCarriesTheCodeText) {
  testenv::UseMachine(R"({"checks": {"memory": {"stuckAddr": 4294967291}}})");
  FaultDetectors detectors;
  tagHardwareDetectInfo line = FreshLine();
  line.level = 7;  // not the test's to touch

  EXPECT_EQ(TestMemStuckAddr(detectors, line), 4294967291u);

  EXPECT_EQ(line.name, Text(u"IDS_HARDWARE_DIAGNOSE_MEM_FAST"));
  EXPECT_FALSE(line.passed);
  EXPECT_EQ(line.text, Text(u"IDS_HARDWARE_DIAGNOSE_LOG_ERROR"));
  EXPECT_EQ(line.code, -5);
  EXPECT_EQ(line.level, 7);
}

TEST(CodeKindTest, PositiveCodeFailsWithoutText) {
  testenv::UseMachine(R"({"checks": {"memory": {"bitFlip": 7}}})");
  FaultDetectors detectors;
  tagHardwareDetectInfo line = FreshLine();

  EXPECT_EQ(TestMemBitFlip(detectors, line), 7u);

  EXPECT_EQ(line.name, Text(u"IDS_HARDWARE_DIAGNOSE_MEM_BIT_FLIP"));
  EXPECT_FALSE(line.passed);
  EXPECT_TRUE(line.text.empty());
}

TEST(CodeKindTest, CpuTestPassesWhateverItsCode) {
  testenv::UseMachine(R"({"checks": {"cpu": {"codes": {"sse42": 4294967291}}}})");
  FaultDetectors detectors;
  tagHardwareDetectInfo line = FreshLine();

  EXPECT_EQ(TestCpuSse42(detectors, line), 4294967291u);

  EXPECT_EQ(line.name, Text(u"IDS_HARDWARE_DIAGNOSE_CPU_SSE42"));
  EXPECT_TRUE(line.passed);
  EXPECT_TRUE(line.text.empty());
  EXPECT_EQ(line.code, -5);
}

TEST(CodeKindTest, BatteryTextComesFromItsFixedCode) {
  testenv::UseEmptyMachine();
  FaultDetectors detectors;
  tagHardwareDetectInfo voltage = FreshLine();
  tagHardwareDetectInfo device = FreshLine();

  EXPECT_EQ(TestBatteryVoltage(detectors, voltage), 0u);
  EXPECT_EQ(TestBatteryDevice(detectors, device), 0u);

  EXPECT_TRUE(voltage.passed);
  EXPECT_EQ(voltage.text, Text(u"IDS_HARDWARE_DIAGNOSE_BATTERY_LOWVOLT"));
  EXPECT_EQ(device.name, Text(u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE"));
  EXPECT_EQ(device.text, Text(u"IDS_HARDWARE_DIAGNOSE_BATTERY_UNKNOWN"));
}

TEST(RecordKindTest, CopiesCodeLevelAndLocalizedMessage) {
  testenv::UseMachine(R"({"checks": {"video": {"status":
      {"code": 12, "passed": false, "level": 1, "messageKey": "IDS_HARDWARE_DIAGNOSE_WIFI_WARN"}}}})");
  FaultDetectors detectors;
  tagHardwareDetectInfo line = FreshLine();

  TestGpuStatus(detectors, line);

  EXPECT_EQ(line.name, Text(u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE"));
  EXPECT_FALSE(line.passed);
  EXPECT_EQ(line.text, Text(u"IDS_HARDWARE_DIAGNOSE_WIFI_WARN"));
  EXPECT_EQ(line.code, 12);
  EXPECT_EQ(line.level, 1);
  EXPECT_TRUE(line.valid);
}

TEST(RecordKindTest, PassingRecordKeepsLibraryCodeWithEmptyText) {
  testenv::UseMachine(R"({"checks": {"wifi": {"signal": {"code": 5, "passed": true, "level": 2}}}})");
  FaultDetectors detectors;
  tagHardwareDetectInfo line = FreshLine();
  line.text = u"left over";

  TestWifiSignal(detectors, line);

  EXPECT_EQ(line.name, Text(u"IDS_HARDWARE_DIAGNOSE_NETCARD_SIGNAL"));
  EXPECT_TRUE(line.passed);
  EXPECT_TRUE(line.text.empty());
  EXPECT_EQ(line.code, 5);
  EXPECT_EQ(line.level, 2);
}

TEST(RecordKindTest, EachTestCallsItsOwnLibraryOperation) {
  testenv::UseEmptyMachine();
  FaultDetectors detectors;
  tagHardwareDetectInfo line = FreshLine();
  struct Case {
    void (*test)(FaultDetectors&, tagHardwareDetectInfo&);
    const char* call;
    const char16_t* nameKey;
  };
  const Case cases[] = {
      {TestGpuDevice, "CVideoCardDetect::CheckDevice", u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE"},
      {TestAudioDevice, "CAudioDetect::CheckDevice", u"IDS_HARDWARE_DIAGNOSE_AUDIO_DEVICE"},
      {TestAudioLoopBack, "CAudioDetect::CheckLoopBack", u"IDS_HARDWARE_DIAGNOSE_AUDIO_LOOPBACK"},
      {TestWifiDevice, "WifiFaultDetect::CheckDevice", u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE"},
      {TestWifiAdapter, "WifiFaultDetect::CheckNetworkCard", u"IDS_HARDWARE_DIAGNOSE_NETCARD_ADAPTER"},
      {TestWifiSwitch, "WifiFaultDetect::CheckWifiSwitch", u"IDS_HARDWARE_DIAGNOSE_WIFI_SWITCH"},
      {TestKeyboardFilterKey, "CKeyBoardDetect::DetetctFilterKey", u"IDS_HARDWARE_DIAGNOSE_KEYBOARD_FILTER"},
      {TestKeyboardHotKey, "CKeyBoardDetect::DetetctHotKey", u"IDS_HARDWARE_DIAGNOSE_KEYBOARD_HOTKEY"},
      {TestBluetoothDevice, "CBluetoothDetect::CheckDevice", u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_DEVICE"},
      {TestBluetoothState, "CBluetoothDetect::CheckState", u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_STATUS"},
      {TestFingerprintDevice, "CBiometricDetect::CheckDevice", u"IDS_HARDWARE_DIAGNOSE_NETCARD_DEVICE"},
      {TestFingerprintFunction, "CBiometricDetect::CheckFunction", u"IDS_HARDWARE_DIAGNOSE_BLUETOOTH_STATUS"},
  };
  for (const Case& c : cases) {
    host::machine::Machine::Instance().ClearJournal();
    c.test(detectors, line);
    const auto journal = host::machine::Machine::Instance().Journal();
    ASSERT_EQ(journal.size(), 1u) << c.call;
    EXPECT_EQ(journal[0].call, c.call);
    EXPECT_EQ(line.name, Text(c.nameKey)) << c.call;
  }
}

TEST(FixedKindTest, MainboardPassesWithoutCallingTheLibraryAndKeepsTheCode) {
  testenv::UseEmptyMachine();
  FaultDetectors detectors;
  tagHardwareDetectInfo line = FreshLine();
  line.passed = false;
  line.code = 42;
  line.text = u"left over";

  EXPECT_EQ(TestMainboard(detectors, line), 0u);

  EXPECT_EQ(line.name, Text(u"IDS_HARDWARE_DIAGNOSE_MOT_FAST"));
  EXPECT_TRUE(line.passed);
  EXPECT_TRUE(line.text.empty());
  EXPECT_EQ(line.code, 42);
  EXPECT_TRUE(host::machine::Machine::Instance().Journal().empty());
}

TEST(FoldLine, ComparesLevelsAsSignedNumbers) {
  tagDetectResult verdict = FreshVerdict();
  tagHardwareDetectInfo line = FreshLine();
  line.passed = false;
  line.level = -1;  // 4294967295 from the library

  FoldLine(verdict, line);

  EXPECT_EQ(verdict.level, -1);
}

}  // namespace
}  // namespace zel::sysdiagnose
