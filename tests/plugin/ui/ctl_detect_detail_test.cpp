// CtlDetectDetail: the looks of one check line, its fold toggle and its one-click fix.
#include "ui/ctl_detect_detail.h"

#include <gtest/gtest.h>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UIResourceManager.h"
#include "machine/machine.h"
#include "support/test_env.h"
#include "support/ui_window.h"

namespace {

using namespace DuiLib;
using namespace std::chrono_literals;
using zel::sysdiagnose::CtlDetectDetail;
using zel::sysdiagnose::tagHardwareDetectInfo;

constexpr std::u16string_view kRight = u"file='drawable/hardware/ico_right.png'";
constexpr std::u16string_view kUnusual = u"file='drawable/hardware/ic_unusual.png'";

std::string Notebook(const std::string& language, int dpi, const std::string& repairs = "{}") {
  return R"({"host": {"userLanguage": ")" + language + R"(", "dpi": )" + std::to_string(dpi) +
         R"(}, "repairs": )" + repairs + "}";
}

tagHardwareDetectInfo Line(bool passed, int level = 0, const std::u16string& text = u"") {
  tagHardwareDetectInfo line;
  line.name = u"Filter Keys setting";
  line.passed = passed;
  line.level = level;
  line.text = text;
  line.code = passed ? 0 : -6;
  return line;
}

class CtlDetectDetailTest : public ::testing::Test {
 protected:
  void Build(const std::string& profile = Notebook("en-US", 96)) {
    testenv::UseMachine(profile);
    ASSERT_TRUE(line.Create());
    w.Find<CContainerUI>(u"rows")->Add(line.GetRoot());
    line.onFold = [this](bool folded) { foldsSeen.push_back(folded); };
  }

  CControlUI* Part(std::u16string_view name) { return w.manager.FindSubControlByName(line.GetRoot(), name); }
  CAnimPanelUI* Icon() { return static_cast<CAnimPanelUI*>(Part(u"optChoose")); }
  bool Shown(std::u16string_view name) { return Part(name)->IsVisible(); }

  testenv::UiWindow w{u"<Window size='656,400'><VerticalLayout name='rows' padding='66,0,0,0'/></Window>"};
  CtlDetectDetail line;
  std::vector<bool> foldsSeen;
};

TEST_F(CtlDetectDetailTest, ATitleThatDoesNotFitGetsItsWholeTextAsTooltip) {
  Build();
  struct Case {
    std::u16string title;
    bool tooltip;
  };
  const Case cases[] = {{u"Filter Keys setting", false},
                        {u"A check with a name so long that the row cannot show all of it in its title, "
                         u"not even on a wide window like this one",
                         true}};
  for (const Case& c : cases) {
    line.SetTitle(c.title);
    EXPECT_EQ(Part(u"txtTitle")->GetText(), c.title);
    EXPECT_EQ(Part(u"txtTitle")->GetToolTip(), c.tooltip ? c.title : u"");
    EXPECT_TRUE(Icon()->IsPlaying()) << "a new line is running";
    EXPECT_EQ(Icon()->GetFrameImage(), u"file='drawable/hardware/Loading/loading_.png'");
  }
}

TEST_F(CtlDetectDetailTest, AResultTurnsTheLinePassedFailedOrIntoASuggestion) {
  Build();
  // A passed line: the tick, no toggle.
  line.SetTitle(u"Filter Keys setting");
  line.SetResult(Line(true));
  EXPECT_FALSE(Icon()->IsPlaying());
  EXPECT_EQ(Icon()->GetBkImage(), kRight);
  EXPECT_EQ(Icon()->GetFixedWidth(), 18);
  EXPECT_FALSE(Shown(u"btnDetail"));
  EXPECT_FALSE(Shown(u"ctlFolder"));
  EXPECT_TRUE(Shown(u"txtType"));
  EXPECT_TRUE(line.IsPassed());

  // A failed line of level 0: the red icon, its message, the fold toggle (folded).
  line.SetResult(Line(false, 0, u"Filter Keys is on."));
  EXPECT_EQ(Icon()->GetBkImage(), kUnusual);
  EXPECT_EQ(Icon()->GetFixedWidth(), 20);
  EXPECT_EQ(Part(u"txtDetail")->GetText(), u"Filter Keys is on.");
  EXPECT_EQ(Part(u"txtDetail")->GetToolTip(), u"Filter Keys is on.");
  EXPECT_TRUE(Shown(u"btnDetail"));
  EXPECT_TRUE(Shown(u"ctlFolder"));
  EXPECT_EQ(Part(u"ctlFolder")->GetBkImage(), u"file='drawable/hardware/btn_down.png'");
  EXPECT_FALSE(line.IsPassed());
  EXPECT_FALSE(line.IsSuggestion());
  EXPECT_EQ(line.Code(), 4294967290u);
}

TEST_F(CtlDetectDetailTest, AMildFindingShowsTheOneClickFixAndNoFoldToggle) {
  Build();
  line.SetTitle(u"Filter Keys setting");
  line.SetRepair(u"RepairFilterKey");

  line.SetResult(Line(false, 1, u"Filter Keys is on."));

  EXPECT_TRUE(line.IsSuggestion());
  EXPECT_TRUE(Shown(u"lytSuggest"));
  EXPECT_FALSE(Shown(u"lytError"));
  EXPECT_FALSE(Shown(u"btnDetail"));
  EXPECT_FALSE(line.NeedsRepair()) << "the repair run leaves mild findings to the one-click fix";
  EXPECT_TRUE(w.driver.IsReachable(Part(u"btnSuggest")));
}

TEST_F(CtlDetectDetailTest, UnfoldingMakesTheRowAsHighAsItsDetailTextPlusTheTitleRow) {
  struct Case {
    int dpi;
    int lineHeight;  // pixels of one line of the detail text's font
  };
  for (const Case c : {Case{96, 16}, Case{120, 20}, Case{144, 24}}) {
    SCOPED_TRACE(c.dpi);
    CtlDetectDetail row;
    testenv::UseMachine(Notebook("en-US", c.dpi));
    ASSERT_TRUE(row.Create());
    w.Find<CContainerUI>(u"rows")->Add(row.GetRoot());
    std::vector<bool> folds;
    row.onFold = [&](bool folded) { folds.push_back(folded); };
    CControlUI* detail = w.manager.FindSubControlByName(row.GetRoot(), u"lytDetail");
    row.SetResult(Line(false, 0, u"The first line\nthe second\nand the third."));

    w.driver.Click(w.manager.FindSubControlByName(row.GetRoot(), u"btnDetail"));
    EXPECT_EQ(detail->GetFixedHeight(), 3 * c.lineHeight);
    EXPECT_EQ(detail->GetHeight(), 3 * c.lineHeight);
    EXPECT_TRUE(detail->IsVisible());
    EXPECT_EQ(row.GetRoot()->GetHeight(), 3 * c.lineHeight + CResourceManager::Scale(32));
    EXPECT_EQ(w.manager.FindSubControlByName(row.GetRoot(), u"ctlFolder")->GetBkImage(),
              u"file='drawable/hardware/btn_up.png'");

    w.driver.Click(w.manager.FindSubControlByName(row.GetRoot(), u"btnDetail"));
    EXPECT_EQ(detail->GetFixedHeight(), 0);
    EXPECT_FALSE(detail->IsVisible());
    EXPECT_EQ(row.GetRoot()->GetHeight(), CResourceManager::Scale(32));
    EXPECT_EQ(folds, (std::vector<bool>{false, true}));
    w.Find<CContainerUI>(u"rows")->RemoveAll();
  }
}

TEST_F(CtlDetectDetailTest, EveryRepairLookShowsItsIconTextsAndToggle) {
  Build();
  struct Case {
    int look;
    std::u16string message;
    std::u16string_view icon;  // empty: the busy animation
    std::u16string result;     // "txtResult", empty when hidden
    std::u16string detail;
    bool toggle, type, passed;
  };
  const Case cases[] = {
      {2, u"", u"", u"", u"Filter Keys is on.", false, true, false},
      {3, u"", kRight, u"", u"Filter Keys is on.", false, true, true},
      {6, u"", kRight, u"", u"Filter Keys is on.", false, true, true},
      {4, u"", u"file='drawable/hardware/ic_restart.png'", u"Restart needed",
       u"Repaired. Restart the computer to complete the repair.", true, false, true},
      {4, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS", u"file='drawable/hardware/ic_restart.png'", u"Restart needed",
       u"Repair complete", true, false, true},
      {5, u"", u"file='drawable/hardware/ic_turnoff.png'", u"Shutdown needed",
       u"Repaired. Shut the computer down and turn it on again to complete the repair.", true, false, true},
      {7, u"", kUnusual, u"", u"Repair failed", true, true, false},
      {7, u"Driver missing", kUnusual, u"", u"Driver missing", true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.look);
    line.SetResult(Line(false, 0, u"Filter Keys is on."));
    line.ShowRepairCommand();

    line.SetLook(c.look, {0, false, false, c.look != 7, c.message});

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
    EXPECT_EQ(line.ShowsToggle(), c.toggle);
    EXPECT_EQ(Shown(u"txtType"), c.type);
    EXPECT_EQ(line.IsPassed(), c.passed);
  }
  const auto before = Icon()->GetBkImage();
  line.SetLook(8, {});
  EXPECT_EQ(Icon()->GetBkImage(), before) << "other looks change nothing";
}

TEST_F(CtlDetectDetailTest, TheRepairCommandIsRedTextInEnglishAndARedButtonInChinese) {
  struct Case {
    const char* language;
    int width;
    bool autoWidth;
    DWORD bk, text;
    int suggestWidth;
    DWORD suggestBk, suggestText;
  };
  const Case cases[] = {
      {"en-US", 0, true, 0, 0xFFFB7779, 0, 0, 0xFFFFAA2E},
      {"ZH-cn", 56, false, 0xFFFB7779, 0xFFFFFFFF, 56, 0xFFFFAA2E, 0xFFFFFFFF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    testenv::UseMachine(Notebook(c.language, 96));
    CtlDetectDetail row;
    ASSERT_TRUE(row.Create());
    w.Find<CContainerUI>(u"rows")->Add(row.GetRoot());
    row.SetResult(Line(false));
    row.ShowRepairCommand();

    CControlUI* command = w.manager.FindSubControlByName(row.GetRoot(), u"txtResult");
    EXPECT_TRUE(command->IsVisible());
    EXPECT_EQ(command->GetToolTip(), command->GetText());
    EXPECT_EQ(command->GetFixedWidth(), c.width);
    EXPECT_EQ(command->GetAutoCalcWidth(), c.autoWidth);
    EXPECT_EQ(command->GetBkColor(), c.bk);
    EXPECT_EQ(command->GetTextColor(), c.text);
    CControlUI* suggestion = w.manager.FindSubControlByName(row.GetRoot(), u"txtSuggest");
    EXPECT_EQ(suggestion->GetFixedWidth(), c.suggestWidth);
    EXPECT_EQ(suggestion->GetBkColor(), c.suggestBk);
    EXPECT_EQ(suggestion->GetTextColor(), c.suggestText);
    w.Find<CContainerUI>(u"rows")->RemoveAll();
  }
}

TEST_F(CtlDetectDetailTest, TheOneClickFixRepairsInTheBackgroundAndShowsHowItWent) {
  struct Case {
    const char* repair;
    std::u16string_view icon;
    bool passed;
  };
  const Case cases[] = {{R"({"CloseFilterKey": {"succeeded": true}})", kRight, true},
                        {R"({"CloseFilterKey": {"succeeded": false, "message": "IDS_HARDWARE_DIAGNOSE_REPAIR_SETTING_FAIL"}})",
                         kUnusual, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.repair);
    testenv::UseMachine(Notebook("en-US", 96, c.repair));
    CtlDetectDetail row;
    ASSERT_TRUE(row.Create());
    w.Find<CContainerUI>(u"rows")->Add(row.GetRoot());
    row.SetTitle(u"Filter Keys setting");
    row.SetRepair(u"RepairFilterKey");
    row.SetResult(Line(false, 1));
    auto* icon = static_cast<CAnimPanelUI*>(w.manager.FindSubControlByName(row.GetRoot(), u"optChoose"));

    ASSERT_TRUE(w.driver.Click(w.manager.FindSubControlByName(row.GetRoot(), u"btnSuggest")));
    EXPECT_TRUE(icon->IsPlaying()) << "repairing";
    EXPECT_FALSE(w.manager.FindSubControlByName(row.GetRoot(), u"lytSuggest")->IsVisible());
    EXPECT_TRUE(w.manager.FindSubControlByName(row.GetRoot(), u"lytError")->IsVisible());

    EXPECT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return !icon->IsPlaying(); }, 10s));
    EXPECT_EQ(icon->GetBkImage(), c.icon);
    EXPECT_EQ(row.IsPassed(), c.passed);
    const auto journal = host::machine::Machine::Instance().Journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].call, "CKeyBoardDetect::CloseFilterKey");
    w.Find<CContainerUI>(u"rows")->RemoveAll();
  }
}

}  // namespace
