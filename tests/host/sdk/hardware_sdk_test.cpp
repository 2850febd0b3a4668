// The hardware-information library answers from the machine profile.
#include "HardwareSdk/HardwareSdk.h"

#include <gtest/gtest.h>

#include "machine/machine.h"
#include "support/test_env.h"

namespace {

using host::machine::Machine;

constexpr std::string_view kNotebook = R"({"hardware": {
  "cpu": {"name": "Intel(R) Core(TM) i5-8250U", "manufacturer": "GenuineIntel", "cores": 4, "threads": 8,
          "extClockMHz": 100, "l1KB": 256, "l2KB": 1024, "l3KB": 6144},
  "baseboard": {"product": "81H7", "manufacturer": "LENOVO", "version": "V1", "serialNumber": "SN9"},
  "memory": {"totalMB": 12288, "modules": [
    {"capacityMB": 4096, "speedMHz": 2400, "locator": "A", "partNumber": "HMA851", "manufacturer": "SK Hynix"},
    {"capacityMB": 8192, "speedMHz": 2666, "locator": "B", "partNumber": "CT8G4", "manufacturer": "Crucial"}]},
  "disks": [{"caption": "WDC SN520", "firmware": "2012", "capacityGB": 256, "ssd": true},
            {"caption": "ST1000LM035", "firmware": "LCM2", "capacityGB": 1000}],
  "video": {"independent": {"name": "MX150", "driverVersion": "26.21", "driverDate": "2019-01-02", "memoryMB": 2048},
            "internal": {"name": "UHD 620", "driverVersion": "26.20", "driverDate": "2019-09-04", "memoryMB": 128},
            "monitor": {"caption": "AUO B156", "resolution": "1920*1080", "refreshRate": 60}},
  "audio": {"name": "Conexant", "devices": [{"name": "Conexant ISST", "manufacturer": "Conexant"},
                                            {"name": "Intel Display Audio", "manufacturer": "Intel"}]},
  "network": {"internalHardIds": ["PCI\\VEN_168C"],
              "wireless": {"hardIds": ["PCI\\VEN_168C"], "caption": "QCA9377", "manufacturer": "Qualcomm"},
              "wired": {"hardIds": ["PCI\\VEN_10EC"], "caption": "RTL8168", "manufacturer": "Realtek"},
              "mobile": {"caption": "EM7455", "manufacturer": "Sierra"},
              "notSupportWireless": true},
  "battery": {"name": "L16M2PB1", "designCapacityMWh": 30000},
  "keyboard": {"name": "PS/2 Keyboard"},
  "bluetooth": {"name": "QCA9377 Bluetooth"},
  "biometric": {"name": "ELAN WBF", "manufacturer": "ELAN"}}})";

TEST(HardwareSdk, SingleDevicesAnswerTheirFacts) {
  testenv::UseMachine(kNotebook);

  CCpu cpu;
  EXPECT_EQ(cpu.GetCpuName(), u"Intel(R) Core(TM) i5-8250U");
  EXPECT_EQ(cpu.GetCpuManufacturer(), u"GenuineIntel");
  EXPECT_EQ(cpu.GetCpuCoreNumbers(), 4u);
  EXPECT_EQ(cpu.GetCpuCoreThreads(), 8u);
  EXPECT_EQ(cpu.GetCpuExtClock(), 100u);
  EXPECT_EQ(cpu.GetL1CacheSize(), 256u);
  EXPECT_EQ(cpu.GetL2CacheSize(), 1024u);
  EXPECT_EQ(cpu.GetL3CacheSize(), 6144u);
  CBaseboard board;
  EXPECT_EQ(board.GetBaseboardProduct(), u"81H7");
  EXPECT_EQ(board.GetBaseboardManufacturer(), u"LENOVO");
  EXPECT_EQ(board.GetBaseboardVersion(), u"V1");
  EXPECT_EQ(board.GetBaseboardSerialNumber(), u"SN9");
  CVediocard video;
  EXPECT_EQ(video.GetIndependentVideoCardName(), u"MX150");
  EXPECT_EQ(video.GetIndependentVideoCardDriverVersion(), u"26.21");
  EXPECT_EQ(video.GetIndependentVideoCardDriverDate(), u"2019-01-02");
  EXPECT_EQ(video.GetIndependentVedioCardMemorySize(), 2048u);
  EXPECT_EQ(video.GetInternalVideoCardName(), u"UHD 620");
  EXPECT_EQ(video.GetInternalVideoCardDriverVersion(), u"26.20");
  EXPECT_EQ(video.GetInternalVideoCardDriverDate(), u"2019-09-04");
  EXPECT_EQ(video.GetInternalVedioCardMemorySize(), 128u);
  EXPECT_EQ(video.GetMonitorCaption(), u"AUO B156");
  EXPECT_EQ(video.GetDisplayResolution(), u"1920*1080");
  EXPECT_EQ(video.GetRefreshRate(), 60u);
  EXPECT_EQ(CBattery().GetBatteryName(), u"L16M2PB1");
  EXPECT_EQ(CBattery().GetBatteryDesignCapacity(), 30000u);
  EXPECT_EQ(CKeyBoard().GetKeyBoardName(), u"PS/2 Keyboard");
  EXPECT_EQ(CBluetooth().GetDeviceName(), u"QCA9377 Bluetooth");
  EXPECT_EQ(CBiometric().GetDeviceName(), u"ELAN WBF");
  EXPECT_EQ(CBiometric().GetManufacturer(), u"ELAN");
}

TEST(HardwareSdk, MemoryModulesAnswerByIndex) {
  testenv::UseMachine(kNotebook);
  CMemory memory;

  uint32_t count = 99;
  memory.GetMemoryNums(count);
  uint64_t total = 0;
  memory.GetTotalMemoryNums(total);
  uint64_t capacity = 0;
  uint32_t speed = 0;
  std::u16string locator, part, maker;
  EXPECT_EQ(memory.GetCapacitybyIndex(capacity, 1), 0);
  memory.GetSpeedbyIndex(speed, 1);
  memory.GetLocatorbyIndex(locator, 1);
  memory.GetPartNumberbyIndex(part, 1);
  memory.GetManufacturerbyIndex(maker, 1);

  EXPECT_EQ(count, 2u);
  EXPECT_EQ(total, 12288u);
  EXPECT_EQ(capacity, 8192u);
  EXPECT_EQ(speed, 2666u);
  EXPECT_EQ(locator, u"B");
  EXPECT_EQ(part, u"CT8G4");
  EXPECT_EQ(maker, u"Crucial");
}

TEST(HardwareSdk, AnIndexBeyondTheMachineAnswersEmptyOrZero) {
  testenv::UseMachine(kNotebook);

  CMemory memory;
  uint64_t capacity = 77;
  uint32_t speed = 77;
  std::u16string text = u"stale";
  EXPECT_NE(memory.GetCapacitybyIndex(capacity, 2), 0);
  memory.GetSpeedbyIndex(speed, 2);
  memory.GetPartNumberbyIndex(text, 2);
  EXPECT_EQ(capacity, 0u);
  EXPECT_EQ(speed, 0u);
  EXPECT_EQ(text, u"");

  CDisk disk;
  EXPECT_EQ(disk.GetCaption(2), u"");
  EXPECT_EQ(disk.GetCaption(-1), u"");
  EXPECT_EQ(disk.GetFirmwareRevision(5), u"");
  EXPECT_EQ(disk.GetTotalVendorCapacity(-3), 0u);
  int ssd = 1;
  disk.JudgeSSd(9, ssd);
  EXPECT_EQ(ssd, 0);

  CAudioCard audio;
  EXPECT_EQ(audio.GetAudioCardNameByIndex(2), u"");
  EXPECT_EQ(audio.GetAudioCardManufacturerByIndex(100), u"");
  EXPECT_EQ(CNetworkCard().GetCaption(static_cast<enmNETWORK_CARD_TYPE>(3)), u"");
  EXPECT_EQ(CNetworkCard().GetManufactrue(static_cast<enmNETWORK_CARD_TYPE>(-1)), u"");
}

TEST(HardwareSdk, DisksAnswerByIndex) {
  testenv::UseMachine(kNotebook);
  CDisk disk;

  int first = 0, second = 1;
  disk.JudgeSSd(0, first);
  disk.JudgeSSd(1, second);

  EXPECT_EQ(disk.GetPhysicDiskNumbers(), 2);
  EXPECT_EQ(disk.GetCaption(1), u"ST1000LM035");
  EXPECT_EQ(disk.GetFirmwareRevision(0), u"2012");
  EXPECT_EQ(disk.GetTotalVendorCapacity(1), 1000u);
  EXPECT_NE(first, 0);
  EXPECT_EQ(second, 0);
}

TEST(HardwareSdk, TheDiskCountCanBeOverridden) {
  testenv::UseMachine(R"({"hardware": {"disks": [{"caption": "A"}, {"caption": "B"}], "diskCount": -1}})");
  EXPECT_EQ(CDisk().GetPhysicDiskNumbers(), -1);
  testenv::UseMachine(R"({"hardware": {"diskCount": 3}})");
  EXPECT_EQ(CDisk().GetPhysicDiskNumbers(), 3);
  EXPECT_EQ(CDisk().GetCaption(0), u"");
}

TEST(HardwareSdk, AudioDevicesAnswerByIndex) {
  testenv::UseMachine(kNotebook);
  CAudioCard audio;

  EXPECT_EQ(audio.GetAudioCardName(), u"Conexant");
  EXPECT_EQ(audio.GetAudioCardNumbers(), 2u);
  EXPECT_EQ(audio.GetAudioCardNameByIndex(1), u"Intel Display Audio");
  EXPECT_EQ(audio.GetAudioCardManufacturerByIndex(0), u"Conexant");
}

TEST(HardwareSdk, NetworkCardsAnswerPerType) {
  testenv::UseMachine(kNotebook);
  CNetworkCard card;

  EXPECT_EQ(card.GetInternalNetCardHardId(), std::vector<std::u16string>{u"PCI\\VEN_168C"});
  EXPECT_EQ(card.GetAllWireLessHardId(), std::vector<std::u16string>{u"PCI\\VEN_168C"});
  EXPECT_EQ(card.GetAllWiredHardId(), std::vector<std::u16string>{u"PCI\\VEN_10EC"});
  EXPECT_TRUE(card.GetAllMobileHardId().empty());
  EXPECT_EQ(card.GetCaption(NETWORK_CARD_WIRELESS), u"QCA9377");
  EXPECT_EQ(card.GetCaption(NETWORK_CARD_WIRED), u"RTL8168");
  EXPECT_EQ(card.GetCaption(NETWORK_CARD_MOBILE), u"EM7455");
  EXPECT_EQ(card.GetManufactrue(NETWORK_CARD_WIRELESS), u"Qualcomm");
  EXPECT_EQ(card.GetManufactrue(NETWORK_CARD_WIRED), u"Realtek");
  EXPECT_EQ(card.GetManufactrue(NETWORK_CARD_MOBILE), u"Sierra");
  EXPECT_TRUE(card.IsNotSupportWireLessCard());
}

TEST(HardwareSdk, AnEmptyMachineAnswersNothing) {
  testenv::UseEmptyMachine();

  uint32_t count = 5;
  CMemory().GetMemoryNums(count);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(CCpu().GetCpuName(), u"");
  EXPECT_EQ(CCpu().GetCpuCoreNumbers(), 0u);
  EXPECT_EQ(CDisk().GetPhysicDiskNumbers(), 0);
  EXPECT_EQ(CAudioCard().GetAudioCardNumbers(), 0u);
  EXPECT_TRUE(CNetworkCard().GetInternalNetCardHardId().empty());
  EXPECT_FALSE(CNetworkCard().IsNotSupportWireLessCard());
  EXPECT_EQ(CBattery().GetBatteryDesignCapacity(), 0u);
  CNetworkAdapter adapter;
}

TEST(HardwareSdk, EveryCallIsJournalledWithItsIndex) {
  testenv::UseMachine(kNotebook);

  CCpu().GetCpuName();
  std::u16string text;
  CMemory().GetLocatorbyIndex(text, 1);
  CDisk().GetCaption(-1);
  CNetworkCard().GetCaption(NETWORK_CARD_WIRED);

  const auto journal = Machine::Instance().Journal();
  ASSERT_EQ(journal.size(), 4u);
  EXPECT_EQ(journal[0].call, "CCpu::GetCpuName");
  EXPECT_EQ(journal[0].args, "");
  EXPECT_EQ(journal[1].call, "CMemory::GetLocatorbyIndex");
  EXPECT_EQ(journal[1].args, "1");
  EXPECT_EQ(journal[2].call, "CDisk::GetCaption");
  EXPECT_EQ(journal[2].args, "-1");
  EXPECT_EQ(journal[3].call, "CNetworkCard::GetCaption");
  EXPECT_EQ(journal[3].args, "1");
}

}  // namespace
