// The layout pass: positions and sizes from fixed sizes, paddings, floats and child layouts.
#include <gtest/gtest.h>

#include "DuiLib/UIContainer.h"
#include "DuiLib/UIHorizontalLayout.h"
#include "DuiLib/UILabel.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIRender.h"
#include "DuiLib/UIResourceManager.h"
#include "DuiLib/UITree.h"
#include "DuiLib/UIVerticalLayout.h"
#include "support/test_env.h"
#include "support/ui_window.h"

namespace {

using namespace DuiLib;
using testenv::UiWindow;

RECT Pos(UiWindow& w, std::u16string_view name) { return w.Find(name)->GetPos(); }

TEST(LayoutPass, RowsStackAndTheirContainerGrowsByWhatItHolds) {
  UiWindow w(uR"(<Window size="600,400"><VerticalLayout>
      <VerticalLayout name="content" padding="0,8,0,8">
        <HorizontalLayout name="r0" height="32"/><HorizontalLayout name="r1" height="32"/><HorizontalLayout name="r2" height="32"/>
      </VerticalLayout>
      <Control name="after" height="10"/></VerticalLayout></Window>)");
  auto* content = w.Find(u"content");
  // Like an item's content area: as high as its rows.
  content->SetFixedHeight(3 * 32);

  EXPECT_EQ(content->GetHeight(), 96);
  EXPECT_EQ(Pos(w, u"r0"), (RECT{0, 8, 600, 40}));
  EXPECT_EQ(Pos(w, u"r2"), (RECT{0, 72, 600, 104}));
  EXPECT_EQ(Pos(w, u"after").top, 8 + 96 + 8);
}

TEST(LayoutPass, ChildrenWithoutASizeShareWhatIsLeftWithinTheirLimits) {
  UiWindow w(uR"(<Window size="300,100"><HorizontalLayout inset="10,0,10,0" childpadding="5">
      <Control name="fixed" width="50"/><Control name="a" maxwidth="40"/><Control name="b"/>
      <Control name="gone" width="70" visible="false"/></HorizontalLayout></Window>)");
  EXPECT_EQ(Pos(w, u"fixed"), (RECT{10, 0, 60, 100}));
  // 280 inner - 50 - 2 × 5 = 220 shared by two, a capped at 40.
  EXPECT_EQ(Pos(w, u"a"), (RECT{65, 0, 105, 100}));
  EXPECT_EQ(Pos(w, u"b").left, 110);
  EXPECT_EQ(Pos(w, u"b").right - Pos(w, u"b").left, 110);
}

TEST(LayoutPass, FloatsSitAtTheirPosAndAlignmentCentresAcross) {
  UiWindow w(uR"(<Window size="200,100"><VerticalLayout>
      <HorizontalLayout name="row" childvalign="vcenter" padding="0,20,0,0" height="40">
        <Control name="dot" width="20" height="20"/>
        <Label name="tip" float="true" pos="5,-10,65,10"/></HorizontalLayout></VerticalLayout></Window>)");
  EXPECT_EQ(Pos(w, u"dot"), (RECT{0, 30, 20, 50}));
  EXPECT_EQ(Pos(w, u"tip"), (RECT{5, 10, 65, 30}));
}

TEST(LayoutPass, AutoCalcWidthFollowsTheMeasuredText) {
  UiWindow w(uR"(<Window size="400,40"><HorizontalLayout>
      <Label name="name" autocalcwidth="true" textpadding="12,0,0,0" text="Memory"/><Control name="rest"/>
      </HorizontalLayout></Window>)");
  const int text = CRenderEngine::GetTextSize(nullptr, u"Memory", -1, DT_SINGLELINE).cx;
  EXPECT_EQ(Pos(w, u"rest").left, 12 + text);
  w.Find(u"name")->SetText(u"Memory modules");
  EXPECT_GT(Pos(w, u"rest").left, 12 + text);
}

TEST(LayoutPass, AHigherDpiScalesSizesTheWindowIncludedButNotPixelSizes) {
  testenv::UseMachine(R"({"host": {"dpi": 144}})");
  UiWindow w(uR"(<Window size="600,400"><VerticalLayout>
      <Control name="scaled" height="20" padding="0,10,0,0"/><Control name="pixels"/></VerticalLayout></Window>)");
  w.Find(u"pixels")->SetFixedHeightEx(20);
  EXPECT_EQ(CResourceManager::Scale(480), 720);
  EXPECT_EQ(w.Find(u"scaled")->GetFixedHeight(), 30);
  EXPECT_EQ(w.manager.GetInitSize(), (SIZE{900, 600}));
  EXPECT_EQ(Pos(w, u"pixels"), (RECT{0, 45, 900, 65}));
  testenv::UseEmptyMachine();
}

TEST(LayoutPass, AListScrollsWithinItsContent) {
  UiWindow w(uR"(<Window size="200,100"><List name="list"/></Window>)");
  auto* list = w.Find<CListUI>(u"list");
  for (int i = 0; i < 10; ++i) {
    auto* row = new CControlUI;
    row->SetFixedHeight(32);
    list->Add(row);
  }
  // 320 of content in 100 of view.
  EXPECT_EQ(list->GetScrollRange().cy, 220);
  list->EndDown();
  EXPECT_EQ(list->GetScrollPos().cy, 220);
  EXPECT_EQ(list->GetItemAt(9)->GetPos(), (RECT{0, 68, 200, 100}));
  list->LineUp();  // one line: the default font's 16 plus 8
  EXPECT_EQ(list->GetScrollPos().cy, 196);
  list->SetScrollPos(SIZE{0, -5});
  EXPECT_EQ(list->GetScrollPos().cy, 0);
  list->RemoveAll();
  EXPECT_EQ(list->GetScrollRange().cy, 0);
}

// A pass lays out only what changed and moves what only moved: after every step of a list that
// grows as the scan page's does (an item added, its height grown, the list scrolled to its end, a
// text changed, an item hidden and shown again), every control stands where a pass over the
// whole tree puts it.
TEST(LayoutPass, ALayoutOfWhatChangedEqualsOneOfTheWholeTree) {
  UiWindow w(uR"(<Window size="300,200"><VerticalLayout><Label name="title" height="20"/>
      <List name="list" inset="2,2,2,2" childpadding="3"/></VerticalLayout></Window>)");
  auto* list = w.Find<CListUI>(u"list");
  const auto positions = [&w] {
    std::vector<std::pair<RECT, bool>> all;
    FindInTree(w.manager.GetRoot(), [&](CControlUI* c) {
      all.emplace_back(c->GetPos(), c->IsVisible());
      return false;
    });
    return all;
  };
  for (int step = 0; step < 16; ++step) {
    if (step % 2 == 0) {
      auto* item = new CVerticalLayoutUI;
      item->SetFixedHeight(10);
      auto* row = new CHorizontalLayoutUI;
      row->SetFixedHeight(8);
      auto* text = new CLabelUI;
      text->SetAutoCalcWidth(true);
      text->SetText(u"item " + std::u16string(static_cast<size_t>(step % 7 + 1), u'x'));
      row->Add(text);
      item->Add(row);
      auto* badge = new CControlUI;
      badge->SetFloat(true);
      badge->SetAttribute(u"pos", u"4,2,12,10");
      item->Add(badge);
      list->Add(item);
    } else {
      CControlUI* last = list->GetItemAt(list->GetCount() - 1);
      last->SetFixedHeight(last->GetFixedHeight() + 15);
    }
    if (step == 9) list->GetItemAt(1)->SetVisible(false);
    if (step == 13) list->GetItemAt(1)->SetVisible(true);
    if (step == 11) w.Find(u"title")->SetText(u"a title");
    if (step == 12) FindInTree(list->GetItemAt(0), [](CControlUI* c) { return c->GetClass() == u"Label"; })->SetText(u"longer");
    list->EndDown();
    const auto changed = positions();
    FindInTree(w.manager.GetRoot(), [](CControlUI* c) {
      c->NeedUpdate();
      return false;
    });
    ASSERT_EQ(changed, positions()) << "after step " << step;
  }
}

TEST(LayoutPass, ItemsMoveWithinTheirContainer) {
  CVerticalLayoutUI list;
  auto* a = new CControlUI;
  auto* b = new CControlUI;
  list.Add(a);
  list.Add(b);
  EXPECT_TRUE(list.SetItemIndex(b, 0));
  EXPECT_EQ(list.GetItemIndex(b), 0);
  EXPECT_TRUE(list.Remove(a, true));  // taken out, not destroyed
  EXPECT_TRUE(list.AddAt(a, 0));
  EXPECT_EQ(list.GetItemAt(0), a);
  EXPECT_FALSE(list.Add(a)) << "a control has one parent";
}

}  // namespace
