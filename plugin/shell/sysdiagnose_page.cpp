#include "shell/sysdiagnose_page.h"

#include "DuiLib/UIDlgBuilder.h"

namespace zel::sysdiagnose {

using DuiLib::TNotifyUI;

DUI_BEGIN_MESSAGE_MAP(SysdiagnosePage, DuiLib::CNotifyPump)
  DUI_ON_MSGTYPE(DuiLib::DUI_MSGTYPE_CLICK, SysdiagnosePage::OnClick)
  DUI_ON_MSGTYPE(DuiLib::DUI_MSGTYPE_TIMER, SysdiagnosePage::OnTimer)
  DUI_ON_MSGTYPE(DuiLib::DUI_MSGTYPE_TABSELECTIN, SysdiagnosePage::OnTabSelect)
  DUI_ON_MSGTYPE(DuiLib::DUI_MSGTYPE_SELECTCHANGED, SysdiagnosePage::OnSelectChanged)
  DUI_ON_MSGTYPE(DuiLib::DUI_MSGTYPE_LINK, SysdiagnosePage::OnLink)
DUI_END_MESSAGE_MAP()

SysdiagnosePage::SysdiagnosePage(const PageInfo& page) : m_strName(page.name), m_strLayout(page.layout) {}

void SysdiagnosePage::OnClick(TNotifyUI&) {}
void SysdiagnosePage::OnTimer(TNotifyUI&) {}
void SysdiagnosePage::OnTabSelect(TNotifyUI&) {}
void SysdiagnosePage::OnSelectChanged(TNotifyUI&) {}
void SysdiagnosePage::OnLink(TNotifyUI&) {}
void SysdiagnosePage::Init() {}

void SysdiagnosePage::Create(DuiLib::CPaintManagerUI* paintManager, DuiLib::CNotifyPump* owner) {
  m_pPaintManager = paintManager;
  m_pOwner = owner;
  DuiLib::CDialogBuilder builder;
  m_pRoot = builder.Create(m_strLayout, {}, nullptr, nullptr, nullptr);
  if (!m_pRoot) return;
  m_pRoot->SetVirtualWnd(m_strName);
  if (m_pOwner) m_pOwner->AddVirtualWnd(m_strName, this);
}

}  // namespace zel::sysdiagnose
