#pragma once
// The twelve hardware categories, one table for every side that names them: the plug-in's
// catalogue (icon and string-table key of the name the pages show), the health-check rows the
// host reads off the bus (a row's icon tells its category in every language), the host's command
// line (the words a user may type) and its JSON (the key). Presentation order: processor first.
#include <array>
#include <cstdint>
#include <string_view>

namespace doctor {

struct HardwareCategory {
  int32_t id;                              // enmHardwareID
  std::string_view key;                    // in JSON and in the monitoring outputs
  std::array<std::string_view, 3> words;   // on the command line, the first listed first; "" unused
  std::string_view iconBase;               // "ram": drawable/hardware/ic_ram42.png
  std::string_view nameKey;                // the string-table key of the name the pages show
  std::string_view checkPrefix;            // the machine's checks of it begin so; "": it has none
};

inline constexpr HardwareCategory kHardwareCategories[] = {
    {4, "processor", {"cpu", "processor"}, "cpu", "IDS_HARDWARE_DETECT_CPU", "cpu."},
    {1, "mainboard", {"mainboard"}, "motherboard", "IDS_HARDWARE_DETECT_MOT", ""},
    {5, "memory", {"memory"}, "ram", "IDS_HARDWARE_DETECT_MEM", "memory."},
    {6, "disks", {"disk", "disks", "storage"}, "harddisk", "IDS_HARDWARE_DETECT_DISK", "disks"},
    {7, "graphics", {"gpu", "graphics"}, "video", "IDS_HARDWARE_DETECT_GPU", "video."},
    {8, "display", {"display"}, "monitor", "IDS_HARDWARE_DETECT_DISPLAY", ""},
    {0, "audio", {"audio"}, "sound", "IDS_HARDWARE_DETECT_AUDIO", "audio."},
    {3, "network", {"network"}, "network", "IDS_HARDWARE_DETECT_NETCARD", "wifi."},
    {9, "battery", {"battery"}, "battery", "IDS_HARDWARE_DETECT_BATTERY", "battery."},
    {10, "keyboard", {"keyboard"}, "keyboard", "IDS_HARDWARE_DETECT_KEYBOARD", "keyboard."},
    {2, "bluetooth", {"bluetooth"}, "bt", "IDS_HARDWARE_DETECT_BT", "bluetooth."},
    {11, "fingerprint", {"fingerprint"}, "fp", "IDS_HARDWARE_DETECT_FP", "biometric."},
};

// The category of an id, null when none.
constexpr const HardwareCategory* HardwareCategoryOf(int32_t id) {
  for (const HardwareCategory& category : kHardwareCategories) {
    if (category.id == id) return &category;
  }
  return nullptr;
}

}  // namespace doctor
