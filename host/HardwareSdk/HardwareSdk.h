#pragma once
// The host's hardware-information library. Getters are synchronous and answer from the machine
// model; texts are wide.
#include <cstdint>
#include <string>
#include <vector>

enum enmNETWORK_CARD_TYPE : int32_t {
  NETWORK_CARD_WIRELESS = 0,
  NETWORK_CARD_WIRED = 1,
  NETWORK_CARD_MOBILE = 2,
};

class CCpu {
 public:
  std::u16string GetCpuName();
  std::u16string GetCpuManufacturer();
  uint32_t GetCpuCoreNumbers();
  uint32_t GetCpuCoreThreads();
  uint32_t GetCpuExtClock();  // MHz
  uint32_t GetL1CacheSize();  // KB
  uint32_t GetL2CacheSize();
  uint32_t GetL3CacheSize();
};

class CBaseboard {
 public:
  std::u16string GetBaseboardProduct();
  std::u16string GetBaseboardManufacturer();
  std::u16string GetBaseboardVersion();
  std::u16string GetBaseboardSerialNumber();
};

class CMemory {
 public:
  int GetMemoryNums(uint32_t& count);
  int GetTotalMemoryNums(uint64_t& totalMB);
  int GetCapacitybyIndex(uint64_t& capacityMB, uint32_t index);
  int GetSpeedbyIndex(uint32_t& speedMHz, uint32_t index);
  int GetLocatorbyIndex(std::u16string& text, uint32_t index);
  int GetPartNumberbyIndex(std::u16string& text, uint32_t index);
  int GetManufacturerbyIndex(std::u16string& text, uint32_t index);
};

class CDisk {
 public:
  int GetPhysicDiskNumbers();
  std::u16string GetCaption(int index);
  std::u16string GetFirmwareRevision(int index);
  uint64_t GetTotalVendorCapacity(int index);  // decimal GB
  void JudgeSSd(int index, int& isSsd);
};

class CVediocard {
 public:
  std::u16string GetIndependentVideoCardName();
  std::u16string GetIndependentVideoCardDriverVersion();
  std::u16string GetIndependentVideoCardDriverDate();
  std::u16string GetInternalVideoCardName();
  std::u16string GetInternalVideoCardDriverVersion();
  std::u16string GetInternalVideoCardDriverDate();
  uint32_t GetIndependentVedioCardMemorySize();  // MB
  uint32_t GetInternalVedioCardMemorySize();
  std::u16string GetMonitorCaption();
  std::u16string GetDisplayResolution();
  uint32_t GetRefreshRate();
};

class CAudioCard {
 public:
  std::u16string GetAudioCardName();
  uint32_t GetAudioCardNumbers();
  std::u16string GetAudioCardNameByIndex(uint32_t index);
  std::u16string GetAudioCardManufacturerByIndex(uint32_t index);
};

class CNetworkCard {
 public:
  std::vector<std::u16string> GetInternalNetCardHardId();
  std::vector<std::u16string> GetAllWireLessHardId();
  std::vector<std::u16string> GetAllWiredHardId();
  std::vector<std::u16string> GetAllMobileHardId();
  std::u16string GetCaption(enmNETWORK_CARD_TYPE type);
  std::u16string GetManufactrue(enmNETWORK_CARD_TYPE type);
  bool IsNotSupportWireLessCard();
};

class CBattery {
 public:
  std::u16string GetBatteryName();
  uint32_t GetBatteryDesignCapacity();  // mWh
};

class CKeyBoard {
 public:
  std::u16string GetKeyBoardName();
};

class CBluetooth {
 public:
  std::u16string GetDeviceName();
};

class CBiometric {
 public:
  std::u16string GetDeviceName();
  std::u16string GetManufacturer();
};

class CNetworkAdapter {
 public:
  CNetworkAdapter();
  ~CNetworkAdapter();
};
