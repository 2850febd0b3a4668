// CtlDetectItem: its lines, the repair entries it hands the page, and its height following them.
#include "ui/ctl_detect_item.h"

#include <gtest/gtest.h>

#include "DuiLib/UIList.h"
#include "DuiLib/UIResourceManager.h"
#include "support/test_env.h"
#include "support/ui_window.h"

namespace {

using namespace DuiLib;
using zel::sysdiagnose::CtlDetectItem;
using zel::sysdiagnose::tagDetectItemDetail;
using zel::sysdiagnose::tagHardwareDetectInfo;
using zel::sysdiagnose::tagRepairItemInfo;

tagHardwareDetectInfo Result(bool passed, int32_t code, int level = 0, std::u16string text = u"") {
  tagHardwareDetectInfo line;
  line.passed = passed;
  line.code = code;
  line.level = level;
  line.text = std::move(text);
  return line;
}

class CtlDetectItemTest : public ::testing::Test {
 protected:
  CtlDetectItemTest() {
    testenv::UseMachine(R"({"host": {"dpi": 120}})");
    EXPECT_TRUE(item.Create(w.Find<CListUI>(u"list")));
  }
  // Announces a check and gives it its result at once.
  void Check(const char16_t* name, const char16_t* repair, const tagHardwareDetectInfo& result) {
    item.AddCheckLine(tagDetectItemDetail{name, repair, u""});
    item.ApplyLine(result);
  }
  CControlUI* Part(std::u16string_view name) { return w.manager.FindSubControlByName(item.GetRoot(), name); }
  static int Px(int units) { return CResourceManager::Scale(units); }

  testenv::UiWindow w{u"<Window size='720,560'><List name='list'/></Window>"};
  CtlDetectItem item;
};

TEST_F(CtlDetectItemTest, OnlyFailedLinesWithARepairBecomeRepairEntriesCarryingTheirLineAndCode) {
  Check(u"Device", u"RepairWifiDriver", Result(true, 0));
  Check(u"Adapter", u"", Result(false, 5));                     // no repair
  Check(u"Switch", u"RepairWifiProblem", Result(false, -3));    // repairable
  Check(u"Filter", u"RepairFilterKey", Result(false, -6, 1));   // mild: the one-click fix's
  Check(u"Signal", u"RepairWifiProblem", Result(false, 7));     // repairable
  item.EndCategory();

  std::vector<tagRepairItemInfo> entries;
  item.AddRepairEntries(entries);

  EXPECT_EQ(entries, (std::vector<tagRepairItemInfo>{{2, u"Switch", u"RepairWifiProblem", u"4294967293"},
                                                     {4, u"Signal", u"RepairWifiProblem", u"7"}}));
  for (int i = 0; i < item.GetLineCount(); ++i) {
    EXPECT_EQ(w.manager.FindSubControlByName(item.GetLine(i)->GetRoot(), u"txtResult")->IsVisible(), i == 2 || i == 4)
        << "the repair command on line " << i;
  }
}

TEST_F(CtlDetectItemTest, TheContentFollowsTheLinesAsTheyAreAddedAndUnfolded) {
  Check(u"Device", u"", Result(true, 0));
  EXPECT_EQ(Part(u"lytContent")->GetFixedHeight(), Px(64)) << "never below 64";
  Check(u"Adapter", u"", Result(true, 0));
  Check(u"Switch", u"", Result(false, 5, 0, u"One line\nand another"));
  EXPECT_EQ(Part(u"lytContent")->GetFixedHeight(), 3 * Px(32));

  item.PostRunUpdate();  // the failed line unfolds: two lines of text of 20 pixels at 120 DPI
  EXPECT_EQ(Part(u"lytContent")->GetFixedHeight(), 3 * Px(32) + 2 * 20);
  const RECT line = item.GetLine(2)->GetRoot()->GetPos();
  EXPECT_LE(line.bottom, item.GetRoot()->GetPos().bottom) << "the item shows the unfolded line whole";
  EXPECT_EQ(Part(u"lytHardware")->GetFixedHeight(), Part(u"lytTitle")->GetFixedHeight() + 3 * Px(32) + 40);

  item.SetRepairing();  // nothing to repair: nothing folds
  EXPECT_EQ(Part(u"lytContent")->GetFixedHeight(), 3 * Px(32) + 40);
}

TEST_F(CtlDetectItemTest, ALookForALineThatIsNotThereChangesNothing) {
  Check(u"Device", u"RepairBluetooth", Result(false, 12));
  item.SetLineLook(1, 3, {});
  item.SetLineLook(-1, 3, {});
  EXPECT_FALSE(item.GetLine(0)->IsPassed());
  item.SetLineLook(0, 3, {});
  EXPECT_TRUE(item.GetLine(0)->IsPassed());
}

}  // namespace
