#include "DuiLib/WindowImplBase.h"

namespace DuiLib {

DUI_BEGIN_MESSAGE_MAP(WindowImplBase, CNotifyPump)
  DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, WindowImplBase::OnClick)
DUI_END_MESSAGE_MAP()

void WindowImplBase::Notify(TNotifyUI& msg) { NotifyPump(msg); }

void WindowImplBase::OnClick(TNotifyUI&) {}

CControlUI* WindowImplBase::CreateControl(std::u16string_view) { return nullptr; }

bool WindowImplBase::OnCreate() {
  m_pm.Init(this);
  CDialogBuilder builder;
  CControlUI* root = builder.Create(GetSkinFile(), {}, this, &m_pm);
  if (!root) return false;
  m_pm.AttachDialog(root);
  m_pm.AddNotifier(this);
  InitWindow();
  return true;
}

}  // namespace DuiLib
