// CDialogBuilder: layout files and texts into control trees.
#include "DuiLib/UIDlgBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIButton.h"
#include "DuiLib/UIOption.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIVerticalLayout.h"
#include "platform/encoding.h"
#include "support/log_capture.h"
#include "support/test_env.h"

namespace {

using namespace DuiLib;

TEST(DialogBuilder, BuildsTheTreeWithEveryAttributeInFileOrder) {
  CPaintManagerUI manager;
  CDialogBuilder builder;
  std::unique_ptr<CControlUI> root(builder.Create(
      uR"(<Window size="300,200"><VerticalLayout name="root" inset="1,2,3,4">
            <Label name="title" text="bind='IDS_HARDWARE_DETECT_CPU'" textcolor="#FF7F7F7F" font="16" padding="4,5,6,7"/>
            <AnimPanel name="icon" width="20" height="20" mouse="false" frameimage="file='a_.png'" lastframe="30"/>
            <Control name="late" width="10" width="30"/>
          </VerticalLayout></Window>)",
      {}, nullptr, &manager));

  ASSERT_NE(root, nullptr) << builder.GetLastErrorMessage();
  EXPECT_EQ(manager.GetInitSize(), (SIZE{300, 200}));
  auto* container = dynamic_cast<CContainerUI*>(root.get());
  ASSERT_NE(container, nullptr);
  EXPECT_EQ(container->GetInset(), (RECT{1, 2, 3, 4}));
  ASSERT_EQ(container->GetCount(), 3);
  CControlUI* title = container->GetItemAt(0);
  EXPECT_EQ(title->GetClass(), u"Label");
  EXPECT_EQ(title->GetText(), u"Processor");  // the bound string key, from the en-US table
  EXPECT_EQ(title->GetTextColor(), 0xFF7F7F7Fu);
  EXPECT_EQ(title->GetFont(), 16);
  EXPECT_EQ(title->GetPadding(), (RECT{4, 5, 6, 7}));
  auto* icon = dynamic_cast<CAnimPanelUI*>(container->GetItemAt(1));
  ASSERT_NE(icon, nullptr);
  EXPECT_FALSE(icon->IsMouseEnabled());
  EXPECT_EQ(icon->GetLastFrame(), 30);
  EXPECT_EQ(container->GetItemAt(2)->GetFixedWidth(), 30);  // the later attribute wins
}

// Each control class reads its own attributes and hands the others to the class it extends; a
// value that does not parse reads as 0, an attribute nobody knows is logged and changes nothing.
TEST(DialogBuilder, EachAttributeSetsWhatItNames) {
  constexpr UINT kAlign = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM;
  constexpr UINT kWrap = DT_WORDBREAK | DT_SINGLELINE | DT_END_ELLIPSIS;
  struct Case {
    std::u16string xml;
    int64_t (*seen)(CControlUI&);
    int64_t expected;
  };
  const auto style = [](CControlUI& c) -> int64_t { return c.GetTextStyle() & (kAlign | kWrap); };
  const Case cases[] = {
      {u"<Control width='abc' height='7'/>", [](CControlUI& c) -> int64_t { return c.GetFixedWidth() * 100 + c.GetFixedHeight(); }, 7},
      {u"<Control pos='10,20,40,60'/>", [](CControlUI& c) -> int64_t { return c.GetFloatPos().left * 100 + c.GetFixedHeight(); }, 1040},
      {u"<Control minwidth='3' maxheight='9'/>", [](CControlUI& c) -> int64_t { return c.GetMinWidth() * 100 + c.GetMaxHeight(); }, 309},
      {u"<Control float='true' bordersize='-4'/>", [](CControlUI& c) -> int64_t { return c.IsFloat() * 100 + c.GetBorderSize(); }, 100},
      {u"<Control bkcolor='#10112233' bordercolor='#445566'/>",
       [](CControlUI& c) -> int64_t { return int64_t{c.GetBkColor()} << 32 | c.GetBorderColor(); }, 0x10112233FF445566},
      {u"<Label align='right' valign='center'/>", style, DT_RIGHT | DT_VCENTER | DT_SINGLELINE},
      {u"<Label align='center' valign='bottom' endellipsis='1'/>", style, DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_END_ELLIPSIS},
      {u"<Label multiline='true'/>", style, DT_VCENTER | DT_WORDBREAK},
      {u"<Label wordbreak='true' wordbreak='false'/>", style, DT_VCENTER | DT_SINGLELINE},
      {u"<Label tooltip=\"bind='IDS_HARDWARE_DETECT_CPU'\" visible='false'/>",
       [](CControlUI& c) -> int64_t { return (c.GetToolTip() == u"Processor") * 10 + c.IsVisible(); }, 10},
      {u"<Button hotbkcolor='0x01020304' text='x'/>",
       [](CControlUI& c) -> int64_t { return dynamic_cast<CButtonUI&>(c).GetHotBkColor() + (c.GetText() == u"x"); }, 0x01020305},
      {u"<Option selected='true' group='g'/>",
       [](CControlUI& c) -> int64_t { auto& o = dynamic_cast<COptionUI&>(c); return o.IsSelected() * 10 + (o.GetGroup() == u"g"); }, 11},
      {u"<AnimPanel elapse='40' loop='false' normalimage='n.png'/>",
       [](CControlUI& c) -> int64_t { auto& a = dynamic_cast<CAnimPanelUI&>(c); return a.GetElapse() * 100 + a.IsLoop() * 10 + (a.GetNormalImage() == u"n.png"); }, 4001},
      {u"<VerticalLayout childpadding='6' vscrollbar='true' width='2'/>",
       [](CControlUI& c) -> int64_t { auto& v = dynamic_cast<CContainerUI&>(c); return v.GetChildPadding() * 100 + v.IsScrollEnabled() * 10 + v.GetFixedWidth(); }, 612},
  };
  for (const Case& c : cases) {
    testenv::LogCapture log;
    CPaintManagerUI manager;
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> control(builder.Create(c.xml, {}, nullptr, &manager));
    ASSERT_NE(control, nullptr) << builder.GetLastErrorMessage();
    EXPECT_EQ(c.seen(*control), c.expected) << platform::Utf16ToUtf8(c.xml);
    EXPECT_TRUE(log.Lines().empty()) << platform::Utf16ToUtf8(c.xml) << ": " << log.Lines().front().message;
  }

  testenv::LogCapture log;
  CDialogBuilder builder;
  std::unique_ptr<CControlUI> control(builder.Create(u"<Button widht='30'/>"));
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(control->GetFixedWidth(), 0);
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_EQ(log.Lines().front().message.rfind("unknown attribute widht", 0), 0u) << log.Lines().front().message;
}

TEST(DialogBuilder, ReadsWindowsStyleNamesUnderTheApplicationDirectory) {
  CDialogBuilder builder;
  std::unique_ptr<CControlUI> root(builder.Create(u"layout\\sysdiagnose_scan.xml"));
  ASSERT_NE(root, nullptr) << builder.GetLastErrorMessage();
  EXPECT_NE(CPaintManagerUI().FindSubControlByName(root.get(), u"lstSysdiagnoseScanItems"), nullptr);
  EXPECT_EQ(root->GetManager(), nullptr);  // built for a window, not in one yet
}

class CustomControl : public CControlUI {
 public:
  std::u16string_view GetClass() const override { return u"Custom"; }
};

class CustomClasses : public IDialogBuilderCallback {
 public:
  CControlUI* CreateControl(std::u16string_view name) override { return name == u"Custom" ? new CustomControl : nullptr; }
};

TEST(DialogBuilder, AsksTheCallbackForClassesItDoesNotKnow) {
  CustomClasses callback;
  CDialogBuilder builder;
  std::unique_ptr<CControlUI> row(builder.Create(u"<HorizontalLayout><Custom name='c'/></HorizontalLayout>", {}, &callback));
  ASSERT_NE(row, nullptr) << builder.GetLastErrorMessage();
  EXPECT_EQ(dynamic_cast<CContainerUI&>(*row).GetItemAt(0)->GetClass(), u"Custom");
}

TEST(DialogBuilder, AddsTheRootToTheParentItIsGiven) {
  CVerticalLayoutUI parent;
  CDialogBuilder builder;
  CControlUI* row = builder.Create(u"<HorizontalLayout/>", {}, nullptr, nullptr, &parent);
  ASSERT_NE(row, nullptr) << builder.GetLastErrorMessage();
  EXPECT_EQ(parent.GetItemAt(0), row);
  EXPECT_EQ(row->GetParent(), &parent);
}

std::u16string Repeat(std::u16string_view text, size_t times) {
  std::u16string out;
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

TEST(DialogBuilder, ABrokenLayoutGivesNullWithItsReasonLogged) {
  const std::string dir = testing::TempDir() + "/builder-layouts";
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/truncated.xml") << "<Window><VerticalLayout><Label></VerticalLayout>";
  struct Case {
    std::u16string xml;
    std::string reason;
  };
  const Case cases[] = {
      {u"layout\\no_such_layout.xml", "cannot read"},
      {platform::Utf8ToUtf16(dir + "/truncated.xml"), "malformed XML"},
      {platform::Utf8ToUtf16(dir), "cannot read"},
      {u"<Window size='10,10'><Font id='1'/></Window>", "holds no control"},
      {u"<VerticalLayout><Lable/></VerticalLayout>", "unknown control <Lable>"},
      {u"<Label><Button/></Label>", "<Label> cannot hold <Button>"},
      {u"<", "malformed XML"},
      {Repeat(u"<VerticalLayout>", 20000) + Repeat(u"</VerticalLayout>", 20000), "deeper than 128 levels"},
  };
  for (const Case& c : cases) {
    testenv::LogCapture log;
    CDialogBuilder builder;
    EXPECT_EQ(builder.Create(c.xml), nullptr) << c.reason;
    EXPECT_NE(builder.GetLastErrorMessage().find(c.reason), std::string::npos) << builder.GetLastErrorMessage();
    const auto warnings = log.LinesAtLeast(log4cplus::WARN_LOG_LEVEL);
    ASSERT_EQ(warnings.size(), 1u) << c.reason;
    EXPECT_NE(warnings.front().message.find(c.reason), std::string::npos);
  }
}

}  // namespace
