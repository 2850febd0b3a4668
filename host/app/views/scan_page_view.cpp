#include "app/views/scan_page_view.h"

namespace app {

ScanPageView ReadScanPage(const PageDriver& page) {
  ScanPageView view;
  view.firstTitle = page.Text(u"txtSysdiagnoseScanFirstTitle");
  view.secondTitle = page.Text(u"txtSysdiagnoseScanSecondTitle");
  view.ready = page.Shown(u"lytScanExecute");
  for (DuiLib::CControlUI* root : PageDriver::Children(page.Find(u"lstSysdiagnoseScanItems"))) {
    ScanItemView item;
    item.name = page.TextOf(page.Find(root, u"txtName"));
    item.summary = page.TextOf(page.Find(root, u"txtDescription"));
    item.choose = dynamic_cast<DuiLib::COptionUI*>(page.Find(root, u"optChoose"));
    item.ticked = item.choose != nullptr && item.choose->IsSelected();
    for (DuiLib::CControlUI* line : PageDriver::Children(page.Find(root, u"lytItems"))) {
      DuiLib::CControlUI* title = page.Find(line, u"txtTitle");
      if (title == nullptr) {
        item.rows.push_back({true, {}, {}});
      } else {
        item.rows.push_back({false, page.TextOf(title), page.TextOf(page.Find(line, u"txtContent"))});
      }
    }
    view.items.push_back(std::move(item));
  }
  return view;
}

}  // namespace app
