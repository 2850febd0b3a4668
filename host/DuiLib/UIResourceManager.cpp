#include "DuiLib/UIResourceManager.h"

#include <cstdint>

#include "utility/SystemInfo.h"

namespace DuiLib {

CResourceManager* CResourceManager::GetInstance() {
  static CResourceManager instance;
  return &instance;
}

int CResourceManager::GetDPI() {
  const uint32_t dpi = SystemInfo::GetSystemDPI();
  return dpi == 0 ? 96 : static_cast<int>(dpi);
}

int CResourceManager::Scale(int value) {
  const int dpi = GetDPI();
  if (dpi == 96) return value;
  const int64_t scaled = static_cast<int64_t>(value) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + 48) / 96 : (scaled - 48) / 96);
}

}  // namespace DuiLib
