#pragma once
// ArchieveDateItem: one bar of the history page's day row, built from
// "layout\sysdiagnose_archievement_date.xml": the bar itself (an option of the day-bar group), a
// button over the whole column that picks the same day, and a label. Item k names its option
// "optSysdiagnoseDateItem<k>" (user data k) and its button "btnSysdiagnoseDateItem<k>" (user data
// the option's name). A real bar stands for the latest run of one day; an empty bar is fully
// transparent and ignores the mouse. The controls belong to the container; UI thread.
#include <cstdint>

#include "DuiLib/UIButton.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UIOption.h"

namespace zel::sysdiagnose {

struct ArchieveDateItem {
  static constexpr int kMinBarHeight = 5;

  // Builds item `index` at the end of `container`; false, with nothing built, when it cannot.
  bool Create(DuiLib::CContainerUI* container, int index);
  // The colours of a real or an empty bar, and whether the bar takes mouse input.
  void SetReal(bool real);
  void SetLeftGap(int gap);

  DuiLib::CControlUI* root = nullptr;
  DuiLib::COptionUI* option = nullptr;  // "opt_hardware_his"
  DuiLib::CButtonUI* button = nullptr;  // "btn_hardware_his"
  DuiLib::CControlUI* label = nullptr;  // "txt_hardware_his"
  int barHeight = kMinBarHeight;        // 96-DPI units
  int32_t secondTime = 0;
  int32_t normalCount = 0;
};

}  // namespace zel::sysdiagnose
