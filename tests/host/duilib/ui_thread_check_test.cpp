// The UI-thread check: a window's controls changed from another thread are caught.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UIDlgBuilder.h"
#include "support/ui_window.h"

namespace {

using namespace DuiLib;

struct Touch {
  const char* what;
  std::function<void(CPaintManagerUI&, CControlUI&)> act;
};

const Touch kTouches[] = {
    {"text", [](CPaintManagerUI&, CControlUI& c) { c.SetText(u"changed"); }},
    {"visibility", [](CPaintManagerUI&, CControlUI& c) { c.SetVisible(false); }},
    {"background colour", [](CPaintManagerUI&, CControlUI& c) { c.SetBkColor(0xFF112233); }},
    {"background image", [](CPaintManagerUI&, CControlUI& c) { c.SetBkImage(u"file='x.png'"); }},
    {"text colour", [](CPaintManagerUI&, CControlUI& c) { c.SetTextColor(0xFF112233); }},
    {"enabled", [](CPaintManagerUI&, CControlUI& c) { c.SetEnabled(false); }},
    {"tooltip", [](CPaintManagerUI&, CControlUI& c) { c.SetToolTip(u"tip"); }},
    {"height", [](CPaintManagerUI&, CControlUI& c) { c.SetFixedHeight(40); }},
    {"timer", [](CPaintManagerUI& m, CControlUI& c) { m.SetTimer(&c, 4005, 20); }},
    {"notification", [](CPaintManagerUI& m, CControlUI& c) { m.SendNotify(&c, DUI_MSGTYPE_CLICK); }},
    {"position", [](CPaintManagerUI&, CControlUI& c) { c.GetPos(); }},
};

class UIThreadCheckTest : public ::testing::Test {
 protected:
  testenv::UiWindow w{u"<Window size='200,100'><VerticalLayout><Label name='lbl' text='x'/></VerticalLayout></Window>"};
};

TEST_F(UIThreadCheckTest, EveryKindOfTouchFromAnotherThreadIsCounted) {
  for (const Touch& touch : kTouches) {
    CControlUI* label = w.Find(u"lbl");
    label->SetText(u"x");  // the UI thread's own changes count nothing
    w.manager.NeedUpdate();
    const uint64_t before = UIThreadViolations();

    std::thread([&] { touch.act(w.manager, *label); }).join();

    EXPECT_GT(UIThreadViolations(), before) << touch.what;
  }
}

TEST_F(UIThreadCheckTest, TheUIThreadAndTreesOutsideAWindowCountNothing) {
  const uint64_t before = UIThreadViolations();

  for (const Touch& touch : kTouches) touch.act(w.manager, *w.Find(u"lbl"));
  std::thread([] {
    CDialogBuilder builder;
    CControlUI* item = builder.Create(u"<HorizontalLayout><AnimPanel name='icon'/></HorizontalLayout>");
    ASSERT_NE(item, nullptr);
    item->SetFixedHeight(20);
    static_cast<CAnimPanelUI*>(static_cast<CContainerUI*>(item)->GetItemAt(0))->Play();
    delete item;
  }).join();

  EXPECT_EQ(UIThreadViolations(), before);
}

}  // namespace
