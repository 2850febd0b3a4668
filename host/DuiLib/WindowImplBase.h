#pragma once
// WindowImplBase: a window whose controls come from a layout file. OnCreate builds
// GetSkinFile() (resolved against the application directory, like every layout; GetSkinFolder
// names the host's own skin package and is not needed to find the file here),
// attaches the tree to the window's paint manager m_pm, registers the window as the manager's
// notifier and calls InitWindow. A skin that cannot be built fails Create (it returns null).
//
// Notifications reach Notify, which pumps them through the window's message map (CNotifyPump);
// the base map sends "click" to OnClick. The window's size is the layout's Window size.
#include <string>

#include "DuiLib/UIDlgBuilder.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UINotifyPump.h"
#include "DuiLib/UIWindowWnd.h"

namespace DuiLib {

class WindowImplBase : public CWindowWnd, public CNotifyPump, public INotifyUI, public IDialogBuilderCallback {
 public:
  DUI_DECLARE_MESSAGE_MAP()

 public:
  CPaintManagerUI* GetPaintManager() override { return &m_pm; }

  void Notify(TNotifyUI& msg) override;
  virtual void OnClick(TNotifyUI& msg);
  CControlUI* CreateControl(std::u16string_view className) override;

 protected:
  virtual std::u16string GetSkinFile() = 0;
  virtual std::u16string GetSkinFolder() = 0;
  virtual void InitWindow() {}

  bool OnCreate() override;
  SIZE GetDefaultSize() override { return m_pm.GetInitSize(); }

  CPaintManagerUI m_pm;
};

}  // namespace DuiLib
