#include "machine/linux/hardware_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <map>
#include <set>

#include "machine/linux/binary_parsers.h"
#include "machine/linux/device_drivers.h"
#include "machine/linux/instruction_sets.h"
#include "machine/linux/pci_names.h"
#include "machine/linux/proc_parsers.h"
#include "machine/linux/sysfs_root.h"
#include "platform/encoding.h"

namespace host::machine::linuxhost {
namespace {

std::u16string U16(std::string_view text) { return platform::Utf8ToUtf16(text); }

std::vector<uint8_t> Bytes(const std::optional<std::string>& text) {
  return text ? std::vector<uint8_t>(text->begin(), text->end()) : std::vector<uint8_t>();
}

// The identity of the bus device (PCI or USB) a kernel device sits on.
struct DeviceIdentity {
  std::string bus;  // "pci", "usb", or empty when none was found
  uint16_t vendor = 0, device = 0;
  std::string name, manufacturer;
  std::u16string hardId;  // "PCI\VEN_8086&DEV_2723&SUBSYS_00848086", "USB\VID_8087&PID_0029"
};

std::string Hex4(uint64_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(4, '0');
  for (int i = 3; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = kDigits[value & 0xF];
  return text;
}

// Walks up from a class device's "device" link to the first PCI device or USB device (not
// interface) and names it: PCI through the name database, USB by its own strings.
DeviceIdentity Identify(const SysfsRoot& root, PciNames& pci, const std::string& classDevice) {
  DeviceIdentity identity;
  std::string path = root.Resolve(Join(classDevice, "device"));
  for (; path.size() > 1 && path.starts_with("/sys/devices"); path = path.substr(0, path.rfind('/'))) {
    const std::string bus = root.LinkName(Join(path, "subsystem"));
    if (bus == "pci") {
      identity.bus = bus;
      identity.vendor = static_cast<uint16_t>(root.Number(Join(path, "vendor")).value_or(0));
      identity.device = static_cast<uint16_t>(root.Number(Join(path, "device")).value_or(0));
      identity.name = pci.Device(identity.vendor, identity.device);
      identity.manufacturer = pci.Vendor(identity.vendor);
      std::string id = "PCI\\VEN_" + Hex4(identity.vendor) + "&DEV_" + Hex4(identity.device);
      const auto subVendor = root.Number(Join(path, "subsystem_vendor"));
      const auto subDevice = root.Number(Join(path, "subsystem_device"));
      if (subVendor && subDevice) id += "&SUBSYS_" + Hex4(*subDevice) + Hex4(*subVendor);
      identity.hardId = U16(id);
      return identity;
    }
    if (bus == "usb" && root.Exists(Join(path, "idVendor"))) {
      identity.bus = bus;
      identity.vendor = static_cast<uint16_t>(root.HexNumber(Join(path, "idVendor")).value_or(0));
      identity.device = static_cast<uint16_t>(root.HexNumber(Join(path, "idProduct")).value_or(0));
      identity.name = root.Text(Join(path, "product"));
      identity.manufacturer = root.Text(Join(path, "manufacturer"));
      identity.hardId = U16("USB\\VID_" + Hex4(identity.vendor) + "&PID_" + Hex4(identity.device));
      return identity;
    }
  }
  return identity;
}

std::string DriverOf(const SysfsRoot& root, const std::string& classDevice) {
  return root.LinkName(Join(classDevice, "device/driver"));
}

// In-tree drivers carry the kernel's version; out-of-tree modules say their own.
std::string DriverVersion(const SysfsRoot& root, const std::string& driver) {
  const std::string own = root.Text("/sys/module/" + driver + "/version");
  return own.empty() ? root.Text("/proc/sys/kernel/osrelease") : own;
}

void ReadCpu(const SysfsRoot& root, Profile& facts) {
  const CpuInfo info = ParseCpuInfo(root.Read("/proc/cpuinfo").value_or(""));
  Cpu& cpu = facts.hardware.cpu;
  cpu.name = U16(info.model);
  cpu.manufacturer = U16(info.vendor);
  cpu.cores = info.cores;
  cpu.threads = info.threads;

  // Every cache once, however many processors share it; totals per level, as the library reports.
  std::set<std::tuple<std::string, std::string, std::string>> seen;  // level, type, shared cpus
  uint64_t levelKiB[4] = {};
  for (const std::string& cpuName : root.List("/sys/devices/system/cpu")) {
    if (!cpuName.starts_with("cpu") || cpuName.size() < 4 || !isdigit(static_cast<unsigned char>(cpuName[3]))) continue;
    const std::string caches = "/sys/devices/system/cpu/" + cpuName + "/cache";
    for (const std::string& index : root.List(caches)) {
      if (!index.starts_with("index")) continue;
      const std::string dir = Join(caches, index);
      const std::string level = root.Text(Join(dir, "level"));
      if (!seen.emplace(level, root.Text(Join(dir, "type")), root.Text(Join(dir, "shared_cpu_list"))).second) continue;
      const uint64_t number = root.Number(Join(dir, "level")).value_or(0);
      if (number >= 1 && number <= 3) levelKiB[number] += ParseCacheSizeKiB(root.Text(Join(dir, "size")));
    }
  }
  cpu.l1KB = static_cast<uint32_t>(levelKiB[1]);
  cpu.l2KB = static_cast<uint32_t>(levelKiB[2]);
  cpu.l3KB = static_cast<uint32_t>(levelKiB[3]);

  // cpufreq speaks kHz. Only some drivers (intel_pstate) say the base clock; the others' range
  // is no base clock, so it stays unknown there. Without cpufreq (virtual machines, some
  // architectures) the kernel's own reading of the clock in /proc/cpuinfo is the current one.
  const std::string freq = "/sys/devices/system/cpu/cpu0/cpufreq/";
  cpu.baseMHz = static_cast<uint32_t>(root.Number(freq + "base_frequency").value_or(0) / 1000);
  const auto current = root.Number(freq + "scaling_cur_freq");
  cpu.currentMHz = current ? static_cast<uint32_t>(*current / 1000) : info.mhz;

  const auto support = [&facts](std::string_view path, InstructionSet set) {
    facts.flags[std::string(path)] = Supports(set);
  };
  support("cpu.support.sse", InstructionSet::Sse);
  support("cpu.support.sse2", InstructionSet::Sse2);
  support("cpu.support.ssse3", InstructionSet::Ssse3);
  support("cpu.support.sse41", InstructionSet::Sse41);
  support("cpu.support.sse42", InstructionSet::Sse42);
}

// The DMI structures of one type, in entry order; `denied` tells whether some were unreadable.
std::vector<DmiStructure> DmiEntries(const SysfsRoot& root, int type, bool& denied) {
  std::vector<std::pair<uint64_t, DmiStructure>> found;
  const std::string prefix = std::to_string(type) + "-";
  for (const std::string& entry : root.List("/sys/firmware/dmi/entries")) {
    if (!entry.starts_with(prefix)) continue;
    int error = 0;
    const auto raw = root.Read("/sys/firmware/dmi/entries/" + entry + "/raw", &error);
    if (!raw) {
      denied = denied || error == EACCES || error == EPERM;
      continue;
    }
    const auto bytes = Bytes(raw);
    const auto number = ParseNumber(std::string_view(entry).substr(prefix.size()));
    if (auto structure = ParseDmiStructure(bytes); structure && number) found.emplace_back(*number, *structure);
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<DmiStructure> structures;
  for (auto& [number, structure] : found) structures.push_back(std::move(structure));
  return structures;
}

void ReadBaseboard(const SysfsRoot& root, Inventory& inventory) {
  Baseboard& board = inventory.facts->hardware.baseboard;
  board.product = U16(root.Text("/sys/class/dmi/id/board_name"));
  board.manufacturer = U16(root.Text("/sys/class/dmi/id/board_vendor"));
  board.version = U16(root.Text("/sys/class/dmi/id/board_version"));
  int error = 0;
  const auto serial = root.Read("/sys/class/dmi/id/board_serial", &error);
  board.serialNumber = serial ? U16(Trim(*serial)) : std::u16string();
  if (!serial && (error == EACCES || error == EPERM)) {
    inventory.limits.push_back("the mainboard serial number is readable by root only: shown as unknown");
  }

  bool denied = false;
  for (const DmiStructure& processor : DmiEntries(root, 4, denied)) {
    if (const uint32_t clock = ExternalClockOf(processor)) {
      inventory.facts->hardware.cpu.extClockMHz = clock;
      break;
    }
  }
}

uint64_t OnlineMemoryBytes(const SysfsRoot& root) {
  // block_size_bytes is hexadecimal without the 0x.
  const uint64_t size = root.HexNumber("/sys/devices/system/memory/block_size_bytes").value_or(0);
  if (size == 0) return 0;
  // A block is a few hundred bytes of sysfs each, over a hundred of them on a notebook: each is
  // opened from the directory, not from the root, and read in one call.
  const std::string dir = root.Path("/sys/devices/system/memory");
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return 0;
  uint64_t total = 0;
  for (const std::string& block : root.List("/sys/devices/system/memory")) {
    if (!block.starts_with("memory")) continue;
    const int fd = ::openat(dirFd, (block + "/online").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    char state[8];
    const ssize_t n = ::read(fd, state, sizeof state);
    ::close(fd);
    if (n > 0 && Trim(std::string_view(state, static_cast<size_t>(n))) == "1") total += size;
  }
  ::close(dirFd);
  return total;
}

void ReadMemory(const SysfsRoot& root, Inventory& inventory) {
  Memory& memory = inventory.facts->hardware.memory;
  bool denied = false;
  for (const DmiStructure& entry : DmiEntries(root, 17, denied)) {
    const auto device = MemoryDeviceOf(entry);
    if (!device) continue;
    memory.modules.push_back({device->sizeMB, device->speedMHz, U16(device->locator), U16(device->partNumber),
                              U16(device->manufacturer)});
    memory.totalMB += device->sizeMB;
  }
  if (!memory.modules.empty()) return;
  if (denied) inventory.limits.push_back("memory module details are readable by root only: shown as one module");
  const uint64_t online = OnlineMemoryBytes(root);
  memory.totalMB = online != 0 ? online >> 20 : ParseMemTotalKiB(root.Read("/proc/meminfo").value_or("")) >> 10;
  if (memory.totalMB != 0) memory.modules.push_back({memory.totalMB, 0, {}, {}, {}});
}

// Disks are the block devices with a device behind them: partitions have a "partition" file,
// and loop, RAM, zram, device-mapper and md devices are virtual.
bool IsDisk(const SysfsRoot& root, const std::string& name) {
  static constexpr std::string_view kVirtual[] = {"loop", "ram", "zram", "dm-", "md", "nbd", "sr"};
  for (std::string_view prefix : kVirtual) {
    if (name.starts_with(prefix)) return false;
  }
  const std::string dir = "/sys/class/block/" + name;
  return !root.Exists(Join(dir, "partition")) && root.Exists(Join(dir, "device")) &&
         root.Number(Join(dir, "size")).value_or(0) != 0;
}

void ReadDisks(const SysfsRoot& root, PciNames& pci, Inventory& inventory) {
  for (const std::string& name : root.List("/sys/class/block")) {
    if (!IsDisk(root, name)) continue;
    const std::string dir = "/sys/class/block/" + name;
    BlockDisk block{name, {}, name.starts_with("nvme")};
    Disk disk;
    std::string model = root.Text(Join(dir, "device/model"));
    if (model.empty()) model = Identify(root, pci, dir).name;
    disk.caption = U16(model.empty() ? name : model);
    // NVMe controllers say firmware_rev; SCSI and SATA disks say rev.
    block.firmware = U16(root.Text(Join(dir, block.nvme ? "device/firmware_rev" : "device/rev")));
    disk.firmware = block.firmware;
    disk.capacityGB = root.Number(Join(dir, "size")).value_or(0) * 512 / 1000000000;  // sectors of 512 bytes
    disk.ssd = root.Text(Join(dir, "queue/rotational")) == "0";
    inventory.facts->hardware.disks.push_back(std::move(disk));
    inventory.disks.push_back(std::move(block));
  }
}

// Integrated graphics share the processor's memory. Intel's graphics and the virtual adapters
// of virtual machines count as internal; an AMD card is the processor's own when its video
// memory is the small carve-out an APU takes from system memory; the rest are independent.
bool IsInternalGraphics(uint16_t vendor, uint64_t videoMemoryBytes) {
  static constexpr uint16_t kIntegrated[] = {0x8086 /* Intel */, 0x1af4 /* virtio */, 0x1b36 /* QEMU */,
                                             0x1234 /* Bochs */, 0x15ad /* VMware */, 0x1013 /* Cirrus */,
                                             0x80ee /* VirtualBox */, 0x1414 /* Hyper-V */};
  constexpr uint16_t kAmd = 0x1002;
  constexpr uint64_t kLargestCarveOut = uint64_t{2} << 30;
  if (vendor == kAmd) return videoMemoryBytes < kLargestCarveOut;
  return std::find(std::begin(kIntegrated), std::end(kIntegrated), vendor) != std::end(kIntegrated);
}

bool IsCard(const std::string& name) {
  return name.starts_with("card") && name.size() > 4 && name.find('-') == std::string::npos;
}

void ReadMonitor(const SysfsRoot& root, Inventory& inventory) {
  // The notebook's own panel first, then any other connected output in name order.
  std::vector<std::string> connectors;
  for (const std::string& name : root.List("/sys/class/drm")) {
    if (name.starts_with("card") && name.find('-') != std::string::npos &&
        root.Text("/sys/class/drm/" + name + "/status") == "connected") {
      connectors.push_back(name);
    }
  }
  std::stable_partition(connectors.begin(), connectors.end(), [](const std::string& name) {
    return name.find("-eDP-") != std::string::npos || name.find("-LVDS-") != std::string::npos ||
           name.find("-DSI-") != std::string::npos;
  });
  for (const std::string& name : connectors) {
    const auto bytes = Bytes(root.Read("/sys/class/drm/" + name + "/edid"));
    const auto edid = ParseEdid(bytes);
    if (!edid) continue;
    Monitor& monitor = inventory.facts->hardware.video.monitor;
    monitor.caption = U16(!edid->monitorName.empty() ? edid->monitorName : edid->manufacturer + " " + Hex4(edid->productCode));
    if (edid->width != 0) monitor.resolution = U16(std::to_string(edid->width) + "*" + std::to_string(edid->height));
    monitor.refreshRate = edid->refreshHz;
    return;
  }
}

void ReadGraphics(const SysfsRoot& root, PciNames& pci, Inventory& inventory) {
  Video& video = inventory.facts->hardware.video;
  for (const std::string& name : root.List("/sys/class/drm")) {
    if (!IsCard(name)) continue;
    const std::string dir = "/sys/class/drm/" + name;
    const DeviceIdentity identity = Identify(root, pci, dir);
    const std::string driver = DriverOf(root, dir);
    inventory.graphicsDrivers.push_back(driver);
    const uint64_t videoMemory = root.Number(Join(dir, "device/mem_info_vram_total")).value_or(0);
    VideoCard& card = IsInternalGraphics(identity.vendor, videoMemory) ? video.internal : video.independent;
    if (!card.name.empty()) continue;  // the first card of each kind
    card.name = U16(identity.name.empty() ? name : identity.name);
    if (!driver.empty()) card.driverVersion = U16(driver + " " + DriverVersion(root, driver));
    card.memoryMB = static_cast<uint32_t>(videoMemory >> 20);
  }
  // A card without its driver has no DRM node, but it is there: shown from the PCI bus, with no
  // driver version.
  for (const PciDevice& device : PciDevicesOf(root, DeviceFamily::Graphics)) {
    if (!device.driver.empty()) continue;
    VideoCard& card = IsInternalGraphics(device.vendor, 0) ? video.internal : video.independent;
    if (!card.name.empty()) continue;
    const std::string name = pci.Device(device.vendor, device.device);
    card.name = U16(name.empty() ? device.address : name);
  }
  // CVideoCardDetect::CheckDevice answers 0 when there is a card to read.
  inventory.facts->videoDeviceReturn = inventory.graphicsDrivers.empty() ? 1 : 0;
  ReadMonitor(root, inventory);
}

void ReadAudio(const SysfsRoot& root, PciNames& pci, Inventory& inventory) {
  Audio& audio = inventory.facts->hardware.audio;
  for (const SoundCard& card : ParseSoundCards(root.Read("/proc/asound/cards").value_or(""))) {
    const DeviceIdentity identity = Identify(root, pci, "/sys/class/sound/card" + std::to_string(card.index));
    const std::string name = !card.name.empty() ? card.name : card.id;
    audio.devices.push_back({U16(name), U16(identity.manufacturer)});
    if (audio.name.empty()) audio.name = U16(name);
  }
}

NetInterface::Kind KindOf(const SysfsRoot& root, const std::string& dir, const std::string& driver) {
  const auto uevent = ParseUevent(root.Read(Join(dir, "uevent")).value_or(""));
  const auto devtype = uevent.find("DEVTYPE");
  if (root.Exists(Join(dir, "wireless")) || root.Exists(Join(dir, "phy80211")) ||
      (devtype != uevent.end() && devtype->second == "wlan")) {
    return NetInterface::Kind::Wireless;
  }
  static constexpr std::string_view kModemDrivers[] = {"cdc_mbim", "qmi_wwan", "mhi_net", "cdc_ether_wwan"};
  if ((devtype != uevent.end() && devtype->second == "wwan") ||
      std::find(std::begin(kModemDrivers), std::end(kModemDrivers), driver) != std::end(kModemDrivers)) {
    return NetInterface::Kind::Mobile;
  }
  return NetInterface::Kind::Wired;
}

void ReadNetwork(const SysfsRoot& root, PciNames& pci, Inventory& inventory) {
  Network& network = inventory.facts->hardware.network;
  for (const std::string& name : root.List("/sys/class/net")) {
    const std::string dir = "/sys/class/net/" + name;
    if (!root.Exists(Join(dir, "device"))) continue;  // lo, bridges, tunnels, containers' pairs
    const std::string driver = DriverOf(root, dir);
    const NetInterface::Kind kind = KindOf(root, dir, driver);
    inventory.interfaces.push_back({name, kind, driver});
    const DeviceIdentity identity = Identify(root, pci, dir);
    const std::u16string hardId = identity.hardId.empty() ? U16(name) : identity.hardId;
    NetworkAdapter& adapter = kind == NetInterface::Kind::Wireless ? network.wireless
                              : kind == NetInterface::Kind::Mobile ? network.mobile
                                                                   : network.wired;
    network.internalHardIds.push_back(hardId);
    adapter.hardIds.push_back(hardId);
    if (adapter.caption.empty()) {
      adapter.caption = U16(identity.name.empty() ? name : identity.name);
      adapter.manufacturer = U16(identity.manufacturer);
      adapter.driver = U16(driver);
    }
  }
  network.notSupportWireless = network.wireless.hardIds.empty();
}

// The system's batteries, not a wireless mouse's ("scope" Device). A notebook with a second
// battery is one battery to the library: both names, and the design capacity of the two together.
void ReadBatteries(const SysfsRoot& root, Inventory& inventory) {
  Battery& battery = inventory.facts->hardware.battery;
  for (const std::string& name : root.List("/sys/class/power_supply")) {
    const std::string dir = "/sys/class/power_supply/" + name;
    if (root.Text(Join(dir, "type")) != "Battery" || root.Text(Join(dir, "scope")) == "Device") continue;
    std::string model = root.Text(Join(dir, "model_name"));
    if (model.empty()) model = name;
    if (!battery.name.empty()) battery.name += u", ";
    battery.name += U16(model);
    // Energy is in µWh; a battery that counts charge (µAh) is converted at its design minimum voltage (µV).
    uint64_t designMWh = 0;
    if (const auto energy = root.Number(Join(dir, "energy_full_design"))) {
      designMWh = *energy / 1000;
    } else if (const auto charge = root.Number(Join(dir, "charge_full_design"))) {
      const uint64_t microvolts = root.Number(Join(dir, "voltage_min_design")).value_or(0);
      designMWh = *charge * microvolts / 1000000000;
    }
    battery.designCapacityMWh = static_cast<uint32_t>(std::min<uint64_t>(battery.designCapacityMWh + designMWh, UINT32_MAX));
    inventory.batteries.push_back(dir);
  }
}

// The built-in keyboard (i8042, bus 0x11) before any other.
void ReadKeyboard(const SysfsRoot& root, Inventory& inventory) {
  constexpr uint32_t kBusI8042 = 0x11;
  std::string found;
  for (const InputDevice& device : ParseInputDevices(root.Read("/proc/bus/input/devices").value_or(""))) {
    if (!IsKeyboard(device)) continue;
    if (device.bus == kBusI8042) {
      found = device.name;
      break;
    }
    if (found.empty()) found = device.name;
  }
  inventory.facts->hardware.keyboard.name = U16(found);
}

void ReadBluetooth(const SysfsRoot& root, PciNames& pci, Inventory& inventory) {
  Hardware& hardware = inventory.facts->hardware;
  for (const std::string& name : root.List("/sys/class/bluetooth")) {
    if (!name.starts_with("hci") || name.find(':') != std::string::npos) continue;  // hci0:11 is a connection
    const DeviceIdentity identity = Identify(root, pci, "/sys/class/bluetooth/" + name);
    hardware.bluetooth.name = U16(identity.name.empty() ? name : identity.name);
    hardware.bluetooth.manufacturer = U16(identity.manufacturer);
    hardware.hasBluetooth = true;
    break;
  }
  inventory.facts->flags["bluetooth.supported"] = hardware.hasBluetooth;
}

// USB defines no fingerprint class; readers are told by their makers' vendor ids (and, for
// makers who also build touch screens, their reader product range).
struct FingerprintVendor {
  uint16_t vendor;
  uint16_t productMask, productValue;
  std::string_view maker;
};
constexpr FingerprintVendor kFingerprintVendors[] = {
    {0x06cb, 0x0000, 0x0000, "Synaptics"},         {0x138a, 0x0000, 0x0000, "Validity Sensors"},
    {0x27c6, 0x0000, 0x0000, "Goodix"},            {0x04f3, 0xff00, 0x0c00, "ELAN Microelectronics"},
    {0x08ff, 0x0000, 0x0000, "AuthenTec"},         {0x147e, 0x0000, 0x0000, "UPEK"},
    {0x1c7a, 0x0000, 0x0000, "EgisTec"},           {0x2808, 0x0000, 0x0000, "FocalTech"},
    {0x10a5, 0x0000, 0x0000, "Fingerprint Cards"}, {0x298d, 0x0000, 0x0000, "Next Biometrics"},
};

void ReadFingerprint(const SysfsRoot& root, Inventory& inventory) {
  Hardware& hardware = inventory.facts->hardware;
  for (const std::string& name : root.List("/sys/bus/usb/devices")) {
    const std::string dir = "/sys/bus/usb/devices/" + name;
    if (name.find(':') != std::string::npos || !root.Exists(Join(dir, "idVendor"))) continue;  // interfaces
    const uint64_t vendor = root.HexNumber(Join(dir, "idVendor")).value_or(0);
    const uint64_t product = root.HexNumber(Join(dir, "idProduct")).value_or(0);
    for (const FingerprintVendor& known : kFingerprintVendors) {
      if (known.vendor != vendor || (product & known.productMask) != known.productValue) continue;
      const std::string productName = root.Text(Join(dir, "product"));
      const std::string maker = root.Text(Join(dir, "manufacturer"));
      hardware.biometric.name = U16(productName.empty() ? "Fingerprint reader" : productName);
      hardware.biometric.manufacturer = U16(maker.empty() ? known.maker : maker);
      hardware.hasBiometric = true;
      return;
    }
  }
}

}  // namespace

std::string LanguageOfLocale(const std::string& locale) {
  const std::string tag = locale.substr(0, locale.find_first_of(".@"));
  if (tag.size() < 2 || tag == "C" || tag == "POSIX") return "en-US";
  std::string language = tag;
  std::replace(language.begin(), language.end(), '_', '-');
  return language;
}

Inventory ReadInventory(const SysfsRoot& root) {
  Inventory inventory;
  inventory.facts = std::make_shared<Profile>();
  PciNames pci(root);
  ReadCpu(root, *inventory.facts);
  ReadBaseboard(root, inventory);
  ReadMemory(root, inventory);
  ReadDisks(root, pci, inventory);
  ReadGraphics(root, pci, inventory);
  ReadAudio(root, pci, inventory);
  ReadNetwork(root, pci, inventory);
  ReadBatteries(root, inventory);
  ReadKeyboard(root, inventory);
  ReadBluetooth(root, pci, inventory);
  ReadFingerprint(root, inventory);
  return inventory;
}

std::optional<double> BatteryHealthRatio(const SysfsRoot& root, const std::string& battery) {
  for (std::string_view counter : {"energy", "charge"}) {
    const auto full = root.Number(Join(battery, std::string(counter) + "_full"));
    const auto design = root.Number(Join(battery, std::string(counter) + "_full_design"));
    if (full && design && *design != 0) return static_cast<double>(*full) / static_cast<double>(*design);
  }
  return std::nullopt;
}

}  // namespace host::machine::linuxhost
