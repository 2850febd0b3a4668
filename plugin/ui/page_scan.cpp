#include "ui/page_scan.h"

#include <string>

#include "DuiLib/UICulture.h"
#include "DuiLib/UIMainQueue.h"
#include "model/hardware_catalog.h"
#include "telemetry/send_event.h"

namespace zel::sysdiagnose {
namespace {

using DuiLib::CControlUI;
using DuiLib::TNotifyUI;

constexpr int kBarWidth = 140;

std::u16string Text(std::u16string_view key) { return UICulture::GetInstance().GetString(key); }

std::u16string SelectedText(int count) {
  return UICulture::GetInstance().GetMultiVarStr(u"IDS_HARDWARE_DETECT_SELECTED", {count});
}

void ShowBar(CControlUI* bar, bool show) {
  bar->SetFixedWidth(show ? kBarWidth : 0);
  bar->SetVisible(show);
}

}  // namespace

PageScan::PageScan() : SysdiagnosePage(kPageScanInfo), m_scan(std::make_shared<ScanLink>()) {}

PageScan::~PageScan() { AbandonScan(); }

void PageScan::Init() {
  if (m_pPaintManager) {
    m_pList = dynamic_cast<DuiLib::CListUI*>(m_pPaintManager->FindSubControlByName(m_pRoot, u"lstSysdiagnoseScanItems"));
  }
}

CControlUI* PageScan::Find(std::u16string_view name) const {
  return m_pPaintManager ? m_pPaintManager->FindSubControlByName(m_pRoot, name) : nullptr;
}

void PageScan::StartScan() {
  SetState(State::kScanning);
  AbandonScan();
  m_scan = std::make_shared<ScanLink>();
  const std::shared_ptr<ScanLink> link = m_scan;
  auto onRow = [this, link](enmHardwareID category, tagHardwareDetailInfo& row) {
    ClearRowConsumed(link->control);
    // Checked after the clear: an abandon signals after setting the flag, so either this sees
    // the flag or the wait below sees the signal.
    if (link->abandoned) return true;
    UIMainQueue::getInstance().dispatch([this, link, category, row] {
      if (!link->abandoned) OnScanRow(category, row);
    });
    WaitRowConsumed(link->control);
    return true;
  };
  auto onFinished = [this, link](enmHardwareID) {
    UIMainQueue::getInstance().dispatch([this, link] {
      if (link->abandoned) return;
      // A cancel pressed too late for the scan to act on it still leaves for the history: the
      // user asked to leave, not to pick categories.
      if (link->control.cancelRequested.exchange(false)) return OnCancelled();
      if (m_pList) m_pPaintManager->SetTimer(m_pList, kBackToTopTimer, kAnimationElapse);
    });
  };
  auto onCancelled = [this, link] {
    UIMainQueue::getInstance().dispatch([this, link] {
      if (!link->abandoned) OnCancelled();
    });
  };
  StartHardwareScan(link->control, std::move(onRow), std::move(onFinished), std::move(onCancelled));
}

void PageScan::AbandonScan() {
  m_scan->abandoned = true;
  m_scan->control.cancelRequested = true;
  SignalRowConsumed(m_scan->control);
}

void PageScan::SetState(State state) {
  m_state = state;
  CControlUI* cancel = Find(u"btnSysdiagnoseScanCancel");
  switch (state) {
    case State::kScanning:
      ShowScanningLook();
      break;
    case State::kCancelling:
      if (cancel) cancel->SetEnabled(false);
      break;
    case State::kCancelled:
      if (cancel) cancel->SetEnabled(true);
      break;
    case State::kReady:
      ShowReadyLook();
      break;
    case State::kIdle:
      break;
  }
}

void PageScan::ShowScanningLook() {
  CControlUI* execute = Find(u"lytScanExecute");
  CControlUI* cancel = Find(u"lytScanCancel");
  if (!m_pList || !execute || !cancel) return;
  m_pPaintManager->KillTimer(m_pList, kRowGrowthTimer);
  m_pPaintManager->KillTimer(m_pList, kBackToTopTimer);
  ShowBar(execute, false);
  ShowBar(cancel, true);
  // A cancel the previous scan never acted on left the button disabled.
  if (CControlUI* button = Find(u"btnSysdiagnoseScanCancel")) button->SetEnabled(true);
  m_currentCategory = -1;
  // The controls go before the items: the items' folder buttons call back into them.
  m_pList->RemoveAll();
  m_scanItems.clear();
  m_scanOrder.clear();
  if (CControlUI* title = Find(u"txtSysdiagnoseScanFirstTitle")) {
    title->SetText(Text(u"IDS_HARDWARE_DETECT_HARDWARE_SCANNING"));
  }
}

void PageScan::ShowReadyLook() {
  if (CControlUI* execute = Find(u"lytScanExecute")) ShowBar(execute, true);
  if (CControlUI* cancel = Find(u"lytScanCancel")) ShowBar(cancel, false);
  if (CControlUI* title = Find(u"txtSysdiagnoseScanFirstTitle")) title->SetText(Text(u"IDS_HARDWARE_DIAGNOSE_ALL"));
  SetSecondTitle(SelectedText(static_cast<int>(m_scanItems.size())));
  // Ticking the items enables the button again; a scan that found no category leaves nothing
  // to diagnose.
  if (CControlUI* detect = Find(u"btnSysdiagnoseDetect")) detect->SetEnabled(!m_scanItems.empty());
  for (enmHardwareID category : m_scanOrder) ItemOf(category)->SetStatus(CtlScanItem::kStatusCheckBox);
}

CtlScanItem* PageScan::ItemOf(int32_t category) {
  const auto it = m_scanItems.find(static_cast<enmHardwareID>(category));
  return it == m_scanItems.end() ? nullptr : &it->second;
}

CtlScanItem* PageScan::AddItem(enmHardwareID category) {
  tagXmlUIInfo info;
  if (!GetHardwareCatalog().GetUIInfo(category, info)) return nullptr;
  CtlScanItem& item = m_scanItems.try_emplace(category).first->second;
  if (!item.Create(m_pList)) {
    m_scanItems.erase(category);
    return nullptr;
  }
  item.SetCategory(category);
  item.SetSmallIcon(info.icon30);
  item.SetItemName(info.detectName);
  item.SetDescription(info.summary);
  item.SetBigIcon(info.iconLarge);
  CtlScanItem* previous = ItemOf(m_currentCategory);
  if (previous) previous->SetStatus(CtlScanItem::kStatusEmpty);
  item.SetStatus(CtlScanItem::kStatusBusy);
  m_scanOrder.push_back(category);
  if (previous) previous->ShowLine(true);
  return &item;
}

void PageScan::OnScanRow(enmHardwareID category, const tagHardwareDetailInfo& row) {
  GetHardwareCatalog().RefreshModelName(category);
  if (!m_pList) {
    // Nothing to show the row on: release the scan thread rather than leave it blocked forever.
    SignalRowConsumed(m_scan->control);
    return;
  }
  CtlScanItem* item = ItemOf(category);
  if (!item) item = AddItem(category);
  m_currentCategory = category;
  if (item && row.separator == 0) item->AddDetailRow(row);
  if (item && row.separator == 1) item->AddSeparator();
  m_pPaintManager->SetTimer(m_pList, kRowGrowthTimer, kAnimationElapse);
  if (row.separator == 0 && !row.content.empty()) {
    tagXmlUIInfo info;
    GetHardwareCatalog().GetUIInfo(category, info);
    SetSecondTitle(Text(u"IDS_HARDWARE_DETECT_DO_SCANNING") + u" " + info.detectName + row.title);
  }
}

void PageScan::OnTimer(TNotifyUI& msg) {
  if (!m_pList || msg.pSender != m_pList) return;
  if (msg.wParam == kRowGrowthTimer) OnGrowthTick();
  if (msg.wParam == kBackToTopTimer) OnBackToTopTick();
}

void PageScan::OnGrowthTick() {
  CtlScanItem* item = ItemOf(m_currentCategory);
  if (!item || item->GrowStep()) {
    m_pPaintManager->KillTimer(m_pList, kRowGrowthTimer);
    SignalRowConsumed(m_scan->control);
  }
  m_pList->EndDown();
}

void PageScan::OnBackToTopTick() {
  if (m_pList->GetScrollPos().cy != 0) {
    m_pList->LineUp();
    return;
  }
  m_pPaintManager->KillTimer(m_pList, kBackToTopTimer);
  SetState(State::kReady);
}

int PageScan::ChosenCount() const {
  int count = 0;
  for (const auto& [category, item] : m_scanItems) count += item.IsChosen() ? 1 : 0;
  return count;
}

void PageScan::SetSecondTitle(const std::u16string& text) {
  if (CControlUI* title = Find(u"txtSysdiagnoseScanSecondTitle")) title->SetText(text);
}

void PageScan::OnSelectChanged(TNotifyUI&) {
  const int chosen = ChosenCount();
  SetSecondTitle(SelectedText(chosen));
  if (CControlUI* detect = Find(u"btnSysdiagnoseDetect")) detect->SetEnabled(chosen != 0);
}

void PageScan::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const std::u16string& name = msg.pSender->GetName();
  if (name == u"btnSysdiagnoseScanBack") {
    SendEvent("620000002", "");
    SwitchTo(PAGE_ARCHIEVEMENT);
  } else if (name == u"btnSysdiagnoseScanCancel") {
    SendEvent("620000006", "");
    SetState(State::kCancelling);
    if (m_scan->control.running) {
      m_scan->control.cancelRequested = true;
    } else {
      UIMainQueue::getInstance().dispatch([this, link = m_scan] {
        if (!link->abandoned) OnCancelled();
      });
    }
  } else if (name == u"btnSysdiagnoseDetect") {
    SendEvent("620000003", "");
    std::vector<enmHardwareID> chosen;
    for (enmHardwareID category : m_scanOrder) {
      if (ItemOf(category)->IsChosen()) chosen.push_back(category);
    }
    if (m_selectHardware) m_selectHardware(chosen);
    SwitchTo(PAGE_DETECT);
  }
}

void PageScan::OnCancelled() {
  SetState(State::kCancelled);
  SwitchTo(PAGE_ARCHIEVEMENT);
}

void PageScan::SwitchTo(enumPageType page) const {
  if (m_switchPage) m_switchPage(page);
}

}  // namespace zel::sysdiagnose
