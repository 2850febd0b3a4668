#include "ui/ctl_scan_item.h"

#include <algorithm>

#include "DuiLib/UIDlgBuilder.h"
#include "DuiLib/UIResourceManager.h"
#include "shell/status_icon.h"

namespace zel::sysdiagnose {
namespace {

using DuiLib::CControlUI;
using DuiLib::CResourceManager;

constexpr std::u16string_view kItemLayout = u"layout\\sysdiagnose_scan_item.xml";
constexpr std::u16string_view kDetailLayout = u"layout\\sysdiagnose_scan_detail.xml";
constexpr std::u16string_view kFoldedArrow = u"drawable\\hardware\\ic_expansion_light.png";
constexpr std::u16string_view kUnfoldedArrow = u"drawable\\hardware\\ic_collapse_light.png";

constexpr int kRowHeight = 32;
constexpr int kMinContentHeight = 64;
// The divider under "lytHardware" with its paddings.
constexpr int kLineAllowance = 17;
constexpr DWORD kDescriptionColor = 0xFF7F7F7F;
constexpr int kDescriptionFont = 16;
constexpr DWORD kSeparatorColor = 0xFFE5E5E5;
constexpr RECT kSeparatorPadding{0, 16, 0, 15};

int VerticalPadding(const CControlUI* control) {
  const RECT padding = control->GetPadding();
  return padding.top + padding.bottom;
}

// A fixed height in pixels as the layout pass reads it; the sums below are pixel sums.
int Outer(const CControlUI* control) { return VerticalPadding(control) + control->GetFixedHeight(); }

CControlUI* Named(CControlUI* root, std::u16string_view name) {
  auto* container = dynamic_cast<DuiLib::CContainerUI*>(root);
  return container ? container->FindSubControl(name) : nullptr;
}

}  // namespace

bool CtlScanItem::Create(DuiLib::CContainerUI* container) { return Build(container, kItemLayout); }

bool CtlScanItem::Build(DuiLib::CContainerUI* container, std::u16string_view layout) {
  if (!container || m_pRoot) return false;
  DuiLib::CDialogBuilder builder;
  m_pRoot = builder.Create(layout, {}, nullptr, nullptr, container);
  if (!m_pRoot) return false;
  m_pHardware = Named(m_pRoot, u"lytHardware");
  m_pTitle = Named(m_pRoot, u"lytTitle");
  m_pContent = Named(m_pRoot, u"lytContent");
  m_pSmallIcon = Named(m_pRoot, u"ctlSmallIcon");
  m_pName = Named(m_pRoot, u"txtName");
  m_pDescription = Named(m_pRoot, u"txtDescription");
  m_pFolderIcon = Named(m_pRoot, u"ctlFolder");
  m_pChoose = dynamic_cast<DuiLib::CAnimPanelUI*>(Named(m_pRoot, u"optChoose"));
  m_pBigIcon = Named(m_pRoot, u"ctlBigIcon");
  m_pItems = dynamic_cast<DuiLib::CContainerUI*>(Named(m_pRoot, u"lytItems"));
  m_pLine = Named(m_pRoot, u"lytLine");
  m_pFolder = Named(m_pRoot, u"btnFolder");
  if (m_pFolder) m_pFolder->OnNotify += DuiLib::MakeDelegate(this, &CtlScanItem::OnFolderNotify);
  return true;
}

void CtlScanItem::SetSmallIcon(std::u16string_view image) {
  if (m_pSmallIcon) m_pSmallIcon->SetBkImage(image);
}

void CtlScanItem::SetBigIcon(std::u16string_view image) {
  if (m_pBigIcon) m_pBigIcon->SetBkImage(image);
}

void CtlScanItem::SetItemName(std::u16string_view text) {
  if (m_pName) m_pName->SetText(text);
}

void CtlScanItem::SetDescription(std::u16string_view text) {
  if (!m_pDescription) return;
  m_pDescription->SetText(text);
  m_pDescription->SetTextColor(kDescriptionColor);
  m_pDescription->SetFont(kDescriptionFont);
}

void CtlScanItem::SetStatus(int status) {
  SetStatusIcon(m_pChoose, status);
  m_nStatus = status;
}

bool CtlScanItem::IsChosen() const { return m_pChoose && m_pChoose->IsSelected(); }

void CtlScanItem::ShowLine(bool show) {
  if (m_pLine) m_pLine->SetVisible(show);
}

DuiLib::CContainerUI* CtlScanItem::AddRowControls() {
  if (!m_pItems) return nullptr;
  DuiLib::CDialogBuilder builder;
  return dynamic_cast<DuiLib::CContainerUI*>(builder.Create(kDetailLayout, {}, nullptr, nullptr, m_pItems));
}

void CtlScanItem::AddDetailRow(const tagHardwareDetailInfo& row) {
  DuiLib::CContainerUI* line = AddRowControls();
  if (!line) return;
  if (CControlUI* title = Named(line, u"txtTitle")) title->SetText(row.title);
  if (CControlUI* content = Named(line, u"txtContent")) content->SetText(row.content);
  ++m_nRowCount;
  Relayout();
}

void CtlScanItem::AddSeparator() {
  DuiLib::CContainerUI* line = AddRowControls();
  if (!line) return;
  line->RemoveAll();
  auto* rule = new CControlUI;
  rule->SetPadding(kSeparatorPadding);
  rule->SetBkColor(kSeparatorColor);
  rule->SetFixedHeight(1);
  line->Add(rule);
  ++m_nRowCount;
  Relayout();
}

int CtlScanItem::TitleHeight() const { return m_pTitle ? Outer(m_pTitle) : 0; }

int CtlScanItem::ExpandedHeight() const { return TitleHeight() + (m_pContent ? Outer(m_pContent) : 0); }

int CtlScanItem::RootHeightFor(int hardwareHeight) const {
  return CResourceManager::Scale(kLineAllowance) + VerticalPadding(m_pHardware) + hardwareHeight;
}

void CtlScanItem::Relayout() {
  if (!m_pContent) return;
  m_pContent->SetFixedHeight(std::max(kRowHeight * m_nRowCount, kMinContentHeight));
  if (m_pHardware && m_pTitle) m_pHardware->SetFixedHeightEx(ExpandedHeight());
}

bool CtlScanItem::GrowStep() {
  if (!m_pRoot || !m_pHardware) return true;
  const int target = RootHeightFor(m_pHardware->GetFixedHeight());
  const int grown = m_pRoot->GetFixedHeight() + CResourceManager::Scale(m_nGrowthStep);
  m_pRoot->SetFixedHeightEx(grown < target ? grown : target);
  return grown >= target;
}

void CtlScanItem::Fold() {
  if (!m_pRoot || !m_pHardware || !m_pTitle) return;
  m_pHardware->SetFixedHeightEx(TitleHeight());
  m_pRoot->SetFixedHeightEx(RootHeightFor(m_pHardware->GetFixedHeight()));
  if (m_pFolderIcon) m_pFolderIcon->SetBkImage(kFoldedArrow);
  m_bFolded = true;
}

void CtlScanItem::Unfold() {
  if (!m_pRoot || !m_pHardware || !m_pTitle || !m_pContent) return;
  m_pHardware->SetFixedHeightEx(ExpandedHeight());
  m_pRoot->SetFixedHeightEx(RootHeightFor(m_pHardware->GetFixedHeight()));
  if (m_pFolderIcon) m_pFolderIcon->SetBkImage(kUnfoldedArrow);
  m_bFolded = false;
}

bool CtlScanItem::OnFolderNotify(DuiLib::TNotifyUI& msg) {
  if (msg.sType == DuiLib::DUI_MSGTYPE_CLICK) {
    if (m_bFolded) {
      Unfold();
    } else {
      Fold();
    }
  } else if (msg.sType == DuiLib::DUI_MSGTYPE_MOUSEENTER) {
    if (m_pFolderIcon) m_pFolderIcon->SetVisible(true);
  } else if (msg.sType == DuiLib::DUI_MSGTYPE_MOUSELEAVE) {
    if (m_pFolderIcon) m_pFolderIcon->SetVisible(false);
  }
  return true;
}

}  // namespace zel::sysdiagnose
