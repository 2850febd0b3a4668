// CPluginSysdiagnose asked for its user interface: the host's feature switch, the UI context, and
// the page host placed in the host's window through the add-page callable.
#include "shell/plugin_sysdiagnose.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DuiLib/UITabLayout.h"
#include "shell/normal_object.h"
#include "shell/page_index.h"
#include "support/page_window.h"
#include "support/test_env.h"

namespace zel::sysdiagnose {
namespace {

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
TEST(CPluginSysdiagnose, WithTheFeatureSwitchedOffNothingIsBuiltAndTheAnswerIsYes) {
  testenv::UseMachine(R"({"host": {"features": {"zel_plugin_hardware": false}}})");
  x3::NormalObject<CPluginSysdiagnose> plugin;
  HostWindow& host = TheHostWindow();

  EXPECT_TRUE(plugin.CreateUI(&host.context));
  EXPECT_TRUE(plugin.CreateUI(nullptr));
  EXPECT_TRUE(host.added.empty());
  EXPECT_EQ(PageIndex::Instance().GetRoot(), nullptr);
}

TEST(CPluginSysdiagnose, WithTheFeatureOnTheRootIsAddedWithItsTitleAndThePagesAreBuilt) {
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
  EXPECT_EQ(tabs->GetCount(), 3);
  EXPECT_EQ(tabs->GetCurSel(), PAGE_ARCHIEVEMENT);
}

}  // namespace
}  // namespace zel::sysdiagnose
