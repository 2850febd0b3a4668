#include "ui/page_detect.h"

#include <algorithm>
#include <utility>

#include "DuiLib/UICulture.h"
#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIManager.h"
#include "ipc/ipc_helper.h"
#include "ipc/ipc_messages.h"
#include "model/hardware_catalog.h"
#include "telemetry/send_event.h"
#include "ui/upload_wnd.h"

namespace zel::sysdiagnose {

using DuiLib::CControlUI;
using DuiLib::TNotifyUI;

namespace {

constexpr std::u16string_view kMarkupStart = u"{f 105}{c #7F7F7F}";
constexpr std::u16string_view kMarkupEnd = u"{/c}{/f}";

constexpr DWORD kPassedColor = 0xFF68D568;
constexpr DWORD kNoticeColor = 0xFFFF9800;
constexpr DWORD kAbnormalColor = 0xFFFA2A2D;

constexpr int kBarWidth = 140;

constexpr std::u16string_view kList = u"lstSysdiagnoseDetectItems";
constexpr std::u16string_view kExecuteBar = u"lytDetectExecute";
constexpr std::u16string_view kCancelBar = u"lytDetectCancel";
constexpr std::u16string_view kFirstTitle = u"txtSysdiagnosedDetectFirstTitle";
constexpr std::u16string_view kSecondTitle = u"txtSysdiagnoseDetectSecondTitle";
constexpr std::u16string_view kComplete = u"btnSysdiagnoseDetectComplete";
constexpr std::u16string_view kBack = u"btnSysdiagnoseDetectBack";
constexpr std::u16string_view kCancel = u"btnSysdiagnoseDetectCancel";

// What each page state shows: which bar, and the first title.
struct StateLook {
  PageDetect::State state;
  bool executeBar;
  std::u16string_view firstTitleKey;
};

constexpr StateLook kStateLooks[] = {
    {PageDetect::State::kDetecting, false, u"IDS_HARDWARE_DIAGNOSE_DOING"},
    {PageDetect::State::kResult, true, u"IDS_HARDWARE_DIAGNOSE_RESULT"},
    {PageDetect::State::kRepairing, false, u"IDS_HARDWARE_DIAGNOSE_REPAIRING"},
    {PageDetect::State::kRepairSucceeded, true, u"IDS_HARDWARE_DIAGNOSE_REPAIR_SUCCESS"},
    {PageDetect::State::kRepairFailed, true, u"IDS_HARDWARE_DIAGNOSE_REPAIR_FAIL"},
};

std::u16string Text(std::u16string_view key) { return UICulture::GetInstance().GetString(key); }

void ShowBar(CControlUI* bar, bool shown) {
  bar->SetFixedWidth(shown ? kBarWidth : 0);
  bar->SetVisible(shown);
}

// The complete button's text, and the back button's (empty: hidden).
void SetButtons(CControlUI* complete, CControlUI* back, std::u16string_view completeKey, std::u16string_view backKey) {
  if (complete) complete->SetText(Text(completeKey));
  if (!back) return;
  if (!backKey.empty()) back->SetText(Text(backKey));
  back->SetVisible(!backKey.empty());
}

DWORD VerdictColor(const tagDetectResult& verdict) {
  if (verdict.passed) return kPassedColor;
  return verdict.level != 0 ? kNoticeColor : kAbnormalColor;
}

}  // namespace

PageDetect::PageDetect() : SysdiagnosePage(kPageDetectInfo) {}

PageDetect::~PageDetect() = default;

CControlUI* PageDetect::Find(std::u16string_view name) const {
  return m_pPaintManager && m_pRoot ? m_pPaintManager->FindSubControlByName(m_pRoot, name) : nullptr;
}

void PageDetect::Init() {
  m_pList = dynamic_cast<DuiLib::CListUI*>(Find(kList));
  // The answer comes on a bus thread; the flag is the UI thread's, so the answer is posted.
  m_detectReply = IPCHelper::Instance().SetDetectReplyHandler([this, alive = m_alive.GetWeak()](uint8_t offer) {
    alive.Post([this, offer] { m_uploadOffered = offer != 0; });
  });
}

void PageDetect::StartDetect(std::vector<enmHardwareID> categories) {
  SetPageState(State::kDetecting);
  // Every callable copies what it got into a task for the UI thread; only the line's also waits
  // until the page has shown it.
  const AliveToken::Weak alive = m_alive.GetWeak();
  m_run.Start(
      std::move(categories),
      [this, alive](int32_t c, const tagDetectItemDetail& d) { alive.Post([this, c, d] { OnCheckStart(c, d); }); },
      [this, alive](int32_t c, const tagHardwareDetectInfo& line) {
        m_run.ClearRowConsumed();
        alive.Post([this, c, line] { OnLineResult(c, line); });
        m_run.WaitRowConsumed();
      },
      [this, alive](int32_t c, const std::u16string& text) {
        alive.Post([this, c, text] { OnCategoryMessage(c, text); });
      },
      [this, alive](int32_t c, const tagDetectResult& v) { alive.Post([this, c, v] { OnVerdict(c, v); }); },
      [this, alive](int32_t n, std::vector<enmHardwareID> abnormal) {
        alive.Post([this, n, abnormal = std::move(abnormal)] { OnFinished(n, abnormal); });
      },
      [this, alive] { alive.Post([this] { OnCancelled(); }); });
  tagIPC_MESSAGE_ITEM started = MakeIPCMessage(kLogServiceModule, kMsgDetectStarted, kMsgDetectReply);
  IPCHelper::Instance().Client().PostIPCMessage(started);
}

void PageDetect::SetPageState(State state) {
  m_pageState = state;
  CControlUI* execute = Find(kExecuteBar);
  CControlUI* cancel = Find(kCancelBar);
  if (!execute || !cancel || !m_pList) return;
  const auto look = std::find_if(std::begin(kStateLooks), std::end(kStateLooks),
                                 [state](const StateLook& l) { return l.state == state; });
  if (look == std::end(kStateLooks)) return;
  ShowBar(execute, look->executeBar);
  ShowBar(cancel, !look->executeBar);
  SetFirstTitle(look->firstTitleKey);

  CControlUI* complete = Find(kComplete);
  CControlUI* back = Find(kBack);
  switch (state) {
    case State::kDetecting:
      m_pPaintManager->KillTimer(m_pList, kLineGrowthTimer);
      m_currentCategory = -1;
      m_detectItems.clear();
      m_repairItems.clear();
      m_pList->RemoveAll();
      break;
    case State::kResult:
      if (HasRepairEntries()) {
        SetButtons(complete, back, u"IDS_HARDWARE_DIAGNOSE_REPAIR", u"IDS_HARDWARE_DETECT_BACK_MAIN");
      } else {
        SetButtons(complete, back, u"IDS_HARDWARE_DIAGNOSE_OK", u"");
      }
      break;
    case State::kRepairSucceeded:
      SetButtons(complete, back, u"IDS_HARDWARE_DIAGNOSE_OK", u"");
      break;
    case State::kRepairFailed:
      SetButtons(complete, back, u"IDS_HARDWARE_DIAGNOSE_OK", u"IDS_HARDWARE_DIAGNOSE_REPAIR_CONTINUE");
      SetSecondTitle(UICulture::GetInstance().GetMultiVarStr(u"IDS_HARDWARE_DIAGNOSE_REPAIR_FAIL_DESCRIPTION",
                                                             {CategoriesWithRepairEntries()}));
      break;
    case State::kRepairing:
      break;
  }
}

void PageDetect::OnCheckStart(int32_t category, const tagDetectItemDetail& detail) {
  if (!m_pList) return;
  if (!ItemOf(category)) AddItem(category);
  m_currentCategory = category;
  m_resultApplied = false;
  CtlDetectItem* item = ItemOf(category);
  if (item && !detail.name.empty()) item->AddCheckLine(detail);
  m_pPaintManager->SetTimer(m_pList, kLineGrowthTimer, kAnimationElapse);
  SetSecondTitle(CheckTitle(u"IDS_HARDWARE_DIAGNOSE_ITEM", category, detail.name));
}

CtlDetectItem* PageDetect::AddItem(int32_t category) {
  tagXmlUIInfo info;
  if (!GetHardwareCatalog().GetUIInfo(category, info)) return nullptr;
  const auto id = static_cast<enmHardwareID>(category);
  CtlDetectItem& item = m_detectItems.try_emplace(id).first->second;
  if (!item.Create(m_pList)) {
    m_detectItems.erase(id);
    return nullptr;
  }
  ShowPresentation(item, info);
  item.SetCategory(id);
  if (CtlDetectItem* current = ItemOf(m_currentCategory)) current->ShowLine(true);
  return &item;
}

void PageDetect::ShowPresentation(CtlDetectItem& item, const tagXmlUIInfo& info) {
  item.SetSmallIcon(info.icon30);
  item.SetItemName(info.detectName);
  item.SetDescription(info.summary);
  item.SetBigIcon(info.iconLarge);
}

void PageDetect::OnLineResult(int32_t category, const tagHardwareDetectInfo& line) {
  if (CtlDetectItem* item = ItemOf(category)) item->ApplyLine(line);
  // The worker stays blocked until the line growth sees the item grown.
  m_resultApplied = true;
}

void PageDetect::OnCategoryMessage(int32_t category, const std::u16string& text) {
  if (CtlDetectItem* item = ItemOf(category)) item->ShowMessage(text);
}

void PageDetect::OnVerdict(int32_t category, const tagDetectResult& verdict) {
  CtlDetectItem* item = ItemOf(category);
  if (!item) return;
  item->EndCategory();
  item->SetVerdictColor(VerdictColor(verdict));
}

void PageDetect::OnFinished(int32_t abnormalCount, const std::vector<enmHardwareID>& abnormal) {
  m_abnormalCount = abnormalCount;
  SetSecondTitle(AbnormalCountText() + (m_uploadOffered ? Text(u"IDS_HARDWARE_DIAGNOSE_RESULT_SEND_LOG") : u""));
  for (const auto& [category, item] : m_detectItems) {
    std::vector<tagRepairItemInfo> entries;
    item.AddRepairEntries(entries);
    if (!entries.empty()) m_repairItems[category] = std::move(entries);
  }
  if (!m_pList) return;
  for (auto it = abnormal.rbegin(); it != abnormal.rend(); ++it) {
    CtlDetectItem* item = ItemOf(*it);
    if (!item) continue;
    m_pList->SetItemIndex(item->GetRoot(), 0);
    item->PostRunUpdate();
  }
  for (auto& [category, item] : m_detectItems) {
    item.ShowLine(m_pList->GetItemIndex(item.GetRoot()) != m_pList->GetCount() - 1);
  }
  m_scrollTarget = 0;
  m_pPaintManager->SetTimer(m_pList, kBackToTopTimer, kAnimationElapse);
}

void PageDetect::OnCancelled() {
  if (CControlUI* cancel = Find(kCancel)) cancel->SetEnabled(true);
  SwitchTo(PAGE_ARCHIEVEMENT);
}

void PageDetect::StartRepair() {
  SetPageState(State::kRepairing);
  const AliveToken::Weak alive = m_alive.GetWeak();
  m_run.StartRepair(
      m_repairItems, [this, alive](enmHardwareID c) { alive.Post([this, c] { ScrollToItem(c); }); },
      [this, alive](int32_t, enmHardwareID c, tagRepairItemInfo& e) {
        alive.Post([this, c, e] { OnRepairEntryStart(c, e); });
      },
      [this, alive] { alive.Post([this] { OnCancelled(); }); },
      [this, alive](int32_t, enmHardwareID c, tagRepairItemInfo& e, RepairResult& r) {
        alive.Post([this, c, e, r] { OnRepairEntryDone(c, e, r); });
      },
      [this, alive](int32_t, enmHardwareID c, bool ok) { alive.Post([this, c, ok] { OnRepairCategoryDone(c, ok); }); },
      // The restart flag is the health check's; each line shows its own restart need.
      [this, alive](bool all, bool, int32_t failed) {
        alive.Post([this, all, failed] { OnRepairFinished(all, static_cast<enmHardwareID>(failed)); });
      });
  for (const auto& [category, entries] : m_repairItems) {
    if (CtlDetectItem* item = ItemOf(category); item && !entries.empty()) item->SetRepairing();
  }
}

void PageDetect::OnRepairEntryStart(enmHardwareID category, const tagRepairItemInfo& entry) {
  SetSecondTitle(CheckTitle(u"IDS_HARDWARE_DIAGNOSE_REPAIRING_ITEM", category, entry.title));
}

void PageDetect::OnRepairEntryDone(enmHardwareID category, const tagRepairItemInfo& entry, const RepairResult& result) {
  CtlDetectItem* item = ItemOf(category);
  if (!item) return;
  if (!result.succeeded) {
    item->SetLineLook(entry.itemId, CtlDetectDetail::Look::kRepairFailed, result);
    return;
  }
  using Look = CtlDetectDetail::Look;
  const Look look = result.needShutdown ? Look::kRepairedShutdown
                    : result.needRestart ? Look::kRepairedRestart
                                         : Look::kRepaired;
  item->SetLineLook(entry.itemId, look, result);
  std::vector<tagRepairItemInfo>& entries = m_repairItems[category];
  const auto done = std::find_if(entries.begin(), entries.end(),
                                 [&entry](const tagRepairItemInfo& e) { return e.itemId == entry.itemId; });
  if (done != entries.end()) entries.erase(done);
}

void PageDetect::OnRepairCategoryDone(enmHardwareID category, bool succeeded) {
  CtlDetectItem* item = ItemOf(category);
  if (!item) return;
  if (!succeeded) {
    item->PostRunUpdate();
    return;
  }
  --m_abnormalCount;
  SetSecondTitle(AbnormalCountText());
  tagXmlUIInfo info;
  if (GetHardwareCatalog().GetUIInfo(category, info)) ShowPresentation(*item, info);
  item->SetVerdictColor(kPassedColor);
}

void PageDetect::OnRepairFinished(bool allSucceeded, enmHardwareID firstFailed) {
  if (allSucceeded) {
    SetPageState(State::kRepairSucceeded);
    return;
  }
  SetPageState(State::kRepairFailed);
  if (m_pList) ScrollToItem(firstFailed);
}

void PageDetect::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const std::u16string& name = msg.pSender->GetName();
  if (name == kComplete) {
    if (m_pageState == State::kResult && !HasRepairEntries()) {
      SendEvent("620000005", "");
      SwitchTo(PAGE_ARCHIEVEMENT);
    } else if (m_pageState == State::kResult) {
      StartRepair();
    } else if (m_pageState == State::kRepairSucceeded || m_pageState == State::kRepairFailed) {
      SwitchTo(PAGE_ARCHIEVEMENT);
    }
  } else if (name == kCancel) {
    if (m_pageState == State::kDetecting) SendEvent("620000004", "");
    msg.pSender->SetEnabled(false);
    if (!m_run.IsRunning()) {
      m_alive.Post([this] { OnCancelled(); });
    } else {
      m_run.RequestCancel();
    }
  } else if (name == kBack) {
    if (m_pageState == State::kRepairFailed) {
      StartRepair();
    } else {
      SwitchTo(PAGE_ARCHIEVEMENT);
    }
  }
}

void PageDetect::OnTimer(TNotifyUI& msg) {
  if (!m_pList || msg.pSender != m_pList) return;
  switch (msg.wParam) {
    case kLineGrowthTimer:
      OnLineGrowthTick();
      break;
    case kBackToTopTimer:
      OnBackToTopTick();
      break;
    case kScrollToItemTimer:
      OnScrollToItemTick();
      break;
    default:
      break;
  }
}

void PageDetect::OnLineGrowthTick() {
  // A category without an item has nothing to grow: its lines are released as they come.
  CtlDetectItem* item = ItemOf(m_currentCategory);
  const bool grown = item ? item->GrowStep() : true;
  if (grown && m_resultApplied) {
    m_pPaintManager->KillTimer(m_pList, kLineGrowthTimer);
    m_run.SignalRowConsumed();
  }
  m_pList->EndDown();
}

void PageDetect::OnBackToTopTick() {
  if (m_pList->GetScrollPos().cy > m_scrollTarget) {
    m_pList->LineUp();
    return;
  }
  m_pList->SetScrollPos(SIZE{0, m_scrollTarget});
  SetPageState(State::kResult);
  m_pPaintManager->KillTimer(m_pList, kBackToTopTimer);
}

void PageDetect::OnScrollToItemTick() {
  if (m_scrollStep >= m_scrollSteps) {
    m_pPaintManager->KillTimer(m_pList, kScrollToItemTimer);
    return;
  }
  const int position = m_pList->GetScrollPos().cy;
  m_pList->SetScrollPos(SIZE{0, position + (m_scrollGoal - position) / (m_scrollSteps - m_scrollStep)});
  ++m_scrollStep;
}

void PageDetect::ScrollToItem(int32_t category) {
  CtlDetectItem* item = ItemOf(category);
  if (!m_pList || !item || !item->GetRoot()) return;
  const RECT rc = item->GetRoot()->GetPos();
  const RECT list = m_pList->GetPos();
  if (rc.top >= list.top && rc.bottom < list.bottom) return;
  const int delta = rc.top < list.top ? rc.top - list.top : rc.bottom > list.bottom ? rc.bottom - list.bottom : 0;
  m_scrollGoal = m_pList->GetScrollPos().cy + delta;
  m_scrollStep = 0;
  m_pPaintManager->SetTimer(m_pList, kScrollToItemTimer, kAnimationElapse);
}

void PageDetect::OnLink(TNotifyUI& msg) {
  if (!msg.pSender || msg.pSender->GetName() != kSecondTitle) return;
  OpenUploadWindow();
}

void PageDetect::OpenUploadWindow() {
  UploadWnd window;
  window.Create(m_pPaintManager->GetPaintWindow(), u"", 0, 0x100, 9999, 0);
  window.ShowWindow(true, true);
  window.CenterWindow();
  const UINT result = window.ShowModal();
  SetSecondTitle(AbnormalCountText() + Text(result == 1 ? u"IDS_HARDWARE_DIAGNOSE_RESULT_UPLOAD_LOG"
                                                        : u"IDS_HARDWARE_DIAGNOSE_RESULT_CANCEL_UPLOAD"));
}

CtlDetectItem* PageDetect::ItemOf(int32_t category) {
  const auto it = m_detectItems.find(static_cast<enmHardwareID>(category));
  return it == m_detectItems.end() ? nullptr : &it->second;
}

const CtlDetectItem* PageDetect::GetItem(enmHardwareID category) const {
  const auto it = m_detectItems.find(category);
  return it == m_detectItems.end() ? nullptr : &it->second;
}

bool PageDetect::HasRepairEntries() const { return CategoriesWithRepairEntries() > 0; }

int32_t PageDetect::CategoriesWithRepairEntries() const {
  return static_cast<int32_t>(std::count_if(m_repairItems.begin(), m_repairItems.end(),
                                            [](const auto& entry) { return !entry.second.empty(); }));
}

std::u16string PageDetect::AbnormalCountText() const {
  if (m_abnormalCount < 1) return Text(u"IDS_HARDWARE_DIAGNOSE_RESULT_ABNORM_NOT_FOUND");
  return UICulture::GetInstance().GetMultiVarStr(u"IDS_HARDWARE_DIAGNOSE_ABNORM_RESULT_NUM", {m_abnormalCount});
}

std::u16string PageDetect::CheckTitle(std::u16string_view key, int32_t category, const std::u16string& check) const {
  tagXmlUIInfo info;
  GetHardwareCatalog().GetUIInfo(category, info);
  std::u16string title(kMarkupStart);
  title += Text(key);
  title += u' ';
  title += info.detectName;
  title += check;
  title += kMarkupEnd;
  return title;
}

void PageDetect::SetFirstTitle(std::u16string_view key) {
  if (CControlUI* title = Find(kFirstTitle)) title->SetText(Text(key));
}

void PageDetect::SetSecondTitle(const std::u16string& text) {
  if (CControlUI* title = Find(kSecondTitle)) title->SetText(text);
}

void PageDetect::SwitchTo(enumPageType page) const {
  if (m_switchPage) m_switchPage(page);
}

}  // namespace zel::sysdiagnose
