#include "diagnose/fault_detectors.h"

#include <array>

#include "DuiLib/UICulture.h"

namespace zel::sysdiagnose {
namespace {

// Key of code -8 first, -1 last.
constexpr std::array<const char16_t*, 8> kErrorCodeKeys = {
    u"IDS_HARDWARE_DIAGNOSE_FN_OPEN",         u"IDS_HARDWARE_DIAGNOSE_ERROR_HOTKEY",
    u"IDS_HARDWARE_DIAGNOSE_FILTER_OPEN",     u"IDS_HARDWARE_DIAGNOSE_LOG_ERROR",
    u"IDS_HARDWARE_DIAGNOSE_BATTERY_LOWVOLT", u"IDS_HARDWARE_DIAGNOSE_WIFI_WARN",
    u"IDS_HARDWARE_DIAGNOSE_BATTERY_UNKNOWN", u"IDS_HARDWARE_DIAGNOSE_CHECK_DRIVE",
};

}  // namespace

std::u16string GetErrorCodeText(int32_t code) {
  if (code < -8 || code > -1) return {};
  return UICulture::GetInstance().GetString(kErrorCodeKeys[static_cast<size_t>(code + 8)]);
}

}  // namespace zel::sysdiagnose
