#pragma once
// SysdiagnosePage: the base of every page. Create builds the page's controls from its layout
// file and registers the page with the host window's pump under the page's name, so that the
// notifications of the controls under its root reach the page's message map: "click" → OnClick,
// "timer" → OnTimer, "tabselectin" → OnTabSelect, "selectchanged" → OnSelectChanged, "link" →
// OnLink, from any control. The handlers are virtual: a page overrides the ones it needs (and
// needs no map of its own). Init finishes a page once its root is in the window. UI thread.
//
// A page writes its controls' work from other threads as tasks for UIMainQueue::dispatch.
#include <string>

#include "DuiLib/UIControl.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UINotifyPump.h"
#include "shell/page_table.h"

namespace zel::sysdiagnose {

class SysdiagnosePage : public DuiLib::CNotifyPump {
 public:
  explicit SysdiagnosePage(const PageInfo& page);

  DUI_DECLARE_MESSAGE_MAP()

 public:
  virtual void OnClick(DuiLib::TNotifyUI& msg);
  virtual void OnTimer(DuiLib::TNotifyUI& msg);
  virtual void OnTabSelect(DuiLib::TNotifyUI& msg);
  virtual void OnSelectChanged(DuiLib::TNotifyUI& msg);
  virtual void OnLink(DuiLib::TNotifyUI& msg);
  virtual void Init();

  // Builds the root from the layout file; without a root (the file cannot be built) the page
  // stays unregistered.
  void Create(DuiLib::CPaintManagerUI* paintManager, DuiLib::CNotifyPump* owner);

  DuiLib::CControlUI* GetRoot() const { return m_pRoot; }
  const std::u16string& GetName() const { return m_strName; }

 protected:
  DuiLib::CPaintManagerUI* m_pPaintManager = nullptr;
  DuiLib::CNotifyPump* m_pOwner = nullptr;
  DuiLib::CControlUI* m_pRoot = nullptr;
  std::u16string m_strName;
  std::u16string m_strLayout;
};

}  // namespace zel::sysdiagnose
