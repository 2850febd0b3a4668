#include "app/services/plugin_host.h"

#include <vector>

#include "DuiLib/UIDlgBuilder.h"
#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UITabLayout.h"
#include "PluginsManager/PluginsManager.h"
#include "app/commands/command.h"
#include "app/services/stored_runs.h"
#include "utility/CPKTSoftShelf.h"

namespace app {
namespace {

// The host's main window: its own home tab, and the plug-ins' tabs after it.
constexpr std::u16string_view kMainWindow = uR"(<Window size="720,560">
  <TabLayout name="tabHostPlugins" bkcolor="#FFFFFFFF">
    <VerticalLayout name="lytHostHome" />
  </TabLayout>
</Window>)";

// The plug-in objects the host made: kept for the process's life, as the host never destroys them.
std::vector<x3::IObject*>& KeptObjects() {
  static std::vector<x3::IObject*> objects;
  return objects;
}

}  // namespace

PluginHost& TheHost() {
  static PluginHost* host = new PluginHost();  // never destroyed: see the header
  return *host;
}

PluginHost* LoadTheHost(const std::string& command) {
  std::string error;
  if (TheHost().Load(error)) return &TheHost();
  PrintError(command, error);
  return nullptr;
}

PluginHost::PluginHost() {
  DuiLib::CDialogBuilder builder;
  if (DuiLib::CControlUI* root = builder.Create(kMainWindow, {}, nullptr, &m_pm)) m_pm.AttachDialog(root);
  m_pm.AddNotifier(this);
  m_context.pPaintManager = &m_pm;
  m_context.pOwner = this;
  m_context.fnAddPage = [this](int kind, const std::u16string& title, DuiLib::CControlUI* root) {
    AddPage(kind, title, root);
  };
}

PluginHost::~PluginHost() { m_pm.RemoveNotifier(this); }

bool PluginHost::Load(std::string& error) {
  m_logService.Start();
  std::string why;
  if (x3::LoadPlugin(kPluginModule, &why) == nullptr) {
    error = "cannot load the plug-in: " + why;
    return false;
  }
  x3::IObject* object = nullptr;
  if (!x3::CreateObject(kPluginClassId, x3::InterfaceId(kIPKTUIPluginName), &object)) {
    error = std::string("the plug-in makes no ") + kPluginClassId + " object";
    return false;
  }
  KeptObjects().push_back(object);
  m_plugin = static_cast<IPKTUIPlugin*>(object);
  if (!m_plugin->CreateUI(&m_context)) {
    error = "the plug-in refused to build its page";
    return false;
  }
  if (m_pluginRoot == nullptr) {
    error = CPKTSoftShelf::GetInstance().IsSupportPlugin("zel_plugin_hardware")
                ? "the plug-in placed no page in the window"
                : "the host's feature zel_plugin_hardware is switched off: the plug-in shows no page";
    return false;
  }
  auto* tabs = static_cast<DuiLib::CTabLayoutUI*>(m_pm.FindControl(kHostTabs));
  tabs->SelectItem(m_pluginRoot);
  return true;
}

void PluginHost::AddPage(int, const std::u16string& title, DuiLib::CControlUI* root) {
  auto* tabs = static_cast<DuiLib::CTabLayoutUI*>(m_pm.FindControl(kHostTabs));
  if (tabs == nullptr || root == nullptr || !tabs->Add(root)) return;
  m_pluginRoot = root;
  m_pluginTitle = title;
}

}  // namespace app

namespace app {

void PluginHost::EndRunningWork(std::chrono::milliseconds timeout) {
  const int64_t stored = CountSaveAttempts();
  if (DuiLib::CControlUI* scan = m_driver.Find(kScanCancel); scan && m_driver.IsReachable(scan)) m_driver.Click(scan);
  DuiLib::CControlUI* detect = m_driver.Find(kDetectCancel);
  if (detect == nullptr || !m_driver.IsReachable(detect)) return;
  m_driver.Click(detect);
  WaitForSaveAttempts(stored + 1, timeout, [] { UIMessageLoop::Instance().RunUntilIdle(); });
}

}  // namespace app
