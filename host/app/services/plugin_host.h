#pragma once
// PluginHost: the host application's side of the plug-in. It owns the host's main window (a paint
// manager with the host's tabs, and the window's notification pump with which pages register),
// loads zel_plugin_sysdiagnose through the plug-in manager, makes the plug-in object by its class
// id and gives it a UI context whose add-page callable puts the plug-in's root into the host's
// tabs; then it shows that tab, as the host does when the user opens the plug-in. The host's log
// service (0x3B0000) runs beside it, as it does in the host application.
//
// After Load the host reaches the plug-in only through the object, the window and the bus. The
// plug-in stays loaded until the process ends, as the host keeps its plug-ins. UI thread.
#include <chrono>
#include <string>

#include "DuiLib/UIDriver.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UINotifyPump.h"
#include "PluginsManager/IPKTPlugin.h"
#include "app/services/log_service.h"

namespace app {

class PluginHost : public DuiLib::CNotifyPump, public DuiLib::INotifyUI {
 public:
  static constexpr const char* kPluginModule = "zel_plugin_sysdiagnose.dll";
  static constexpr const char* kPluginClassId = "zel.plugin.sysdiagnose";
  // The host's own tab before the plug-in's, and the tab layout that holds both.
  static constexpr std::u16string_view kHostTabs = u"tabHostPlugins";
  static constexpr std::u16string_view kHostHome = u"lytHostHome";
  // The pages' cancel buttons: a run's, which stores a history row, and the scan's, which stores none.
  static constexpr std::u16string_view kDetectCancel = u"btnSysdiagnoseDetectCancel";
  static constexpr std::u16string_view kScanCancel = u"btnSysdiagnoseScanCancel";

  PluginHost();
  ~PluginHost() override;
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // Loads the plug-in and asks it for its page. False, with one line in `error`, when the module,
  // the object or the page cannot be had.
  bool Load(std::string& error);

  DuiLib::CPaintManagerUI& Window() { return m_pm; }
  DuiLib::UIDriver& Driver() { return m_driver; }
  // The plug-in's root control once it placed it; null before.
  DuiLib::CControlUI* PluginRoot() const { return m_pluginRoot; }
  const std::u16string& PluginTitle() const { return m_pluginTitle; }

  // Ends a run of the plug-in's pages as the user would when the host closes: presses the cancel
  // button the page shows, and lets the UI loop run until the cancelled run is stored (at most
  // `timeout`).
  void EndRunningWork(std::chrono::milliseconds timeout = std::chrono::seconds(30));

  void Notify(DuiLib::TNotifyUI& msg) override { NotifyPump(msg); }

 private:
  void AddPage(int kind, const std::u16string& title, DuiLib::CControlUI* root);

  DuiLib::CPaintManagerUI m_pm;
  DuiLib::UIDriver m_driver{m_pm};
  tagUIContext m_context;
  IPKTUIPlugin* m_plugin = nullptr;
  DuiLib::CControlUI* m_pluginRoot = nullptr;
  std::u16string m_pluginTitle;
  LogService m_logService;
};

// The host of this process, made on first use. It lives, with its window, until the process ends,
// as the plug-in's pages (which live that long) hold its controls.
PluginHost& TheHost();
// TheHost with the plug-in loaded; null, after the command's one error line, when it cannot be.
PluginHost* LoadTheHost(const std::string& command);

}  // namespace app
