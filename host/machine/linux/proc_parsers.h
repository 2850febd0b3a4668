#pragma once
// Parsers of the kernel's text files, each over the text of one recorded file.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace host::machine::linuxhost {

// /proc/cpuinfo
struct CpuInfo {
  std::string model;   // "model name"
  std::string vendor;  // "vendor_id"
  uint32_t cores = 0, threads = 0;
  uint32_t mhz = 0;             // "cpu MHz" of the first processor, rounded; 0 when absent
  std::set<std::string> flags;  // of the first processor
};
CpuInfo ParseCpuInfo(std::string_view text);

// /proc/meminfo: MemTotal in KiB, 0 when absent.
uint64_t ParseMemTotalKiB(std::string_view text);

// /proc/asound/cards
struct SoundCard {
  uint32_t index = 0;
  std::string id, driver, name, longName;
};
std::vector<SoundCard> ParseSoundCards(std::string_view text);

// /proc/asound/pcm: "00-03: HDMI 0 : HDMI 0 : playback 1"
struct PcmDevice {
  uint32_t card = 0;
  bool playback = false, capture = false;
};
std::vector<PcmDevice> ParsePcmDevices(std::string_view text);

// /proc/bus/input/devices
struct InputDevice {
  std::string name;
  uint32_t bus = 0;
  std::string handlers;
  uint64_t events = 0;          // the EV bitmap
  std::vector<uint64_t> keys;   // the KEY bitmap, lowest word first
};
std::vector<InputDevice> ParseInputDevices(std::string_view text);
// Whether the device reports the key (a KEY_* code of <linux/input-event-codes.h>).
bool ReportsKey(const InputDevice& device, uint32_t code);
// A typing keyboard: repeating keys with the letter and digit rows, not a power button or a
// remote control that also sends keys.
bool IsKeyboard(const InputDevice& device);

// /proc/net/wireless: the signal level in dBm per interface that reports one.
std::map<std::string, int32_t> ParseWirelessLevels(std::string_view text);

// A uevent file: KEY=value lines.
std::map<std::string, std::string> ParseUevent(std::string_view text);

// A cpu list ("0-3,8,10-11") as its processor numbers.
std::vector<uint32_t> ParseCpuList(std::string_view text);

// A cache size ("48K", "1024K", "32M") in KiB.
uint64_t ParseCacheSizeKiB(std::string_view text);

}  // namespace host::machine::linuxhost
