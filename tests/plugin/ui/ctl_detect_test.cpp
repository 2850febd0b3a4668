// CtlDetectDetail and CtlDetectItem: the looks of one check line, its fold toggle and repair
// command; the item's lines, the repair entries it hands the page, and its height following them.
#include <gtest/gtest.h>

#include <memory>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIResourceManager.h"
#include "support/test_env.h"
#include "support/ui_window.h"
#include "ui/ctl_detect_detail.h"
#include "ui/ctl_detect_item.h"

namespace zel::sysdiagnose {
namespace {

using namespace DuiLib;
using Look = CtlDetectDetail::Look;

constexpr std::u16string_view kRight = u"file='drawable/hardware/ico_right.png'";
constexpr std::u16string_view kUnusual = u"file='drawable/hardware/ic_unusual.png'";

tagHardwareDetectInfo Result(bool passed, int32_t code, int level = 0, std::u16string text = u"") {
  tagHardwareDetectInfo line;
  line.passed = passed;
  line.code = code;
  line.level = level;
  line.text = std::move(text);
  return line;
}

class CtlDetectDetailTest : public ::testing::Test {
 protected:
  // A new line, alone in the window, on a host of that language and screen scale.
  void Build(const std::string& language = "en-US", int dpi = 96) {
    testenv::UseMachine(R"({"host": {"userLanguage": ")" + language + R"(", "dpi": )" + std::to_string(dpi) + "}}");
    w.Find<CContainerUI>(u"rows")->RemoveAll();
    line = std::make_unique<CtlDetectDetail>();
    ASSERT_TRUE(line->Create());
    w.Find<CContainerUI>(u"rows")->Add(line->GetRoot());
    foldsSeen.clear();
    line->onFold = [this](bool folded) { foldsSeen.push_back(folded); };
  }

  CControlUI* Part(std::u16string_view name) { return w.manager.FindSubControlByName(line->GetRoot(), name); }
  CAnimPanelUI* Icon() { return static_cast<CAnimPanelUI*>(Part(u"optChoose")); }
  bool Shown(std::u16string_view name) { return Part(name)->IsVisible(); }

  testenv::UiWindow w{u"<Window size='656,400'><VerticalLayout name='rows' padding='66,0,0,0'/></Window>"};
  std::unique_ptr<CtlDetectDetail> line;
  std::vector<bool> foldsSeen;
};

TEST_F(CtlDetectDetailTest, ATitleThatDoesNotFitGetsItsWholeTextAsTooltip) {
  Build();
  const struct {
    std::u16string title;
    bool tooltip;
  } cases[] = {{u"Filter Keys setting", false},
               {u"A check with a name so long that the row cannot show all of it in its title, "
                u"not even on a wide window like this one",
                true}};
  for (const auto& c : cases) {
    line->SetTitle(c.title);
    EXPECT_EQ(Part(u"txtTitle")->GetText(), c.title);
    EXPECT_EQ(Part(u"txtTitle")->GetToolTip(), c.tooltip ? c.title : u"");
    EXPECT_TRUE(Icon()->IsPlaying()) << "a new line is running";
    EXPECT_EQ(Icon()->GetFrameImage(), u"file='drawable/hardware/Loading/loading_.png'");
  }
}

TEST_F(CtlDetectDetailTest, UnfoldingMakesTheRowAsHighAsItsDetailTextPlusTheTitleRow) {
  for (const auto& [dpi, lineHeight] : {std::pair{96, 16}, std::pair{120, 20}, std::pair{144, 24}}) {
    SCOPED_TRACE(dpi);
    Build("en-US", dpi);
    line->SetResult(Result(false, -6, 0, u"The first line\nthe second\nand the third."));

    w.driver.Click(Part(u"btnDetail"));
    EXPECT_EQ(Part(u"lytDetail")->GetFixedHeight(), 3 * lineHeight);
    EXPECT_EQ(Part(u"lytDetail")->GetHeight(), 3 * lineHeight);
    EXPECT_TRUE(Shown(u"lytDetail"));
    EXPECT_EQ(line->GetRoot()->GetHeight(), 3 * lineHeight + CResourceManager::Scale(32));
    EXPECT_EQ(Part(u"ctlFolder")->GetBkImage(), u"file='drawable/hardware/btn_up.png'");

    w.driver.Click(Part(u"btnDetail"));
    EXPECT_EQ(Part(u"lytDetail")->GetFixedHeight(), 0);
    EXPECT_FALSE(Shown(u"lytDetail"));
    EXPECT_EQ(line->GetRoot()->GetHeight(), CResourceManager::Scale(32));
    EXPECT_EQ(foldsSeen, (std::vector<bool>{false, true}));

    line->SetResult(Result(false, -6));
    line->Expand();
    EXPECT_EQ(Part(u"lytDetail")->GetFixedHeight(), 0) << "a detail without text unfolds to the title row alone";
  }
}

TEST_F(CtlDetectDetailTest, EveryRepairLookShowsItsIconTextsAndToggle) {
  Build();
  const struct {
    CtlDetectDetail::Look look;
    std::u16string message;
    std::u16string_view icon;  // empty: the busy animation
    std::u16string result;     // "txtResult", empty when hidden
    std::u16string detail;
    bool toggle, type, passed;
  } cases[] = {
      {Look::kRepairing, u"", u"", u"", u"Filter Keys is on.", false, true, false},
      {Look::kRepaired, u"", kRight, u"", u"Filter Keys is on.", false, true, true},
      {Look::kFixed, u"", kRight, u"", u"Filter Keys is on.", false, true, true},
      {Look::kRepairedRestart, u"", u"file='drawable/hardware/ic_restart.png'", u"Restart needed",
       u"Repaired. Restart the computer to complete the repair.", true, false, true},
      {Look::kRepairedRestart, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS", u"file='drawable/hardware/ic_restart.png'", u"Restart needed",
       u"Repair complete", true, false, true},
      {Look::kRepairedShutdown, u"", u"file='drawable/hardware/ic_turnoff.png'", u"Shutdown needed",
       u"Repaired. Shut the computer down and turn it on again to complete the repair.", true, false, true},
      {Look::kRepairFailed, u"", kUnusual, u"", u"Repair failed", true, true, false},
      {Look::kRepairFailed, u"Driver missing", kUnusual, u"", u"Driver missing", true, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.look));
    line->SetResult(Result(false, -6, 0, u"Filter Keys is on."));
    line->ShowRepairCommand();

    line->SetLook(c.look, {0, false, false, c.look != Look::kRepairFailed, c.message});

    EXPECT_EQ(Icon()->IsPlaying(), c.icon.empty());
    EXPECT_EQ(Icon()->GetBkImage(), c.icon) << "no icon under the animation";
    EXPECT_EQ(Shown(u"txtResult"), !c.result.empty());
    if (!c.result.empty()) {
      EXPECT_EQ(Part(u"txtResult")->GetText(), c.result);
      EXPECT_EQ(Part(u"txtResult")->GetToolTip(), c.result);
    }
    EXPECT_EQ(Part(u"txtDetail")->GetText(), c.detail);
    EXPECT_EQ(Shown(u"btnDetail"), c.toggle);
    EXPECT_EQ(Shown(u"ctlFolder"), c.toggle);
    EXPECT_EQ(line->ShowsToggle(), c.toggle);
    EXPECT_EQ(Shown(u"txtType"), c.type);
    EXPECT_EQ(line->IsPassed(), c.passed);
    EXPECT_EQ(line->GetLook(), c.look);
  }
}

TEST_F(CtlDetectDetailTest, TheRepairCommandsDressFollowsTheUsersLanguage) {
  const struct {
    const char* language;
    int width;
    bool autoWidth;
    DWORD bk, text;
    int suggestWidth;
    DWORD suggestBk, suggestText;
  } cases[] = {
      {"en-US", 0, true, 0, 0xFFFB7779, 0, 0, 0xFFFFAA2E},
      {"ZH-cn", 56, false, 0xFFFB7779, 0xFFFFFFFF, 56, 0xFFFFAA2E, 0xFFFFFFFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    Build(c.language);
    line->SetResult(Result(false, -6));
    line->ShowRepairCommand();

    CControlUI* command = Part(u"txtResult");
    EXPECT_TRUE(command->IsVisible());
    EXPECT_EQ(command->GetToolTip(), command->GetText());
    EXPECT_EQ(command->GetFixedWidth(), c.width);
    EXPECT_EQ(command->GetAutoCalcWidth(), c.autoWidth);
    EXPECT_EQ(command->GetBkColor(), c.bk);
    EXPECT_EQ(command->GetTextColor(), c.text);
    EXPECT_EQ(Part(u"txtSuggest")->GetFixedWidth(), c.suggestWidth);
    EXPECT_EQ(Part(u"txtSuggest")->GetBkColor(), c.suggestBk);
    EXPECT_EQ(Part(u"txtSuggest")->GetTextColor(), c.suggestText);
  }
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
  int ContentHeight() { return w.manager.FindSubControlByName(item.GetRoot(), u"lytContent")->GetFixedHeight(); }
  static int Px(int units) { return CResourceManager::Scale(units); }

  testenv::UiWindow w{u"<Window size='720,560'><List name='list'/></Window>"};
  CtlDetectItem item;
};

TEST_F(CtlDetectItemTest, OnlyFailedLinesWithARepairBecomeRepairEntries) {
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

TEST_F(CtlDetectItemTest, TheContentFollowsTheLinesHeights) {
  Check(u"Device", u"", Result(true, 0));
  EXPECT_EQ(ContentHeight(), Px(64)) << "never below 64";
  Check(u"Adapter", u"", Result(true, 0));
  Check(u"Switch", u"", Result(false, 5, 0, u"One line\nand another"));
  EXPECT_EQ(ContentHeight(), 3 * Px(32));

  item.PostRunUpdate();  // the failed line unfolds: two lines of text of 20 pixels at 120 DPI
  EXPECT_EQ(ContentHeight(), 3 * Px(32) + 2 * 20);
  EXPECT_LE(item.GetLine(2)->GetRoot()->GetPos().bottom, item.GetRoot()->GetPos().bottom)
      << "the item shows the unfolded line whole";
  EXPECT_EQ(w.manager.FindSubControlByName(item.GetRoot(), u"lytHardware")->GetFixedHeight(),
            w.manager.FindSubControlByName(item.GetRoot(), u"lytTitle")->GetFixedHeight() + 3 * Px(32) + 40);

  item.SetRepairing();  // nothing to repair: nothing folds
  EXPECT_EQ(ContentHeight(), 3 * Px(32) + 40);
}

}  // namespace
}  // namespace zel::sysdiagnose
