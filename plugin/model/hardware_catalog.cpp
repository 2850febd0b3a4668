#include "model/hardware_catalog.h"

#include <exception>
#include <iterator>
#include <string>
#include <thread>

#include "DuiLib/UICulture.h"
#include "IPCMessage/HardwareCategories.h"
#include "hardware/hardware_details.h"
#include "model/xml_helper.h"
#include "utility/Logger.h"

namespace zel::sysdiagnose {

namespace {

constexpr const char* kSourceTag = "zel_model_catalog";

static_assert(std::size(doctor::kHardwareCategories) == kHardwareCategoryCount);

// The slow queries run in this order in the background, Bluetooth and fingerprint last.
constexpr enmHardwareID kModelNameFillOrder[] = {
    HARDWARE_AUDIO,   HARDWARE_MAINBOARD, HARDWARE_NETCARD, HARDWARE_CPU,
    HARDWARE_MEMORY,  HARDWARE_DISK,      HARDWARE_GPU,     HARDWARE_DISPLAY,
    HARDWARE_BATTERY, HARDWARE_KEYBOARD,  HARDWARE_BLUETOOTH, HARDWARE_FINGERPRINT,
};

std::u16string Icon42(const std::u16string& base, const char16_t* dest) {
  return u"file='drawable/hardware/ic_" + base + u"42.png' source='0,0,42,42' dest='" + dest + u"'";
}

// The table's names are ASCII.
std::u16string Wide(std::string_view ascii) { return std::u16string(ascii.begin(), ascii.end()); }

tagXmlUIInfo MakeUIInfo(const doctor::HardwareCategory& category) {
  const std::u16string base = Wide(category.iconBase);
  const std::u16string name = UICulture::GetInstance().GetString(Wide(category.nameKey));
  tagXmlUIInfo info;
  info.id = category.id;
  info.iconSmall = Icon42(base, u"3,3,17,17");
  info.iconMiddle = Icon42(base, u"5,5,19,19");
  info.name = name;
  info.icon30 = u"file='drawable/hardware/ic_" + base + u"30.png'";
  info.detectName = name;
  info.iconLarge = Icon42(base, u"10,10,38,38");
  return info;
}

std::u16string SummaryOf(int32_t id, const std::u16string& modelName) {
  switch (id) {
    case HARDWARE_MEMORY: {
      const std::string gigabytes = std::to_string(QueryTotalMemoryGB());
      return std::u16string(gigabytes.begin(), gigabytes.end()) + u"GB";
    }
    case HARDWARE_DISK: return QueryDiskCapacitySummary();
    default: return modelName;
  }
}

}  // namespace

HardwareCatalog::HardwareCatalog() {
  XmlHelper("config\\SysdiagnoseList.xml").GetDetectItems(items_);
  for (const auto& category : doctor::kHardwareCategories) uiInfos_[category.id] = MakeUIInfo(category);
  StartModelNameFill();
}

void HardwareCatalog::StartModelNameFill() {
  try {
    std::thread([this] {
      try {
        for (const auto id : kModelNameFillOrder) RefreshModelName(id);
      } catch (const std::exception& error) {
        hostlog::Error(std::string("model-name fill stopped: ") + error.what(),
                       "zel::sysdiagnose::HardwareCatalog::StartModelNameFill", kSourceTag, __LINE__,
                       __PRETTY_FUNCTION__);
      }
    }).detach();
  } catch (const std::exception& error) {
    // Without the thread the names still come, one by one, from RefreshModelName.
    hostlog::Error(std::string("cannot start the model-name fill: ") + error.what(),
                   "zel::sysdiagnose::HardwareCatalog::StartModelNameFill", kSourceTag, __LINE__,
                   __PRETTY_FUNCTION__);
  }
}

bool HardwareCatalog::GetUIInfo(int32_t id, tagXmlUIInfo& out) const {
  std::lock_guard lock(uiLock_);
  const auto it = uiInfos_.find(id);
  if (it == uiInfos_.end()) return false;
  out = it->second;
  return true;
}

std::map<int32_t, tagXmlUIInfo> HardwareCatalog::UIInfosCopy() const {
  std::lock_guard lock(uiLock_);
  return uiInfos_;
}

void HardwareCatalog::RefreshModelName(int32_t id) {
  if (!IsHardwareCategory(id)) return;
  // The queries are slow: ask first, then hold the lock only for the write.
  std::u16string modelName = QueryModelName(id);
  std::u16string summary = SummaryOf(id, modelName);
  std::lock_guard lock(uiLock_);
  tagXmlUIInfo& info = uiInfos_[id];
  info.id = id;
  info.modelName = std::move(modelName);
  info.summary = std::move(summary);
}

void HardwareCatalog::GetCatalogUIInfos(
    const std::function<void(const std::vector<tagXmlUIInfo>&)>& callback) const {
  std::vector<tagXmlUIInfo> infos;
  {
    std::lock_guard lock(uiLock_);
    for (const auto& item : items_) {
      const auto it = uiInfos_.find(item.id);
      if (it != uiInfos_.end()) infos.push_back(it->second);
    }
  }
  if (callback) callback(infos);
}

HardwareCatalog& GetHardwareCatalog() {
  // Deliberately never destroyed: the detached model-name fill holds `this` and nobody joins it,
  // so at process exit it may still be writing. A catalogue that outlives every thread is the
  // only way it can never touch a destroyed object.
  static HardwareCatalog* const instance = new HardwareCatalog();
  return *instance;
}

}  // namespace zel::sysdiagnose
