// CtlScanItem: rows, heights at every screen scale, the growth animation and folding.
#include "ui/ctl_scan_item.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "DuiLib/UIList.h"
#include "support/test_env.h"
#include "support/ui_window.h"

namespace zel::sysdiagnose {
namespace {

using DuiLib::CContainerUI;
using DuiLib::CControlUI;

class CtlScanItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testenv::UseEmptyMachine();
    list = w.Find<CContainerUI>(u"list");
  }
  void TearDown() override { testenv::UseEmptyMachine(); }

  CControlUI* Sub(std::u16string_view name) { return w.manager.FindSubControlByName(item.GetRoot(), name); }

  testenv::UiWindow w{u"<Window size='656,560'><List name='list'/></Window>"};
  CContainerUI* list = nullptr;
  CtlScanItem item;
};

tagHardwareDetailInfo Row(std::u16string title, std::u16string content) { return {0, std::move(title), std::move(content)}; }

TEST_F(CtlScanItemTest, RowsShowTheirTitleAndContentInArrivalOrderAndSeparatorsAreAThinRule) {
  ASSERT_TRUE(item.Create(list));

  item.AddDetailRow(Row(u"Model", u"Core i7"));
  item.AddSeparator();
  item.AddDetailRow(Row(u"Cores", u"8"));

  auto* rows = dynamic_cast<CContainerUI*>(Sub(u"lytItems"));
  ASSERT_EQ(rows->GetCount(), 3);
  EXPECT_EQ(item.GetRowCount(), 3);
  EXPECT_EQ(w.manager.FindSubControlByName(rows->GetItemAt(0), u"txtContent")->GetText(), u"Core i7");
  EXPECT_EQ(w.manager.FindSubControlByName(rows->GetItemAt(2), u"txtTitle")->GetText(), u"Cores");
  auto* separator = dynamic_cast<CContainerUI*>(rows->GetItemAt(1));
  ASSERT_EQ(separator->GetCount(), 1);
  const CControlUI* rule = separator->GetItemAt(0);
  EXPECT_EQ(rule->GetFixedHeight(), 1);
  EXPECT_EQ(rule->GetBkColor(), 0xFFE5E5E5u);
  EXPECT_EQ(rule->GetPadding(), (RECT{0, 16, 0, 15}));
}

// Heights are pixels; a content of n rows is 32 per row but never under 64, and the whole item
// is the title (40) over the content, plus the 17 of its divider once it has grown.
struct HeightCase {
  int dpi;
  int rows;
  int content;
  int hardware;
  std::vector<int> growth;  // root height after each GrowStep, the last one at full height
};

void PrintTo(const HeightCase& c, std::ostream* out) { *out << c.rows << " rows at " << c.dpi << " DPI"; }

class CtlScanItemHeights : public CtlScanItemTest, public ::testing::WithParamInterface<HeightCase> {};

TEST_P(CtlScanItemHeights, ContentFollowsTheRowsAndTheRootGrowsByStepsToExactlyItsFullHeight) {
  const HeightCase& c = GetParam();
  testenv::UseMachine(R"({"host": {"dpi": )" + std::to_string(c.dpi) + "}}");
  ASSERT_TRUE(item.Create(list));

  for (int i = 0; i < c.rows; ++i) item.AddDetailRow(Row(u"t", u"c"));
  std::vector<int> heights;
  bool done = false;
  while (!done && heights.size() < 20) {
    done = item.GrowStep();
    heights.push_back(item.GetRoot()->GetFixedHeight());
  }

  EXPECT_EQ(Sub(u"lytContent")->GetFixedHeight(), c.content);
  EXPECT_EQ(Sub(u"lytHardware")->GetFixedHeight(), c.hardware);
  EXPECT_EQ(heights, c.growth);
  EXPECT_EQ(item.GetRoot()->GetHeight(), c.growth.back()) << "the laid-out root follows its fixed height";
}

INSTANTIATE_TEST_SUITE_P(
    RowsAndScales, CtlScanItemHeights,
    ::testing::Values(HeightCase{96, 1, 64, 104, {77, 97, 117, 121}},  // an empty category's one line
                      HeightCase{96, 2, 64, 104, {77, 97, 117, 121}},
                      HeightCase{96, 3, 96, 136, {77, 97, 117, 137, 153}},
                      // 144 DPI: 57 → 86 px at the start, steps of 30, divider 26
                      HeightCase{144, 3, 144, 204, {116, 146, 176, 206, 230}}));

TEST_F(CtlScanItemTest, TheFolderButtonFoldsToTheTitleRowAndUnfoldsToTheWholeItem) {
  ASSERT_TRUE(item.Create(list));
  for (int i = 0; i < 3; ++i) item.AddDetailRow(Row(u"t", u"c"));
  while (!item.GrowStep()) {
  }
  CControlUI* folder = Sub(u"btnFolder");
  CControlUI* arrow = Sub(u"ctlFolder");

  ASSERT_TRUE(w.driver.Click(folder));
  EXPECT_TRUE(item.IsFolded());
  EXPECT_EQ(Sub(u"lytHardware")->GetFixedHeight(), 40);
  EXPECT_EQ(item.GetRoot()->GetFixedHeight(), 57);
  EXPECT_EQ(arrow->GetBkImage(), u"drawable\\hardware\\ic_expansion_light.png");

  ASSERT_TRUE(w.driver.Click(folder));
  EXPECT_FALSE(item.IsFolded());
  EXPECT_EQ(Sub(u"lytHardware")->GetFixedHeight(), 136);
  EXPECT_EQ(item.GetRoot()->GetFixedHeight(), 153);
  EXPECT_EQ(arrow->GetBkImage(), u"drawable\\hardware\\ic_collapse_light.png");
}

TEST_F(CtlScanItemTest, TheFoldArrowShowsOnlyWhileTheMouseIsOverTheTitleRow) {
  ASSERT_TRUE(item.Create(list));
  CControlUI* arrow = Sub(u"ctlFolder");
  ASSERT_FALSE(arrow->IsVisible());

  w.driver.MouseEnter(Sub(u"btnFolder"));
  EXPECT_TRUE(arrow->IsVisible());
  w.driver.MouseLeave(Sub(u"btnFolder"));
  EXPECT_FALSE(arrow->IsVisible());
}

TEST_F(CtlScanItemTest, OnlyATickedCheckBoxCountsAsChosen) {
  ASSERT_TRUE(item.Create(list));
  item.SetStatus(CtlScanItem::kStatusBusy);
  EXPECT_FALSE(item.IsChosen());

  item.SetStatus(CtlScanItem::kStatusCheckBox);
  EXPECT_TRUE(item.IsChosen());
  EXPECT_EQ(item.GetStatus(), CtlScanItem::kStatusCheckBox);

  w.driver.Tick(Sub(u"optChoose"), false);
  EXPECT_FALSE(item.IsChosen());
}

TEST_F(CtlScanItemTest, AnItemWithoutContainerOrRowsDoesNothingAndCountsAsGrown) {
  CtlScanItem lost;
  EXPECT_FALSE(lost.Create(nullptr));
  EXPECT_TRUE(lost.GrowStep());
  lost.AddDetailRow(Row(u"t", u"c"));
  lost.SetStatus(CtlScanItem::kStatusCheckBox);
  EXPECT_EQ(lost.GetRowCount(), 0);
  EXPECT_FALSE(lost.IsChosen());
}

}  // namespace
}  // namespace zel::sysdiagnose
