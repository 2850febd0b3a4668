#pragma once
// The status icon of the scan and detect items, an animation panel with numbered looks:
// 1 check box, 2 busy animation, 3 passed, 4 animation stopped only, 5 abnormal, 6 empty,
// 7 restart needed, 8 shutdown needed. A null control or another number changes nothing.
namespace DuiLib {
class CAnimPanelUI;
}

namespace zel::sysdiagnose {

void SetStatusIcon(DuiLib::CAnimPanelUI* control, int status);

}  // namespace zel::sysdiagnose
