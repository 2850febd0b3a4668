#include "shell/status_icon.h"

#include <optional>
#include <string_view>

#include "DuiLib/UIAnimPanel.h"

namespace zel::sysdiagnose {
namespace {

enum class Mouse { Unchanged, On, Off };

struct StatusLook {
  int status;
  Mouse mouse;
  std::optional<std::u16string_view> backgroundImage;  // nullopt: left as it is; empty: cleared
  int size;                                            // 0: left as it is
};

// Looks 1, 2 and 6 have more to them than these columns; see Apply.
constexpr StatusLook kLooks[] = {
    {1, Mouse::On, u"", 20},
    {2, Mouse::Off, std::nullopt, 20},
    {3, Mouse::Off, u"file='drawable/hardware/ico_right.png'", 18},
    {4, Mouse::Unchanged, std::nullopt, 0},
    {5, Mouse::Off, u"file='drawable/hardware/ic_unusual.png'", 20},
    {6, Mouse::On, u"", 20},
    {7, Mouse::Off, u"file='drawable/hardware/ic_restart.png'", 20},
    {8, Mouse::Off, u"file='drawable/hardware/ic_turnoff.png'", 20},
};

constexpr std::u16string_view kCheckOff = u"file='drawable/hardware/ic_check_off.png'";
constexpr std::u16string_view kCheckOn = u"file='drawable/hardware/ic_check_on.png'";
constexpr std::u16string_view kLoading = u"file='drawable/hardware/Loading/loading_.png'";

void Apply(DuiLib::CAnimPanelUI& icon, const StatusLook& look) {
  if (look.mouse != Mouse::Unchanged) icon.SetMouseEnabled(look.mouse == Mouse::On);
  switch (look.status) {
    case 1:
      icon.SetNormalImage(kCheckOff);
      icon.SetSelectedImage(kCheckOn);
      icon.Selected(true, true);
      break;
    case 2:
      icon.SetNormalImage(u"");
      icon.SetFrameImage(kLoading);
      icon.SetFirstFrame(1);
      icon.SetLastFrame(30);
      icon.SetLoop(true);
      icon.SetElapse(20);
      icon.Play();
      break;
    case 6:
      icon.SetNormalImage(u"");
      icon.SetSelectedImage(u"");
      break;
    default:
      break;
  }
  if (look.backgroundImage) icon.SetBkImage(*look.backgroundImage);
  if (look.size > 0) {
    icon.SetFixedWidth(look.size);
    icon.SetFixedHeight(look.size);
  }
}

}  // namespace

void SetStatusIcon(DuiLib::CAnimPanelUI* control, int status) {
  if (!control) return;
  for (const StatusLook& look : kLooks) {
    if (look.status != status) continue;
    control->Stop();
    Apply(*control, look);
    return;
  }
}

}  // namespace zel::sysdiagnose
