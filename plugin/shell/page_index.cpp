#include "shell/page_index.h"

#include "DuiLib/UITabLayout.h"
#include "telemetry/send_event.h"

namespace zel::sysdiagnose {
namespace {

constexpr const char* kEventHostTabShown = "620000000";

}  // namespace

PageIndex& PageIndex::Instance() {
  static PageIndex instance;
  return instance;
}

PageIndex::PageIndex() : SysdiagnosePage(kPageIndexInfo) {}

DuiLib::CTabLayoutUI* PageIndex::ContentTabs() const {
  if (m_pPaintManager == nullptr) return nullptr;
  return dynamic_cast<DuiLib::CTabLayoutUI*>(m_pPaintManager->FindControl(kContentTabs));
}

void PageIndex::Init() {
  DuiLib::CTabLayoutUI* tabs = ContentTabs();
  if (tabs == nullptr) return;
  for (SysdiagnosePage* page : {static_cast<SysdiagnosePage*>(&m_pageArchievement),
                                static_cast<SysdiagnosePage*>(&m_pageScan), static_cast<SysdiagnosePage*>(&m_pageDetect)}) {
    page->Create(m_pPaintManager, m_pOwner);
    if (page->GetRoot() == nullptr) continue;
    tabs->Add(page->GetRoot());
    page->Init();
  }
  tabs->SelectItem(PAGE_ARCHIEVEMENT);
  const auto switchPage = [this](enumPageType page) { SwitchPage(page); };
  m_pageArchievement.SetSwitchPageCallback(switchPage);
  m_pageScan.SetSwitchPageCallback(switchPage);
  m_pageDetect.SetSwitchPageCallback(switchPage);
  m_pageScan.SetSelectionCallback([this](const std::vector<enmHardwareID>& chosen) { SetSelectedHardware(chosen); });
}

void PageIndex::SwitchPage(enumPageType page) {
  DuiLib::CTabLayoutUI* tabs = ContentTabs();
  if (tabs == nullptr) return;
  switch (page) {
    case PAGE_ARCHIEVEMENT: m_pageArchievement.Refresh(); break;
    case PAGE_SCAN: m_pageScan.StartScan(); break;
    case PAGE_DETECT: m_pageDetect.StartDetect(m_selectedHardware); break;
    default: break;
  }
  tabs->SelectItem(page);
}

void PageIndex::SetSelectedHardware(const std::vector<enmHardwareID>& categories) { m_selectedHardware = categories; }

void PageIndex::OnTabSelect(DuiLib::TNotifyUI& msg) {
  if (msg.pSender == nullptr || msg.pSender->GetName() != kHostMainControl) return;
  SendEvent(kEventHostTabShown, "");
  m_pageArchievement.Refresh();
}

}  // namespace zel::sysdiagnose
