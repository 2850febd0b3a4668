#include "app/views/history_page_view.h"

#include "DuiLib/UIOption.h"
#include "platform/encoding.h"

namespace app {
namespace {

constexpr int kMaxDays = 12;
constexpr DWORD kAbnormalColour = 0xFFFA2A2D;

std::string StateOf(const DuiLib::CControlUI* mark) {
  if (mark == nullptr) return {};
  if (mark->GetBkImage().empty()) return "not diagnosed";
  return mark->GetBkColor() == kAbnormalColour ? "abnormal" : "normal";
}

}  // namespace

HistoryPageView ReadHistoryPage(const PageDriver& page) {
  HistoryPageView view;
  view.subtitle = page.Text(u"txtSysdiagnoseArchievementSecondTitle");
  for (int k = 0; k < kMaxDays; ++k) {
    const std::u16string suffix = platform::Utf8ToUtf16(std::to_string(k));
    auto* bar = dynamic_cast<DuiLib::COptionUI*>(page.Find(u"optSysdiagnoseDateItem" + suffix));
    // A bar that takes no mouse input is an empty one: no run that day.
    if (bar == nullptr || !bar->IsMouseEnabled()) continue;
    view.days.push_back({page.Text(u"txt_hardware_his" + suffix), bar, bar->IsSelected()});
  }
  view.shownDate = page.Text(u"txtSysdiagnoseDetailDate");
  view.normal = page.Text(u"txtSysdiagnoseNormalNum");
  view.abnormal = page.Text(u"txtSysdiagnoseAbnormalNum");
  for (DuiLib::CControlUI* line : PageDriver::Children(page.Find(u"lytSysdiagnoseDetail"))) {
    view.categories.push_back({page.TextOf(page.Find(line, u"txtName")),
                               page.TextOf(page.Find(line, u"txtDescription")),
                               StateOf(page.Find(line, u"ctlStatus"))});
  }
  return view;
}

}  // namespace app
