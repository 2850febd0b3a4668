#pragma once
// The host's plug-in interfaces. A page plug-in answers IPKTUIPlugin (and so IPKTPlugin): the host
// hands it a UI context and it places its page in the host's window through the add-page callable.
// The order of the operations is the layout the host calls through; UI thread.
#include <functional>
#include <string>

#include "PluginsManager/x3Object.h"

namespace DuiLib {
class CControlUI;
class CNotifyPump;
class CPaintManagerUI;
}  // namespace DuiLib

// What the host gives a plug-in to build its page with.
struct tagUIContext {
  DuiLib::CPaintManagerUI* pPaintManager = nullptr;  // the host window's
  DuiLib::CNotifyPump* pOwner = nullptr;            // the host window's pump, where pages register
  void* pReserved = nullptr;
  // (kind, title, root control): places the plug-in's root control in the window.
  std::function<void(int, const std::u16string&, DuiLib::CControlUI*)> fnAddPage;
};

class IPKTPlugin : public x3::IObject {
 public:
  virtual bool CreateUI(tagUIContext* context) = 0;
  virtual bool OnInitPlugin() = 0;
  virtual bool OnActivate() = 0;
  virtual bool CanClose() = 0;
  virtual void OnDeactivate() = 0;
  virtual void OnClose() = 0;
  virtual void OnSkinChanged() = 0;
  virtual std::u16string GetPluginName() const = 0;
};

class IPKTUIPlugin : public IPKTPlugin {
 public:
  virtual bool BuildUI(DuiLib::CPaintManagerUI* paintManager, DuiLib::CNotifyPump* owner, tagUIContext* context) = 0;
  virtual void OnLanguageChanged() = 0;
};

inline constexpr char kIObjectName[] = "IObject";
inline constexpr char kIPKTPluginName[] = "IPKTPlugin";
inline constexpr char kIPKTUIPluginName[] = "IPKTUIPlugin";
