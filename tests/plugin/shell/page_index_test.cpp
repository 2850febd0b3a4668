// PageIndex, the page host, with the three real pages in the index layout of a host window; and
// CPluginSysdiagnose asked for its user interface: the host's feature switch, the UI context, and
// the page host placed in the host's window through the add-page callable.
#include "shell/page_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "DataReport/EventDataReport.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UITabLayout.h"
#include "platform/encoding.h"
#include "shell/normal_object.h"
#include "shell/plugin_sysdiagnose.h"
#include "support/page_window.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

using namespace std::chrono_literals;

struct AddedPage {
  int kind;
  std::u16string title;
  DuiLib::CControlUI* root;
};

// The host's window. The page host lives until the process ends, so the window it is built into
// does too.
struct HostWindow {
  testenv::UiWindow window{uR"(<Window size="720,560"><TabLayout name="hostTabs"/></Window>)"};
  testenv::HostPump pump;
  std::vector<AddedPage> added;
  tagUIContext context;

  HostWindow() {
    window.manager.AddNotifier(&pump);
    context.pPaintManager = &window.manager;
    context.pOwner = &pump;
    context.fnAddPage = [this](int kind, const std::u16string& title, DuiLib::CControlUI* root) {
      added.push_back({kind, title, root});
      window.Find<DuiLib::CTabLayoutUI>(u"hostTabs")->Add(root);
    };
  }
};

HostWindow& TheHostWindow() {
  static HostWindow* host = new HostWindow();
  return *host;
}


// The feature switch is asked first, so these run before any test builds the page host.
TEST(CPluginSysdiagnose, WithTheFeatureSwitchedOffNothingIsBuilt) {
  testenv::UseMachine(R"({"host": {"features": {"zel_plugin_hardware": false}}})");
  x3::NormalObject<CPluginSysdiagnose> plugin;
  HostWindow& host = TheHostWindow();

  EXPECT_TRUE(plugin.CreateUI(&host.context));
  EXPECT_TRUE(plugin.CreateUI(nullptr));
  EXPECT_TRUE(host.added.empty());
  EXPECT_EQ(PageIndex::Instance().GetRoot(), nullptr);
}

TEST(CPluginSysdiagnose, WithTheFeatureOnThePageHostIsAddedWithItsPages) {
  testenv::UseMachine(R"({"host": {"features": {"zel_plugin_hardware": true}}})");
  testenv::ScopedDataDir data;
  x3::NormalObject<CPluginSysdiagnose> plugin;
  HostWindow& host = TheHostWindow();

  // a null context cannot be built into
  EXPECT_FALSE(plugin.CreateUI(nullptr));
  EXPECT_TRUE(host.added.empty());

  // the host's context
  EXPECT_TRUE(plugin.CreateUI(&host.context));
  ASSERT_EQ(host.added.size(), 1u);
  EXPECT_EQ(host.added[0].kind, 1);
  EXPECT_EQ(host.added[0].title, u"Hardware Diagnosis");
  EXPECT_EQ(host.added[0].root, PageIndex::Instance().GetRoot());
  EXPECT_EQ(host.added[0].root->GetName(), u"SysdiagnoseUIMain");
  auto* tabs = host.window.Find<DuiLib::CTabLayoutUI>(u"tblSysdiagnoseContent");
  ASSERT_NE(tabs, nullptr);
  ASSERT_EQ(tabs->GetCount(), 3);
  EXPECT_EQ(tabs->GetItemAt(PAGE_ARCHIEVEMENT)->GetVirtualWnd(), u"SysdiagnosePageArchievement");
  EXPECT_EQ(tabs->GetItemAt(PAGE_SCAN)->GetVirtualWnd(), u"SysdiagnosePageScan");
  EXPECT_EQ(tabs->GetItemAt(PAGE_DETECT)->GetVirtualWnd(), u"SysdiagnosePageDetect");
  EXPECT_EQ(tabs->GetCurSel(), PAGE_ARCHIEVEMENT) << "the history is shown first";
  EXPECT_TRUE(host.window.driver.IsReachable(host.window.Find(u"btnSysdiagnoseScan")));
}

// Processor and memory answer quickly and pass.
constexpr const char* kNotebook = R"({"hardware": {
    "cpu": {"name": "Core i5-8250U", "manufacturer": "GenuineIntel", "cores": 4, "threads": 8},
    "memory": {"totalMB": 8192, "modules": [{"capacityMB": 8192, "partNumber": "CT8G4"}]}}})";

// The page host in the host's window: the index layout is the page host's own, placed as the host's
// add-page callable places it.
class PageIndexTest : public ::testing::Test {
 protected:
  PageIndexTest() {
    testenv::UseMachine(kNotebook);
    w.manager.AddNotifier(&pump);
    index.Create(&w.manager, &pump);
    hostTabs = w.Find<DuiLib::CTabLayoutUI>(u"hostTabs");
    if (index.GetRoot()) hostTabs->Add(index.GetRoot());
    index.Init();
    hostTabs->SelectItem(1);
    EventDataReport::Instance().ClearSentEvents();
    tabs = w.Find<DuiLib::CTabLayoutUI>(u"tblSysdiagnoseContent");
  }
  ~PageIndexTest() override { Pump([] { return false; }, 200ms); }

  // Moves the loop's clock a frame at a time while the workers run, until `done` or the limit.
  bool Pump(const std::function<bool()>& done, std::chrono::milliseconds limit = 30s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      UIMessageLoop::Instance().RunUntil([&] { return done(); }, 2ms);
      w.driver.Advance(20ms);
    }
    return true;
  }

  std::vector<std::string> DetectItemNames() {
    std::vector<std::string> names;
    auto* list = w.Find<DuiLib::CListUI>(u"lstSysdiagnoseDetectItems");
    for (int i = 0; list && i < list->GetCount(); ++i) {
      names.push_back(platform::Utf16ToUtf8(w.manager.FindSubControlByName(list->GetItemAt(i), u"txtName")->GetText()));
    }
    return names;
  }

  static size_t EventsWithId(const std::string& id) {
    return std::ranges::count(EventDataReport::Instance().SentEvents(), id, &std::pair<std::string, std::string>::first);
  }

  testenv::ScopedDataDir data;
  testenv::UiWindow w{uR"(<Window size="720,560"><TabLayout name="hostTabs"><Control name="home"/></TabLayout></Window>)"};
  testenv::HostPump pump;
  PageIndex index;
  DuiLib::CTabLayoutUI* hostTabs = nullptr;
  DuiLib::CTabLayoutUI* tabs = nullptr;
};

TEST_F(PageIndexTest, TheDetectPageStartsWithTheLatestSelectionInItsOrder) {
  // given the scan page reported memory and processor, then processor alone
  index.SetSelectedHardware({HARDWARE_MEMORY, HARDWARE_CPU});
  EXPECT_EQ(index.SelectedHardware(), (std::vector<enmHardwareID>{HARDWARE_MEMORY, HARDWARE_CPU}));
  index.SetSelectedHardware({HARDWARE_CPU, HARDWARE_MEMORY});

  // when the page host switches to the detect page
  index.SwitchPage(PAGE_DETECT);

  // then that page is shown and diagnoses exactly the second selection, in its order
  EXPECT_EQ(tabs->GetCurSel(), PAGE_DETECT);
  ASSERT_TRUE(Pump([this] { return w.Find(u"lytDetectExecute")->IsVisible(); }));
  EXPECT_EQ(DetectItemNames(), (std::vector<std::string>{"Processor", "Memory"}));

  // and an unknown page type shows nothing new, and a selection after it replaces it rather than
  // adding to it
  index.SwitchPage(static_cast<enumPageType>(7));
  EXPECT_EQ(tabs->GetCurSel(), PAGE_DETECT);
  index.SetSelectedHardware({HARDWARE_MEMORY});
  EXPECT_EQ(index.SelectedHardware(), std::vector<enmHardwareID>{HARDWARE_MEMORY});
}

TEST_F(PageIndexTest, OnlyTheHostsMainControlComingInReports) {
  // when the host shows its own tab, then the plug-in's: "SysdiagnoseUIMain" comes in
  hostTabs->SelectItem(0);
  hostTabs->SelectItem(1);
  EXPECT_EQ(EventsWithId("620000000"), 1u);

  // when another control of the page host says it came in
  w.manager.SendNotify(tabs, DuiLib::DUI_MSGTYPE_TABSELECTIN, 1, 0);
  EXPECT_EQ(EventsWithId("620000000"), 1u);
}

}  // namespace
}  // namespace zel::sysdiagnose
