// Notifications: who receives them, in which order, through message maps and subscriptions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DuiLib/UINotifyPump.h"
#include "DuiLib/UIOption.h"
#include "DuiLib/UITabLayout.h"
#include "support/ui_window.h"

namespace {

using namespace DuiLib;
using testenv::UiWindow;

std::string U8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

// A page with a map of its own over a base map, recording what its handlers see.
class BasePage : public CNotifyPump {
  DUI_DECLARE_MESSAGE_MAP()

 public:
  virtual void OnClick(TNotifyUI& msg) { seen.push_back("base click " + U8(msg.pSender->GetName())); }
  void OnTimer(TNotifyUI& msg) { seen.push_back("base timer " + std::to_string(msg.wParam)); }
  std::vector<std::string> seen;
};

DUI_BEGIN_MESSAGE_MAP(BasePage, CNotifyPump)
  DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, BasePage::OnClick)
  DUI_ON_MSGTYPE(DUI_MSGTYPE_TIMER, BasePage::OnTimer)
DUI_END_MESSAGE_MAP()

class DerivedPage : public BasePage {
  DUI_DECLARE_MESSAGE_MAP()

 public:
  void OnClick(TNotifyUI& msg) override { seen.push_back("derived click " + U8(msg.pSender->GetName())); }
  void OnOk(TNotifyUI&) { seen.push_back("derived ok"); }
};

DUI_BEGIN_MESSAGE_MAP(DerivedPage, BasePage)
  DUI_ON_MSGTYPE_CTRNAME(DUI_MSGTYPE_CLICK, u"ok", DerivedPage::OnOk)
DUI_END_MESSAGE_MAP()

// The host window's pump: notifications of the manager go through NotifyPump.
class HostWindow : public CNotifyPump, public INotifyUI {
  DUI_DECLARE_MESSAGE_MAP()

 public:
  void Notify(TNotifyUI& msg) override { NotifyPump(msg); }
  void OnAnyClick(TNotifyUI& msg) { seen.push_back("host click " + U8(msg.pSender->GetName())); }
  std::vector<std::string> seen;
};

DUI_BEGIN_MESSAGE_MAP(HostWindow, CNotifyPump)
  DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, HostWindow::OnAnyClick)
DUI_END_MESSAGE_MAP()

class NotificationsTest : public ::testing::Test {
 protected:
  NotificationsTest() {
    w.manager.AddNotifier(&host);
    w.Find(u"pageA")->SetVirtualWnd(u"PageA");
    w.Find(u"pageB")->SetVirtualWnd(u"PageB");
    host.AddVirtualWnd(u"PageA", &a);
    host.AddVirtualWnd(u"pagea", &b);  // names are compared without case: refused
    host.AddVirtualWnd(u"PageB", &b);
  }

  UiWindow w{uR"(<Window size="400,300"><VerticalLayout>
      <VerticalLayout name="pageA"><Button name="go"/><Button name="ok"/><Control name="clock"/></VerticalLayout>
      <VerticalLayout name="pageB"><HorizontalLayout><Button name="go2"/></HorizontalLayout></VerticalLayout>
      <Button name="outside"/></VerticalLayout></Window>)"};
  HostWindow host;
  BasePage a;
  DerivedPage b;
};

TEST_F(NotificationsTest, EachPageGetsTheNotificationsOfItsOwnControls) {
  w.driver.Click(u"go");
  w.driver.Click(u"go2");
  w.driver.Click(u"outside");

  EXPECT_EQ(a.seen, (std::vector<std::string>{"base click go"}));
  EXPECT_EQ(b.seen, (std::vector<std::string>{"derived click go2"}));
  EXPECT_EQ(host.seen, (std::vector<std::string>{"host click outside"}));
}

TEST_F(NotificationsTest, ByNameEntriesWinChainedMapsAnswerTheRestAndUnansweredOnesFallToTheHost) {
  w.Find(u"go2")->SetName(u"ok");
  w.driver.Click(w.manager.FindSubControlByName(w.Find(u"pageB"), u"ok"));
  w.manager.SendNotify(w.Find(u"pageB"), DUI_MSGTYPE_TIMER, 4003);  // only the base map of b has a timer entry
  w.manager.SendNotify(w.Find(u"pageB"), DUI_MSGTYPE_LINK);  // no map of b has one: the host's own map is asked

  EXPECT_EQ(b.seen, (std::vector<std::string>{"derived ok", "base timer 4003"}));
  EXPECT_TRUE(host.seen.empty());
  EXPECT_EQ(w.recorder.seen.back(), "link:pageB:0");
}

class Subscriber {
 public:
  bool OnFirst(TNotifyUI& msg) {
    seen.push_back("first " + U8(msg.sType));
    return true;
  }
  bool OnSecond(TNotifyUI& msg) {
    seen.push_back("second " + U8(msg.sType));
    return true;
  }
  std::vector<std::string> seen;
};

TEST_F(NotificationsTest, SubscribersOfTheSenderHearItBeforeTheWindow) {
  Subscriber s;
  CControlUI* go = w.Find(u"go");
  go->OnNotify += MakeDelegate(&s, &Subscriber::OnFirst);
  go->OnNotify += MakeDelegate(&s, &Subscriber::OnSecond);
  w.driver.MouseEnter(go);
  go->OnNotify -= MakeDelegate(&s, &Subscriber::OnFirst);
  w.driver.Click(go);

  EXPECT_EQ(s.seen, (std::vector<std::string>{"first mouseenter", "second mouseenter", "second click"}));
  EXPECT_EQ(w.recorder.seen, (std::vector<std::string>{"mouseenter:go", "click:go"}));
}

TEST(TabSelection, OnlyTheSelectedPageShowsAndTheIncomingPageAnnouncesItselfOnce) {
  UiWindow w(uR"(<Window size="300,200"><TabLayout name="tabs" inset="4,4,4,4">
      <Control name="p0"/><Control name="p1"/><Control name="p2"/></TabLayout></Window>)");
  auto* tabs = w.Find<CTabLayoutUI>(u"tabs");
  EXPECT_EQ(tabs->GetCurSel(), 0);
  EXPECT_FALSE(w.Find(u"p1")->IsVisible());
  tabs->SelectItem(2);
  tabs->SelectItem(2);
  tabs->SelectItem(0, false);
  tabs->SelectItem(1);
  EXPECT_FALSE(tabs->SelectItem(3));

  EXPECT_EQ(w.recorder.seen, (std::vector<std::string>{"tabselectin:p2:2", "tabselectin:p1:1"}));
  EXPECT_EQ(tabs->GetCurSel(), 1);
  EXPECT_FALSE(w.Find(u"p0")->IsVisible());
  EXPECT_EQ(w.Find(u"p1")->GetPos(), (RECT{4, 4, 296, 196}));
}

TEST(OptionGroups, SelectingOneDeselectsTheOthersOfItsGroupFirst) {
  UiWindow w(uR"(<Window size="300,200"><VerticalLayout>
      <Option name="a" group="days" selected="true"/><Option name="b" group="days"/>
      <Option name="other" group="else" selected="true"/><Option name="check"/></VerticalLayout></Window>)");
  w.driver.Click(u"b");
  w.driver.Click(u"b");  // already selected: clicking again keeps it
  w.driver.Click(u"check");
  w.driver.Click(u"check");
  w.Find<COptionUI>(u"a")->Selected(true, false);

  EXPECT_EQ(w.recorder.seen, (std::vector<std::string>{"click:b", "selectchanged:a", "selectchanged:b", "click:b",
                                                       "click:check", "selectchanged:check", "click:check",
                                                       "selectchanged:check"}));
  EXPECT_TRUE(w.Find<COptionUI>(u"a")->IsSelected());
  EXPECT_FALSE(w.Find<COptionUI>(u"b")->IsSelected());
  EXPECT_TRUE(w.Find<COptionUI>(u"other")->IsSelected());
}

}  // namespace
