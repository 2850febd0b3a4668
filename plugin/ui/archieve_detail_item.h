#pragma once
// ArchieveDetailItem: one category line of the history page, built from
// "layout\sysdiagnose_archievement_detail.xml": icon, name, model, and the round mark of the
// category's state in the shown run. The controls belong to the container; UI thread.
#include <cstdint>

#include "DuiLib/UIContainer.h"
#include "model/records.h"

namespace zel::sysdiagnose {

struct ArchieveDetailItem {
  // A category's state in a run, as GetHardwareState gives it.
  enum State { kNotDiagnosed = 0, kNormal = 1, kAbnormal = 2 };

  // Builds a line at the end of `container`; false, with nothing built, when it cannot.
  bool Create(DuiLib::CContainerUI* container);
  // Icon, name (with the whole name as tooltip when it does not fit) and model of a category.
  void Show(const tagXmlUIInfo& info);
  void ShowState(State state);

  DuiLib::CControlUI* root = nullptr;
  DuiLib::CControlUI* icon = nullptr;         // "ctlIcon"
  DuiLib::CControlUI* name = nullptr;         // "txtName"
  DuiLib::CControlUI* description = nullptr;  // "txtDescription"
  DuiLib::CControlUI* status = nullptr;       // "ctlStatus"
  int32_t category = -1;
};

// The state of `category` in `run`: normal for 0, abnormal from 1 up, not diagnosed below 0; a
// number that is not a category counts as normal.
ArchieveDetailItem::State GetHardwareState(int32_t category, const tagQueryDataItem& run);

}  // namespace zel::sysdiagnose
