#pragma once
// CPluginSysdiagnose: the plug-in object the host makes by the class id "zel.plugin.sysdiagnose".
// Asked for its user interface, it builds the page host and hands its root control to the host
// with the localized title. Its concrete class is x3::NormalObject<CPluginSysdiagnose>. UI thread.
#include <cstdint>
#include <string>

#include "PluginsManager/IPKTPlugin.h"

namespace zel::sysdiagnose {

class CPluginSysdiagnose : public IPKTUIPlugin {
 public:
  static constexpr const char* kClassId = "zel.plugin.sysdiagnose";
  static constexpr const char* kClassName = "CPluginSysdiagnose";
  // The host's feature switch that lets the plug-in show its pages.
  static constexpr const char* kFeatureName = "zel_plugin_hardware";

  // The interfaces its objects answer: IPKTUIPlugin and IPKTPlugin (not IObject).
  static bool HasInterface(uint32_t iid);

  bool CreateUI(tagUIContext* context) override;
  bool OnInitPlugin() override { return true; }
  bool OnActivate() override { return true; }
  bool CanClose() override { return true; }
  void OnDeactivate() override {}
  void OnClose() override {}
  void OnSkinChanged() override {}
  std::u16string GetPluginName() const override { return u"PluginSysdiagnose"; }
  bool BuildUI(DuiLib::CPaintManagerUI* paintManager, DuiLib::CNotifyPump* owner, tagUIContext* context) override;
  void OnLanguageChanged() override {}
};

}  // namespace zel::sysdiagnose
