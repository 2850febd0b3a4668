// UIDriver: the user's input, and what it may not reach.
#include "DuiLib/UIDriver.h"

#include <gtest/gtest.h>

#include "DuiLib/UIContainer.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIOption.h"
#include "DuiLib/UIText.h"
#include "support/ui_window.h"

namespace {

using namespace DuiLib;
using testenv::UiWindow;

TEST(UiDriver, WhatTheUserCannotReachGetsNothing) {
  UiWindow w(uR"(<Window size="400,300"><VerticalLayout>
      <VerticalLayout visible="false"><HorizontalLayout><Button name="underHidden"/></HorizontalLayout></VerticalLayout>
      <VerticalLayout enabled="false"><Button name="underDisabled"/></VerticalLayout>
      <Button name="hidden" visible="false"/><Button name="disabled" enabled="false"/>
      <Option name="mouseOff" mouse="false"/>
      <TabLayout><Button name="shownTab"/><Button name="otherTab"/></TabLayout>
      <Button name="fine"/></VerticalLayout></Window>)");
  CButtonUI detached;
  detached.SetName(u"detached");

  for (std::u16string_view name : {u"underHidden", u"underDisabled", u"hidden", u"disabled", u"mouseOff", u"otherTab"}) {
    EXPECT_FALSE(w.driver.Click(name)) << platform::Utf16ToUtf8(name);
    EXPECT_FALSE(w.driver.MouseEnter(w.Find(name))) << platform::Utf16ToUtf8(name);
  }
  EXPECT_FALSE(w.driver.Tick(w.Find(u"mouseOff"), true));
  EXPECT_FALSE(w.driver.Click(&detached));
  EXPECT_FALSE(w.driver.Click(nullptr));
  EXPECT_TRUE(w.recorder.seen.empty());

  EXPECT_TRUE(w.driver.Click(u"shownTab"));
  EXPECT_TRUE(w.driver.ClickId(w.Find(u"fine")->GetId()));
  EXPECT_EQ(w.recorder.seen, (std::vector<std::string>{"click:shownTab", "click:fine"}));
}

TEST(UiDriver, TicksFollowsLinksActivatesItemsAndScrolls) {
  UiWindow w(uR"(<Window size="300,100"><VerticalLayout>
      <Option name="check"/><Text name="title" showhtml="true" text="Done. {a}Send logs{/a} or {a}not{/a}" height="20"/>
      <List name="list" height="60"><Control name="row0" height="40"/><Control name="row1" height="40"/></List>
      </VerticalLayout></Window>)");
  EXPECT_TRUE(w.driver.Tick(w.Find(u"check"), true));
  EXPECT_TRUE(w.driver.Tick(w.Find(u"check"), true));  // already ticked: nothing sent
  EXPECT_TRUE(w.driver.FollowLink(w.Find(u"title"), 1));
  EXPECT_FALSE(w.driver.FollowLink(w.Find(u"title"), 2));
  EXPECT_TRUE(w.driver.DoubleClick(w.Find(u"row1")));
  EXPECT_FALSE(w.driver.DoubleClick(w.Find(u"title"))) << "not a list item";
  EXPECT_TRUE(w.driver.Scroll(w.Find(u"row0"), 15));

  EXPECT_EQ(w.recorder.seen,
            (std::vector<std::string>{"click:check", "selectchanged:check", "link:title:1", "itemactivate:row1"}));
  EXPECT_EQ(w.Find<CListUI>(u"list")->GetScrollPos().cy, 15);
  EXPECT_FALSE(w.driver.Scroll(w.Find(u"check"), 15)) << "nothing scrolls there";
}

TEST(UiDriver, AHandlerMayRemoveTheControlItWasCalledFor) {
  UiWindow w(uR"(<Window size="300,100"><VerticalLayout name="list"><Button name="remove"/></VerticalLayout></Window>)");
  CControlUI* button = w.Find(u"remove");
  bool heardAfterRemoval = false;
  button->OnNotify += CDelegate(button, "remove", 6, [&](TNotifyUI&) {
    w.Find<CContainerUI>(u"list")->RemoveAll();
    return true;
  });
  button->OnNotify += CDelegate(button, "after", 5, [&](TNotifyUI& msg) {
    heardAfterRemoval = msg.pSender == button && button->GetName() == u"remove";
    return true;
  });
  EXPECT_TRUE(w.driver.Click(button));
  EXPECT_TRUE(heardAfterRemoval);
  EXPECT_EQ(w.Find<CContainerUI>(u"list")->GetCount(), 0);
  EXPECT_EQ(w.manager.FindControl(u"remove"), nullptr);
}

// A name is looked up once, and again whenever the tree changes: the first control of that name
// in the tree as it is now.
TEST(UiDriver, ANameFindsTheFirstControlOfTheTreeAsItIsNow) {
  UiWindow w(uR"(<Window size="300,100">
    <VerticalLayout name="list"><Label name="a"/><Label name="b"/></VerticalLayout></Window>)");
  auto* list = w.Find<CContainerUI>(u"list");
  CControlUI* first = w.Find(u"a");
  auto* other = new CControlUI;
  other->SetName(u"a");

  list->AddAt(other, 0);
  EXPECT_EQ(w.manager.FindControl(u"a"), other);
  list->SetItemIndex(first, 0);
  EXPECT_EQ(w.manager.FindControl(u"a"), first);
  first->SetName(u"c");
  EXPECT_EQ(w.manager.FindControl(u"a"), other);
  EXPECT_EQ(w.manager.FindControl(u"c"), first);
  list->Remove(other);
  EXPECT_EQ(w.manager.FindControl(u"a"), nullptr);
}

}  // namespace
