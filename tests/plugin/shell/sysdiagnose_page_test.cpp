// SysdiagnosePage: building a page and routing its controls' notifications to it.
#include "shell/sysdiagnose_page.h"

#include <gtest/gtest.h>

#include "DuiLib/UITabLayout.h"
#include "support/page_window.h"

namespace {

using namespace DuiLib;
using namespace std::chrono_literals;
using zel::sysdiagnose::PageInfo;
using zel::sysdiagnose::SysdiagnosePage;

// A page that records which of its handlers ran, for which control.
class RecordingPage : public SysdiagnosePage {
 public:
  using SysdiagnosePage::SysdiagnosePage;
  void OnClick(TNotifyUI& msg) override { Record("click", msg); }
  void OnTimer(TNotifyUI& msg) override { Record("timer " + std::to_string(msg.wParam), msg); }
  void OnTabSelect(TNotifyUI& msg) override { Record("tab", msg); }
  void OnSelectChanged(TNotifyUI& msg) override { Record("select", msg); }
  void OnLink(TNotifyUI& msg) override { Record("link", msg); }
  void Init() override { seen.push_back("init"); }
  std::vector<std::string> seen;

 private:
  void Record(const std::string& what, TNotifyUI& msg) {
    seen.push_back(what + " " + platform::Utf16ToUtf8(msg.pSender->GetName()));
  }
};

constexpr PageInfo kScanLike{u"TestPageScan", uR"(<VerticalLayout name="scanRoot">
    <List name="list"/><Option name="pick"/><Button name="go"/>
    <Text name="title" showhtml="true" text="{a}logs{/a}"/></VerticalLayout>)"};
constexpr PageInfo kOther{u"TestPageOther", u"<VerticalLayout name='otherRoot'><Button name='go'/></VerticalLayout>"};

class SysdiagnosePageTest : public ::testing::Test {
 protected:
  SysdiagnosePageTest() {
    w.manager.AddNotifier(&host);
    tabs = w.Find<CTabLayoutUI>(u"tabs");
    for (RecordingPage* page : {&scan, &other}) {
      page->Create(&w.manager, &host);
      if (page->GetRoot()) tabs->Add(page->GetRoot());
      page->Init();
    }
  }

  testenv::UiWindow w{uR"(<Window size="400,300"><TabLayout name="tabs"/></Window>)"};
  testenv::HostPump host;
  CTabLayoutUI* tabs = nullptr;
  RecordingPage scan{kScanLike};
  RecordingPage other{kOther};
};

TEST_F(SysdiagnosePageTest, EachPageHearsItsOwnControlsThroughItsHandlers) {
  tabs->SelectItem(1);
  w.driver.Click(w.manager.FindSubControlByName(other.GetRoot(), u"go"));
  tabs->SelectItem(0);
  w.driver.Click(w.manager.FindSubControlByName(scan.GetRoot(), u"go"));
  w.driver.Click(u"pick");
  w.driver.FollowLink(w.Find(u"title"));
  w.manager.SetTimer(w.Find(u"list"), 4003, 20);
  w.driver.Advance(40ms);

  EXPECT_EQ(scan.seen, (std::vector<std::string>{"init", "tab scanRoot", "click go", "click pick", "select pick",
                                                 "link title", "timer 4003 list", "timer 4003 list"}));
  EXPECT_EQ(other.seen, (std::vector<std::string>{"init", "tab otherRoot", "click go"}));
  EXPECT_EQ(scan.GetRoot()->GetVirtualWnd(), u"TestPageScan");
  EXPECT_EQ(host.GetVirtualWnd(u"TestPageScan"), &scan);
}

TEST(SysdiagnosePageCreate, APageIsRegisteredUnderItsNameOnlyWhenItsLayoutBuilds) {
  std::vector<std::pair<PageInfo, bool>> cases{{{u"Broken", u"layout\\no_such_page.xml"}, false},
                                               {{u"Broken", u"<Unclosed>"}, false}};
  for (const PageInfo& info : zel::sysdiagnose::kPageInfos) cases.push_back({info, true});
  for (const auto& [info, builds] : cases) {
    SCOPED_TRACE(platform::Utf16ToUtf8(info.layout));
    testenv::HostPump host;
    CPaintManagerUI manager;
    SysdiagnosePage page(info);
    page.Create(&manager, &host);
    ASSERT_EQ(page.GetRoot() != nullptr, builds);
    EXPECT_EQ(host.GetVirtualWnd(std::u16string(info.name)), builds ? &page : nullptr);
    if (builds) manager.AttachDialog(page.GetRoot());
  }
}

}  // namespace
