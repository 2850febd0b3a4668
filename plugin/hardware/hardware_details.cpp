#include "hardware/hardware_details.h"

#include <array>
#include <cstdio>
#include <span>

#include "DuiLib/UICulture.h"
#include "hardware/hardware_objects.h"
#include "utility/DE.h"

namespace zel::sysdiagnose {

namespace {

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::u16string Number(uint64_t value) { return Ascii(std::to_string(value)); }

// A count with its unit; empty when the device reports 0.
std::u16string WithUnit(uint64_t value, const char16_t* unit) {
  return value == 0 ? std::u16string() : Number(value) + unit;
}

uint64_t RoundedGB(uint64_t megabytes) {
  return static_cast<uint64_t>(static_cast<double>(megabytes) / 1024 + 0.5);
}

std::u16string Localized(const char16_t* key) { return UICulture::GetInstance().GetString(key); }

// A capacity in decimal gigabytes as the user sees it ("512 GB", "1.9 TB").
std::u16string DiskCapacityText(uint64_t capacityGB) {
  if (capacityGB < 1000) return Number(capacityGB) + u" GB";
  // Tenths of a terabyte, cut rather than rounded: 1999 GB is 1.9 TB.
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(capacityGB / 100) / 10.0);
  return Ascii(text) + u" TB";
}

// ---- Model names ------------------------------------------------------------------------------

using ModelNameSource = std::u16string (*)(HardwareObjects&);

// The fallback is asked only when the first source gave nothing.
template <class Fallback>
std::u16string FirstNonEmpty(std::u16string first, const Fallback& fallback) {
  return first.empty() ? fallback() : first;
}

std::u16string MemoryText(CMemory& memory, int (CMemory::*getter)(std::u16string&, uint32_t), uint32_t index) {
  std::u16string text;
  (memory.*getter)(text, index);
  return DE::TrimSP(text);
}

// Indexed by enmHardwareID.
constexpr std::array<ModelNameSource, kHardwareCategoryCount> kModelNameSources = {
    [](HardwareObjects& hw) { return DE::TrimSP(hw.audio.GetAudioCardName()); },
    [](HardwareObjects& hw) { return DE::TrimSP(hw.baseboard.GetBaseboardProduct()); },
    [](HardwareObjects& hw) { return DE::TrimSP(hw.bluetooth.GetDeviceName()); },
    [](HardwareObjects&) {
      CNetworkCard network;  // the adapter's own captions are shown as they come
      return FirstNonEmpty(network.GetCaption(NETWORK_CARD_WIRELESS),
                           [&network] { return network.GetCaption(NETWORK_CARD_WIRED); });
    },
    [](HardwareObjects& hw) { return DE::TrimSP(hw.cpu.GetCpuName()); },
    [](HardwareObjects& hw) {
      return FirstNonEmpty(MemoryText(hw.memory, &CMemory::GetPartNumberbyIndex, 0),
                           [&hw] { return MemoryText(hw.memory, &CMemory::GetManufacturerbyIndex, 0); });
    },
    [](HardwareObjects& hw) { return DE::TrimSP(hw.disk.GetCaption(0)); },
    [](HardwareObjects& hw) {
      return FirstNonEmpty(DE::TrimSP(hw.video.GetIndependentVideoCardName()),
                           [&hw] { return DE::TrimSP(hw.video.GetInternalVideoCardName()); });
    },
    [](HardwareObjects& hw) { return DE::TrimSP(hw.video.GetMonitorCaption()); },
    [](HardwareObjects& hw) { return DE::TrimSP(hw.battery.GetBatteryName()); },
    [](HardwareObjects& hw) { return DE::TrimSP(hw.keyboard.GetKeyBoardName()); },
    [](HardwareObjects& hw) { return DE::TrimSP(hw.biometric.GetDeviceName()); },
};

// ---- Information rows -------------------------------------------------------------------------

// What a row reads from: the shared objects, the collection's own network card, and the index of
// the device within its category (memory module, disk, audio device or network card type).
struct DeviceSource {
  HardwareObjects& hw;
  CNetworkCard& network;
  uint32_t index = 0;
};

// A row is present when its content is not empty.
struct RowBuilder {
  const char16_t* key;
  std::u16string (*content)(const DeviceSource&);
};

using Rows = std::span<const RowBuilder>;

std::u16string MemoryModuleSize(const DeviceSource& s) {
  uint64_t megabytes = 0;
  s.hw.memory.GetCapacitybyIndex(megabytes, s.index);
  return megabytes == 0 ? std::u16string() : Number(RoundedGB(megabytes)) + u"GB";
}

std::u16string MemoryModuleSpeed(const DeviceSource& s) {
  uint32_t megahertz = 0;
  s.hw.memory.GetSpeedbyIndex(megahertz, s.index);
  return WithUnit(megahertz, u"MHZ");
}

std::u16string DiskCapacity(const DeviceSource& s) {
  const uint64_t capacity = s.hw.disk.GetTotalVendorCapacity(static_cast<int>(s.index));
  return capacity == 0 ? std::u16string() : DiskCapacityText(capacity);
}

std::u16string CoresAndThreads(const DeviceSource& s) {
  const uint32_t cores = s.hw.cpu.GetCpuCoreNumbers();
  const uint32_t threads = s.hw.cpu.GetCpuCoreThreads();
  return cores == 0 || threads == 0 ? std::u16string() : Number(cores) + u"/" + Number(threads);
}

std::u16string NetworkCaption(const DeviceSource& s) {
  return DE::TrimSP(s.network.GetCaption(static_cast<enmNETWORK_CARD_TYPE>(s.index)));
}

std::u16string NetworkManufacturer(const DeviceSource& s) {
  return DE::TrimSP(s.network.GetManufactrue(static_cast<enmNETWORK_CARD_TYPE>(s.index)));
}

constexpr RowBuilder kCpuRows[] = {
    {u"IDS_HARDWARE_DETECT_CPU", [](const DeviceSource& s) { return DE::TrimSP(s.hw.cpu.GetCpuName()); }},
    {u"IDS_HARDWARE_DETECT_MANUFACTURE",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.cpu.GetCpuManufacturer()); }},
    {u"IDS_HARDWARE_DETECT_CPU_NUM", CoresAndThreads},
    {u"IDS_HARDWARE_DETECT_CPU_EXCLOCK",
     [](const DeviceSource& s) { return WithUnit(s.hw.cpu.GetCpuExtClock(), u"MHZ"); }},
    {u"IDS_HARDWARE_DETECT_CPU_FIRST_CACHE",
     [](const DeviceSource& s) { return WithUnit(s.hw.cpu.GetL1CacheSize(), u"KB"); }},
    {u"IDS_HARDWARE_DETECT_CPU_SECOND_CACHE",
     [](const DeviceSource& s) { return WithUnit(s.hw.cpu.GetL2CacheSize(), u"KB"); }},
    {u"IDS_HARDWARE_DETECT_CPU_THIRD_CACHE",
     [](const DeviceSource& s) { return WithUnit(s.hw.cpu.GetL3CacheSize(), u"KB"); }},
};

constexpr RowBuilder kMainboardRows[] = {
    {u"IDS_HARDWARE_DETECT_PRODUCT",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.baseboard.GetBaseboardProduct()); }},
    {u"IDS_HARDWARE_DETECT_MANUFACTURE",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.baseboard.GetBaseboardManufacturer()); }},
    {u"IDS_HARDWARE_DETECT_VER",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.baseboard.GetBaseboardVersion()); }},
    {u"IDS_HARDWARE_DETECT_SN",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.baseboard.GetBaseboardSerialNumber()); }},
};

constexpr RowBuilder kMemoryModuleRows[] = {
    {u"IDS_HARDWARE_DETECT_PRODUCT",
     [](const DeviceSource& s) { return MemoryText(s.hw.memory, &CMemory::GetPartNumberbyIndex, s.index); }},
    {u"IDS_HARDWARE_DETECT_LOC",
     [](const DeviceSource& s) { return MemoryText(s.hw.memory, &CMemory::GetLocatorbyIndex, s.index); }},
    {u"IDS_HARDWARE_DETECT_MANUFACTURE",
     [](const DeviceSource& s) { return MemoryText(s.hw.memory, &CMemory::GetManufacturerbyIndex, s.index); }},
    {u"IDS_HARDWARE_DETECT_MEM_SIZE", MemoryModuleSize},
    {u"IDS_HARDWARE_DETECT_HERTZ", MemoryModuleSpeed},
};

constexpr RowBuilder kDiskRows[] = {
    {u"IDS_HARDWARE_DETECT_PRODUCT",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.disk.GetCaption(static_cast<int>(s.index))); }},
    {u"IDS_HARDWARE_DETECT_DISK_VOLUMN", DiskCapacity},
};

// The name row comes first: a card without a name shows nothing.
constexpr RowBuilder kIndependentGraphicsRows[] = {
    {u"IDS_HARDWARE_DETECT_NAME",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.video.GetIndependentVideoCardName()); }},
    {u"IDS_HARDWARE_DETECT_DRIVER_VERION",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.video.GetIndependentVideoCardDriverVersion()); }},
    {u"IDS_HARDWARE_DETECT_DRIVER_DATE",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.video.GetIndependentVideoCardDriverDate()); }},
    {u"IDS_HARDWARE_DETECT_GPU_SIZE",
     [](const DeviceSource& s) { return WithUnit(s.hw.video.GetIndependentVedioCardMemorySize(), u" M"); }},
};

constexpr RowBuilder kInternalGraphicsRows[] = {
    {u"IDS_HARDWARE_DETECT_NAME",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.video.GetInternalVideoCardName()); }},
    {u"IDS_HARDWARE_DETECT_DRIVER_VERION",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.video.GetInternalVideoCardDriverVersion()); }},
    {u"IDS_HARDWARE_DETECT_DRIVER_DATE",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.video.GetInternalVideoCardDriverDate()); }},
    {u"IDS_HARDWARE_DETECT_GPU_SIZE",
     [](const DeviceSource& s) { return WithUnit(s.hw.video.GetInternalVedioCardMemorySize(), u" M"); }},
};

constexpr RowBuilder kDisplayRows[] = {
    {u"IDS_HARDWARE_DETECT_PRODUCT",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.video.GetMonitorCaption()); }},
    {u"IDS_HARDWARE_DETECT_DISPLAY_RESOLUTION",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.video.GetDisplayResolution()); }},
    // Always shown, 0 included: the page's rows say so, whatever the monitor.
    {u"IDS_HARDWARE_DETECT_DISPLAY_REFRESH_RATE",
     [](const DeviceSource& s) { return Number(s.hw.video.GetRefreshRate()); }},
};

constexpr RowBuilder kAudioDeviceRows[] = {
    {u"IDS_HARDWARE_DETECT_PRODUCT",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.audio.GetAudioCardNameByIndex(s.index)); }},
    {u"IDS_HARDWARE_DETECT_MANUFACTURE",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.audio.GetAudioCardManufacturerByIndex(s.index)); }},
};

constexpr RowBuilder kNetworkCardRows[] = {
    {u"IDS_HARDWARE_DETECT_NAME", NetworkCaption},
    {u"IDS_HARDWARE_DETECT_MANUFACTURE", NetworkManufacturer},
};

constexpr RowBuilder kBatteryRows[] = {
    {u"IDS_HARDWARE_DETECT_PRODUCT",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.battery.GetBatteryName()); }},
    {u"IDS_HARDWARE_DETECT_DESIGN_VOLUMN",
     [](const DeviceSource& s) { return WithUnit(s.hw.battery.GetBatteryDesignCapacity(), u"mWh"); }},
};

constexpr RowBuilder kKeyboardRows[] = {
    {u"IDS_HARDWARE_DETECT_PRODUCT",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.keyboard.GetKeyBoardName()); }},
};

constexpr RowBuilder kBluetoothRows[] = {
    {u"IDS_HARDWARE_DETECT_PRODUCT",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.bluetooth.GetDeviceName()); }},
};

constexpr RowBuilder kFingerprintRows[] = {
    {u"IDS_HARDWARE_DETECT_PRODUCT",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.biometric.GetDeviceName()); }},
    {u"IDS_HARDWARE_DETECT_MANUFACTURE",
     [](const DeviceSource& s) { return DE::TrimSP(s.hw.biometric.GetManufacturer()); }},
};

// Hands records of one category to the receiver and counts the information rows passed.
class RowSink {
 public:
  RowSink(int32_t category, const HardwareRowCallback& onRow)
      : category_(static_cast<enmHardwareID>(category)), onRow_(onRow) {}

  // Passes the row when present; returns whether it was.
  bool Row(const RowBuilder& builder, const DeviceSource& source) {
    std::u16string content = builder.content(source);
    if (content.empty()) return false;
    ++rowsPassed_;
    Pass({0, Localized(builder.key), std::move(content)});
    return true;
  }
  void AllRows(Rows rows, const DeviceSource& source) {
    for (const auto& row : rows) Row(row, source);
  }
  void Separator() { Pass({1, {}, {}}); }
  void Placeholder() { Pass({0, {}, {}}); }

  bool AnyRowPassed() const { return rowsPassed_ > 0; }

 private:
  void Pass(tagHardwareDetailInfo record) {
    if (onRow_) onRow_(category_, record);
  }

  enmHardwareID category_;
  const HardwareRowCallback& onRow_;
  size_t rowsPassed_ = 0;
};

bool CollectSingleDevice(RowSink& sink, Rows rows, const DeviceSource& source) {
  sink.AllRows(rows, source);
  if (!sink.AnyRowPassed()) sink.Placeholder();
  return sink.AnyRowPassed();
}

// Several devices of one kind: found as soon as there is one, even when none says anything.
bool CollectDevices(RowSink& sink, uint32_t count, Rows rows, DeviceSource source) {
  if (count == 0) {
    sink.Placeholder();
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (i > 0) sink.Separator();
    source.index = i;
    sink.AllRows(rows, source);
  }
  return true;
}

bool CollectAudio(RowSink& sink, DeviceSource& source) {
  HardwareDetect::tagHARDWARE_DETECT_RESULT result;
  result.passed = true;
  source.hw.audioDetect.CheckDevice(result);
  if (!result.passed) {
    sink.Placeholder();
    return false;
  }
  return CollectDevices(sink, source.hw.audio.GetAudioCardNumbers(), kAudioDeviceRows, source);
}

// A card is shown only when it has a name; its other rows are not even read otherwise.
void CollectGraphicsCard(RowSink& sink, Rows rows, const DeviceSource& source) {
  if (!sink.Row(rows.front(), source)) return;
  sink.AllRows(rows.subspan(1), source);
}

bool CollectGraphics(RowSink& sink, DeviceSource& source) {
  HardwareDetect::tagHARDWARE_DETECT_RESULT result;
  if (source.hw.videoDetect.CheckDevice(result) != 0) {
    sink.Placeholder();
    return false;
  }
  CollectGraphicsCard(sink, kIndependentGraphicsRows, source);
  CollectGraphicsCard(sink, kInternalGraphicsRows, source);
  if (!sink.AnyRowPassed()) sink.Placeholder();
  return sink.AnyRowPassed();
}

bool CollectNetwork(RowSink& sink, DeviceSource& source) {
  CNetworkCard& network = source.network;
  if (network.GetInternalNetCardHardId().empty()) {
    sink.Placeholder();
    return false;
  }
  const bool typePresent[] = {!network.GetAllWireLessHardId().empty(), !network.GetAllWiredHardId().empty(),
                              !network.GetAllMobileHardId().empty()};
  for (uint32_t type = NETWORK_CARD_WIRELESS; type <= NETWORK_CARD_MOBILE; ++type) {
    if (!typePresent[type]) continue;
    if (sink.AnyRowPassed()) sink.Separator();
    source.index = type;
    sink.AllRows(kNetworkCardRows, source);
  }
  if (!sink.AnyRowPassed()) sink.Placeholder();
  return sink.AnyRowPassed();
}

uint32_t DiskCount(HardwareObjects& hw) {
  const int count = hw.disk.GetPhysicDiskNumbers();
  return count > 0 ? static_cast<uint32_t>(count) : 0;  // a failed query means no disk
}

uint32_t MemoryModuleCount(HardwareObjects& hw) {
  uint32_t count = 0;
  hw.memory.GetMemoryNums(count);
  return count;
}

}  // namespace

std::u16string QueryModelName(int32_t category) {
  std::u16string name;
  if (IsHardwareCategory(category)) name = kModelNameSources[category](GetHardwareObjects());
  return name.empty() ? Localized(u"IDS_HARDWARE_DEVICE_NAME_ERROR_BLANK") : name;
}

uint64_t QueryTotalMemoryGB() {
  uint64_t megabytes = 0;
  GetHardwareObjects().memory.GetTotalMemoryNums(megabytes);
  return RoundedGB(megabytes);
}

std::u16string QueryDiskCapacitySummary() {
  HardwareObjects& hw = GetHardwareObjects();
  std::u16string summary;
  const uint32_t count = DiskCount(hw);
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t capacity = hw.disk.GetTotalVendorCapacity(static_cast<int>(i));
    if (capacity == 0) continue;
    if (!summary.empty()) summary += u"+";
    summary += DiskCapacityText(capacity);
  }
  return summary;
}

bool CollectHardwareDetails(int32_t category, const HardwareRowCallback& onRow) {
  HardwareObjects& hw = GetHardwareObjects();
  CNetworkCard network;
  DeviceSource source{hw, network, 0};
  RowSink sink(category, onRow);
  switch (category) {
    case HARDWARE_CPU: return CollectSingleDevice(sink, kCpuRows, source);
    case HARDWARE_MAINBOARD: return CollectSingleDevice(sink, kMainboardRows, source);
    case HARDWARE_DISPLAY: return CollectSingleDevice(sink, kDisplayRows, source);
    case HARDWARE_BATTERY: return CollectSingleDevice(sink, kBatteryRows, source);
    case HARDWARE_KEYBOARD: return CollectSingleDevice(sink, kKeyboardRows, source);
    case HARDWARE_BLUETOOTH: return CollectSingleDevice(sink, kBluetoothRows, source);
    case HARDWARE_FINGERPRINT: return CollectSingleDevice(sink, kFingerprintRows, source);
    case HARDWARE_MEMORY: return CollectDevices(sink, MemoryModuleCount(hw), kMemoryModuleRows, source);
    case HARDWARE_DISK: return CollectDevices(sink, DiskCount(hw), kDiskRows, source);
    case HARDWARE_AUDIO: return CollectAudio(sink, source);
    case HARDWARE_GPU: return CollectGraphics(sink, source);
    case HARDWARE_NETCARD: return CollectNetwork(sink, source);
    default: return false;
  }
}

}  // namespace zel::sysdiagnose
