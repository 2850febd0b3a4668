// The hardware-information library, answered from the machine model. Every call is journalled;
// an index the machine does not have answers empty or 0.
#include "HardwareSdk/HardwareSdk.h"

#include <type_traits>

#include "machine/machine.h"

namespace {

using host::machine::Hardware;
using host::machine::Machine;
using host::machine::NetworkAdapter;

// Journals the call and hands back the machine's hardware as it is now. The snapshot keeps the
// profile alive for as long as the caller holds it.
struct Answer {
  std::shared_ptr<const host::machine::Profile> profile;
  const Hardware* operator->() const { return &profile->hardware; }
};

Answer Ask(std::string_view call, std::string_view args = {}) {
  Machine& machine = Machine::Instance();
  machine.Note(call, args);
  return Answer{machine.Current()};
}

template <class Index>
Answer AskAt(std::string_view call, Index index) {
  return Ask(call, std::to_string(index));
}

template <class T, class Index>
const T* At(const std::vector<T>& list, Index index) {
  if constexpr (std::is_signed_v<Index>) {
    if (index < 0) return nullptr;
  }
  return static_cast<size_t>(index) < list.size() ? &list[static_cast<size_t>(index)] : nullptr;
}

const NetworkAdapter* AdapterOf(const Hardware& hw, enmNETWORK_CARD_TYPE type) {
  switch (type) {
    case NETWORK_CARD_WIRELESS: return &hw.network.wireless;
    case NETWORK_CARD_WIRED: return &hw.network.wired;
    case NETWORK_CARD_MOBILE: return &hw.network.mobile;
  }
  return nullptr;
}

}  // namespace

// ---- CCpu ----------------------------------------------------------------------------------

std::u16string CCpu::GetCpuName() { return Ask("CCpu::GetCpuName")->cpu.name; }
std::u16string CCpu::GetCpuManufacturer() { return Ask("CCpu::GetCpuManufacturer")->cpu.manufacturer; }
uint32_t CCpu::GetCpuCoreNumbers() { return Ask("CCpu::GetCpuCoreNumbers")->cpu.cores; }
uint32_t CCpu::GetCpuCoreThreads() { return Ask("CCpu::GetCpuCoreThreads")->cpu.threads; }
uint32_t CCpu::GetCpuExtClock() { return Ask("CCpu::GetCpuExtClock")->cpu.extClockMHz; }
uint32_t CCpu::GetL1CacheSize() { return Ask("CCpu::GetL1CacheSize")->cpu.l1KB; }
uint32_t CCpu::GetL2CacheSize() { return Ask("CCpu::GetL2CacheSize")->cpu.l2KB; }
uint32_t CCpu::GetL3CacheSize() { return Ask("CCpu::GetL3CacheSize")->cpu.l3KB; }

// ---- CBaseboard ----------------------------------------------------------------------------

std::u16string CBaseboard::GetBaseboardProduct() { return Ask("CBaseboard::GetBaseboardProduct")->baseboard.product; }
std::u16string CBaseboard::GetBaseboardManufacturer() {
  return Ask("CBaseboard::GetBaseboardManufacturer")->baseboard.manufacturer;
}
std::u16string CBaseboard::GetBaseboardVersion() { return Ask("CBaseboard::GetBaseboardVersion")->baseboard.version; }
std::u16string CBaseboard::GetBaseboardSerialNumber() {
  return Ask("CBaseboard::GetBaseboardSerialNumber")->baseboard.serialNumber;
}

// ---- CMemory: 0 when the module exists, -1 when it does not; outs are always written -----------

int CMemory::GetMemoryNums(uint32_t& count) {
  count = static_cast<uint32_t>(Ask("CMemory::GetMemoryNums")->memory.modules.size());
  return 0;
}

int CMemory::GetTotalMemoryNums(uint64_t& totalMB) {
  totalMB = Ask("CMemory::GetTotalMemoryNums")->memory.totalMB;
  return 0;
}

int CMemory::GetCapacitybyIndex(uint64_t& capacityMB, uint32_t index) {
  const auto hw = AskAt("CMemory::GetCapacitybyIndex", index);
  const auto* module = At(hw->memory.modules, index);
  capacityMB = module ? module->capacityMB : 0;
  return module ? 0 : -1;
}

int CMemory::GetSpeedbyIndex(uint32_t& speedMHz, uint32_t index) {
  const auto hw = AskAt("CMemory::GetSpeedbyIndex", index);
  const auto* module = At(hw->memory.modules, index);
  speedMHz = module ? module->speedMHz : 0;
  return module ? 0 : -1;
}

int CMemory::GetLocatorbyIndex(std::u16string& text, uint32_t index) {
  const auto hw = AskAt("CMemory::GetLocatorbyIndex", index);
  const auto* module = At(hw->memory.modules, index);
  text = module ? module->locator : std::u16string();
  return module ? 0 : -1;
}

int CMemory::GetPartNumberbyIndex(std::u16string& text, uint32_t index) {
  const auto hw = AskAt("CMemory::GetPartNumberbyIndex", index);
  const auto* module = At(hw->memory.modules, index);
  text = module ? module->partNumber : std::u16string();
  return module ? 0 : -1;
}

int CMemory::GetManufacturerbyIndex(std::u16string& text, uint32_t index) {
  const auto hw = AskAt("CMemory::GetManufacturerbyIndex", index);
  const auto* module = At(hw->memory.modules, index);
  text = module ? module->manufacturer : std::u16string();
  return module ? 0 : -1;
}

// ---- CDisk ---------------------------------------------------------------------------------

int CDisk::GetPhysicDiskNumbers() {
  const auto hw = Ask("CDisk::GetPhysicDiskNumbers");
  return hw->diskCount.value_or(static_cast<int>(hw->disks.size()));
}

std::u16string CDisk::GetCaption(int index) {
  const auto hw = AskAt("CDisk::GetCaption", index);
  const auto* disk = At(hw->disks, index);
  return disk ? disk->caption : std::u16string();
}

std::u16string CDisk::GetFirmwareRevision(int index) {
  return Machine::Instance().ReadDiskFirmware("CDisk::GetFirmwareRevision", index);
}

uint64_t CDisk::GetTotalVendorCapacity(int index) {
  const auto hw = AskAt("CDisk::GetTotalVendorCapacity", index);
  const auto* disk = At(hw->disks, index);
  return disk ? disk->capacityGB : 0;
}

void CDisk::JudgeSSd(int index, int& isSsd) {
  const auto hw = AskAt("CDisk::JudgeSSd", index);
  const auto* disk = At(hw->disks, index);
  isSsd = disk && disk->ssd ? 1 : 0;
}

// ---- CVediocard ----------------------------------------------------------------------------

std::u16string CVediocard::GetIndependentVideoCardName() {
  return Ask("CVediocard::GetIndependentVideoCardName")->video.independent.name;
}
std::u16string CVediocard::GetIndependentVideoCardDriverVersion() {
  return Ask("CVediocard::GetIndependentVideoCardDriverVersion")->video.independent.driverVersion;
}
std::u16string CVediocard::GetIndependentVideoCardDriverDate() {
  return Ask("CVediocard::GetIndependentVideoCardDriverDate")->video.independent.driverDate;
}
std::u16string CVediocard::GetInternalVideoCardName() {
  return Ask("CVediocard::GetInternalVideoCardName")->video.internal.name;
}
std::u16string CVediocard::GetInternalVideoCardDriverVersion() {
  return Ask("CVediocard::GetInternalVideoCardDriverVersion")->video.internal.driverVersion;
}
std::u16string CVediocard::GetInternalVideoCardDriverDate() {
  return Ask("CVediocard::GetInternalVideoCardDriverDate")->video.internal.driverDate;
}
uint32_t CVediocard::GetIndependentVedioCardMemorySize() {
  return Ask("CVediocard::GetIndependentVedioCardMemorySize")->video.independent.memoryMB;
}
uint32_t CVediocard::GetInternalVedioCardMemorySize() {
  return Ask("CVediocard::GetInternalVedioCardMemorySize")->video.internal.memoryMB;
}
std::u16string CVediocard::GetMonitorCaption() { return Ask("CVediocard::GetMonitorCaption")->video.monitor.caption; }
std::u16string CVediocard::GetDisplayResolution() {
  return Ask("CVediocard::GetDisplayResolution")->video.monitor.resolution;
}
uint32_t CVediocard::GetRefreshRate() { return Ask("CVediocard::GetRefreshRate")->video.monitor.refreshRate; }

// ---- CAudioCard ----------------------------------------------------------------------------

std::u16string CAudioCard::GetAudioCardName() { return Ask("CAudioCard::GetAudioCardName")->audio.name; }

uint32_t CAudioCard::GetAudioCardNumbers() {
  return static_cast<uint32_t>(Ask("CAudioCard::GetAudioCardNumbers")->audio.devices.size());
}

std::u16string CAudioCard::GetAudioCardNameByIndex(uint32_t index) {
  const auto hw = AskAt("CAudioCard::GetAudioCardNameByIndex", index);
  const auto* device = At(hw->audio.devices, index);
  return device ? device->name : std::u16string();
}

std::u16string CAudioCard::GetAudioCardManufacturerByIndex(uint32_t index) {
  const auto hw = AskAt("CAudioCard::GetAudioCardManufacturerByIndex", index);
  const auto* device = At(hw->audio.devices, index);
  return device ? device->manufacturer : std::u16string();
}

// ---- CNetworkCard --------------------------------------------------------------------------

std::vector<std::u16string> CNetworkCard::GetInternalNetCardHardId() {
  return Ask("CNetworkCard::GetInternalNetCardHardId")->network.internalHardIds;
}
std::vector<std::u16string> CNetworkCard::GetAllWireLessHardId() {
  return Ask("CNetworkCard::GetAllWireLessHardId")->network.wireless.hardIds;
}
std::vector<std::u16string> CNetworkCard::GetAllWiredHardId() {
  return Ask("CNetworkCard::GetAllWiredHardId")->network.wired.hardIds;
}
std::vector<std::u16string> CNetworkCard::GetAllMobileHardId() {
  return Ask("CNetworkCard::GetAllMobileHardId")->network.mobile.hardIds;
}

std::u16string CNetworkCard::GetCaption(enmNETWORK_CARD_TYPE type) {
  const auto hw = AskAt("CNetworkCard::GetCaption", static_cast<int32_t>(type));
  const NetworkAdapter* adapter = AdapterOf(hw.profile->hardware, type);
  return adapter ? adapter->caption : std::u16string();
}

std::u16string CNetworkCard::GetManufactrue(enmNETWORK_CARD_TYPE type) {
  const auto hw = AskAt("CNetworkCard::GetManufactrue", static_cast<int32_t>(type));
  const NetworkAdapter* adapter = AdapterOf(hw.profile->hardware, type);
  return adapter ? adapter->manufacturer : std::u16string();
}

bool CNetworkCard::IsNotSupportWireLessCard() {
  return Ask("CNetworkCard::IsNotSupportWireLessCard")->network.notSupportWireless;
}

// ---- single devices ------------------------------------------------------------------------

std::u16string CBattery::GetBatteryName() { return Ask("CBattery::GetBatteryName")->battery.name; }
uint32_t CBattery::GetBatteryDesignCapacity() {
  return Ask("CBattery::GetBatteryDesignCapacity")->battery.designCapacityMWh;
}

std::u16string CKeyBoard::GetKeyBoardName() { return Ask("CKeyBoard::GetKeyBoardName")->keyboard.name; }

std::u16string CBluetooth::GetDeviceName() { return Ask("CBluetooth::GetDeviceName")->bluetooth.name; }

std::u16string CBiometric::GetDeviceName() { return Ask("CBiometric::GetDeviceName")->biometric.name; }
std::u16string CBiometric::GetManufacturer() { return Ask("CBiometric::GetManufacturer")->biometric.manufacturer; }

// The adapter object only stands for the library's session; it holds nothing and touches nothing,
// so it is safe to build or destroy at any time, process exit included.
CNetworkAdapter::CNetworkAdapter() = default;
CNetworkAdapter::~CNetworkAdapter() = default;
