#pragma once
// The process-wide catalogue: the category list read from the catalogue file and the presentation
// data of every category. Built on first use; a detached thread then fills the model names.
// `items` never changes after the build; model names and summaries are written and copied under
// a lock, so use GetUIInfo / UIInfosCopy rather than touching the map while the fill runs.
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "model/records.h"

namespace zel::sysdiagnose {

class HardwareCatalog {
 public:
  HardwareCatalog(const HardwareCatalog&) = delete;
  HardwareCatalog& operator=(const HardwareCatalog&) = delete;

  // The catalogue list, file order after filtering.
  const std::vector<tagDetectItem>& Items() const { return items_; }

  // Copies the entry of `id` (all nine fields); false when there is none.
  bool GetUIInfo(int32_t id, tagXmlUIInfo& out) const;
  // A copy of the whole presentation map.
  std::map<int32_t, tagXmlUIInfo> UIInfosCopy() const;
  // Re-reads the model name and summary of one category (0..11; other ids: nothing).
  void RefreshModelName(int32_t id);
  // The entries of the catalogue list, in catalogue order, handed to `callback` once.
  void GetCatalogUIInfos(const std::function<void(const std::vector<tagXmlUIInfo>&)>& callback) const;

 private:
  friend HardwareCatalog& GetHardwareCatalog();
  HardwareCatalog();
  // Starts the detached thread that fills every category's model name and summary.
  void StartModelNameFill();

  std::vector<tagDetectItem> items_;
  mutable std::mutex uiLock_;
  std::map<int32_t, tagXmlUIInfo> uiInfos_;
};

// The singleton, built on the first call.
HardwareCatalog& GetHardwareCatalog();

}  // namespace zel::sysdiagnose
