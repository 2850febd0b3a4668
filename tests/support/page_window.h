#pragma once
// A page in a window as the page host puts it there: the index layout's tab layout holds the
// page's root, the window's pump hands the page its notifications, and Init has run. The page
// goes before the window.
#include <gtest/gtest.h>

#include "DuiLib/UINotifyPump.h"
#include "DuiLib/UITabLayout.h"
#include "support/ui_window.h"

namespace testenv {

class HostPump : public DuiLib::CNotifyPump, public DuiLib::INotifyUI {
 public:
  void Notify(DuiLib::TNotifyUI& msg) override { NotifyPump(msg); }
};

template <class Page>
class PageWindow {
 public:
  // `init` false leaves the page as a host that never calls Init would.
  explicit PageWindow(bool init = true) {
    window.manager.AddNotifier(&pump);
    page.Create(&window.manager, &pump);
    auto* tabs = window.Find<DuiLib::CTabLayoutUI>(u"tblSysdiagnoseContent");
    EXPECT_NE(page.GetRoot(), nullptr);
    if (tabs && page.GetRoot()) tabs->Add(page.GetRoot());
    if (init) page.Init();
  }

  template <class T = DuiLib::CControlUI>
  T* Find(std::u16string_view name) {
    return window.Find<T>(name);
  }

  UiWindow window{u"layout\\sysdiagnose_index.xml"};
  HostPump pump;
  Page page;
};

}  // namespace testenv
