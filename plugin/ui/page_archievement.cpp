#include "ui/page_archievement.h"

#include <unicode/fmtable.h>
#include <unicode/msgfmt.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <system_error>
#include <thread>

#include "DuiLib/UICulture.h"
#include "DuiLib/UIHorizontalLayout.h"
#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIOption.h"
#include "DuiLib/UIRender.h"
#include "DuiLib/UIResourceManager.h"
#include "history/diagnose_history.h"
#include "model/hardware_catalog.h"
#include "platform/clock.h"
#include "platform/encoding.h"
#include "platform/numparse.h"
#include "telemetry/send_event.h"

namespace zel::sysdiagnose {
namespace {

using DuiLib::CContainerUI;
using DuiLib::CControlUI;
using DuiLib::TNotifyUI;

constexpr int64_t kDaySeconds = 86400;
constexpr int kCategoryLineHeight = 40;
// A bar of a run with every category normal rises this far above the minimum.
constexpr int kBarRise = 43;
// The day bars stand on a base line this far below the top of the tip's parent.
constexpr int kBarBaseLine = 52;
constexpr int kTipHeight = 20;
constexpr int kTipMargin = 6;
constexpr int kLegendWidth = 546;
constexpr std::u16string_view kDateOptionPrefix = u"optSysdiagnoseDateItem";
constexpr std::u16string_view kDateButtonPrefix = u"btnSysdiagnoseDateItem";

std::u16string Text(std::u16string_view key) { return UICulture::GetInstance().GetString(key); }

std::u16string Decimal(int64_t n) { return platform::Utf8ToUtf16(std::to_string(n)); }

double Scale() { return DuiLib::CResourceManager::GetDPI() / 96.0; }

int TextWidth(CControlUI* control, std::u16string_view text) {
  RECT rc{0, 0, 9999, 9999};
  DuiLib::CRenderEngine::DrawTextW(control->GetManager(), rc, text, 0, control->GetFont(),
                                   DT_SINGLELINE | DT_CALCRECT);
  return rc.right - rc.left;
}

// Start of the local day of now, in seconds since 1970.
int64_t StartOfToday() {
  const int64_t now = platform::SecondsSince1970();
  const platform::LocalTime local = platform::ToLocalTime(now);
  return now - ((local.hour * 60 + local.minute) * 60 + local.second);
}

}  // namespace

std::u16string FormatCount(std::u16string_view singular, std::u16string_view plural, int n) {
  const std::u16string pattern = Text(n > 1 ? plural : singular);
  char digits[16];
  std::snprintf(digits, sizeof digits, "%d", n);
  const std::u16string argument = platform::Utf8ToUtf16(digits);
  const icu::Formattable arguments[] = {icu::Formattable(icu::UnicodeString(argument.data(), static_cast<int32_t>(argument.size())))};
  icu::UnicodeString result;
  UErrorCode status = U_ZERO_ERROR;
  icu::MessageFormat::format(icu::UnicodeString(pattern.data(), static_cast<int32_t>(pattern.size())), arguments, 1,
                             result, status);
  if (U_FAILURE(status)) return {};
  return std::u16string(result.getBuffer(), static_cast<size_t>(result.length()));
}

std::u16string FormatDayLabel(int64_t seconds) {
  const int64_t start = StartOfToday();
  if (seconds > start) return Text(u"IDS_HARDWARE_DETECT_MAIN_TODAY");
  if (seconds >= start - kDaySeconds && seconds < start) return Text(u"IDS_HARDWARE_DETECT_MAIN_YESTERDAY");
  return UICulture::GetInstance().GetMultiVarStr(u"IDS_HARDWARE_DETECT_MAIN_BEFORE_DAY",
                                                 {(start - seconds) / kDaySeconds + 1});
}

PageArchievement::PageArchievement() : SysdiagnosePage(kPageArchievementInfo) {}

CControlUI* PageArchievement::Find(std::u16string_view name) const {
  return m_pPaintManager ? m_pPaintManager->FindSubControlByName(m_pRoot, name) : nullptr;
}

void PageArchievement::Init() {
  // The legend is measured once the window is laid out: handed over from a short thread, so
  // that it runs after everything queued before it.
  auto handOver = [this, alive = m_alive.GetWeak()] { alive.Post([this] { LayoutStateLegend(); }); };
  try {
    std::thread(handOver).detach();
  } catch (const std::system_error&) {
    handOver();  // no thread to spare: the queue alone gives the same order
  }
  Refresh();
}

void PageArchievement::Refresh() {
  CControlUI* tip = Find(u"txtSysdiagnoseDateItemsTips");
  if (!tip) return;
  tip->SetVisible(false);
  StepSummaryBar(0);
  auto* detail = dynamic_cast<CContainerUI*>(Find(u"lytSysdiagnoseDetail"));
  if (!detail) return;
  detail->RemoveAll();
  m_categoryItems.clear();
  ShowNoHistory();
  GetHardwareCatalog().GetCatalogUIInfos([this](const std::vector<tagXmlUIInfo>& entries) { ShowCategories(entries); });
  DiagnoseHistory::QueryRecentDays(kMaxDays, [this](const std::vector<tagQueryDataItem>& runs) { ShowDays(runs); });
  DiagnoseHistory::QueryRecentDays(1, [this](const std::vector<tagQueryDataItem>& runs) { ShowLatestSummary(runs); });
}

void PageArchievement::ShowCategories(const std::vector<tagXmlUIInfo>& entries) {
  auto* detail = dynamic_cast<CContainerUI*>(Find(u"lytSysdiagnoseDetail"));
  if (!detail) return;
  detail->RemoveAll();
  m_categoryItems.clear();
  for (const tagXmlUIInfo& entry : entries) {
    ArchieveDetailItem item;
    if (!item.Create(detail)) continue;
    item.category = entry.id;
    item.Show(entry);
    m_categoryItems.push_back(item);
  }
  detail->SetFixedHeight(kCategoryLineHeight * static_cast<int>(m_categoryItems.size()));
}

CContainerUI* PageArchievement::ClearDayRow() {
  auto* row = dynamic_cast<CContainerUI*>(Find(u"lytSysdiagnoseDateItems"));
  if (!row) return nullptr;
  row->RemoveAll();
  // The kept bars point into the controls just destroyed: they go too, so that neither the bar
  // animation nor the tip reaches a dead control.
  m_dayItems.clear();
  return row;
}

void PageArchievement::SetDayLabel(int index, const std::u16string& text) {
  if (CControlUI* label = Find(u"txt_hardware_his" + Decimal(index))) label->SetText(text);
}

void PageArchievement::ShowDays(const std::vector<tagQueryDataItem>& runs) {
  if (runs.empty()) return ShowNoHistory();
  CContainerUI* row = ClearDayRow();
  if (!row) return;
  const int count = std::min(static_cast<int>(runs.size()), kMaxDays);
  const int categories = static_cast<int>(m_categoryItems.size());
  for (int k = 0; k < count; ++k) {
    const tagQueryDataItem& run = runs[static_cast<size_t>(count - 1 - k)];
    ArchieveDateItem item;
    if (!item.Create(row, k)) continue;
    // Without any category line there is nothing to measure the run by: the lowest bar.
    item.barHeight = categories == 0 ? ArchieveDateItem::kMinBarHeight
                                     : run.normalCount * kBarRise / categories + ArchieveDateItem::kMinBarHeight;
    item.secondTime = run.secondTime;
    item.normalCount = run.normalCount;
    item.SetReal(true);
    item.SetLeftGap(k == 0 ? 1 : 20);
    m_dayItems.push_back(item);
    SetDayLabel(k, FormatDayLabel(run.secondTime));
    const bool latest = k == count - 1;
    if (item.option) item.option->Selected(latest, latest);
  }
  for (int k = count; k < kMaxDays; ++k) {
    ArchieveDateItem empty;
    if (!empty.Create(row, k)) continue;
    empty.SetLeftGap(20);
    empty.SetReal(false);
    if (empty.label) empty.label->SetText(u"");
    if (empty.option) empty.option->Selected(false, false);
  }
  row->Add(new DuiLib::CHorizontalLayoutUI);
  m_barStep = 0;
  if (auto* list = dynamic_cast<DuiLib::CListUI*>(Find(u"lstSysdiagnoseArchieve"))) {
    list->HomeUp();
    m_pPaintManager->SetTimer(list, kDayBarTimer, kAnimationElapse);
  }
}

void PageArchievement::ShowNoHistory() {
  CContainerUI* row = ClearDayRow();
  if (!row) return;
  for (int k = 0; k < kMaxDays; ++k) SetDayLabel(k, u"");
  ArchieveDateItem today;
  const bool built = today.Create(row, 0);
  if (built && today.option) today.option->SetFixedHeight(ArchieveDateItem::kMinBarHeight);
  // Under its label, as the first of a row of real bars stands.
  if (built) today.SetLeftGap(1);
  row->Add(new DuiLib::CHorizontalLayoutUI);
  if (today.option) today.option->Selected(true, false);
  today.SetReal(true);
  SetDayLabel(0, FormatDayLabel(platform::SecondsSince1970()));
}

void PageArchievement::OnTimer(TNotifyUI& msg) {
  if (!msg.pSender || msg.pSender->GetName() != u"lstSysdiagnoseArchieve") return;
  if (msg.wParam == kDayBarTimer) {
    if (m_barStep >= kAnimationSteps) {
      PlaceDayTip();
      m_pPaintManager->KillTimer(msg.pSender, kDayBarTimer);
    } else {
      ++m_barStep;
      StepDayBars();
    }
  } else if (msg.wParam == kSummaryTimer) {
    if (m_summaryStep < kAnimationSteps) {
      StepSummaryBar(++m_summaryStep);
    } else {
      m_pPaintManager->KillTimer(msg.pSender, kSummaryTimer);
    }
  }
}

void PageArchievement::StepDayBars() {
  for (const ArchieveDateItem& item : m_dayItems) {
    if (!item.option) continue;
    const int rise = item.barHeight - ArchieveDateItem::kMinBarHeight;
    item.option->SetFixedHeight(rise * m_barStep / kAnimationSteps + ArchieveDateItem::kMinBarHeight);
  }
}

void PageArchievement::OnSelectChanged(TNotifyUI& msg) {
  auto* option = dynamic_cast<DuiLib::COptionUI*>(msg.pSender);
  if (!option || !option->IsSelected() || !option->GetName().starts_with(kDateOptionPrefix)) return;
  const int k = platform::Wtoi(option->GetUserData());
  if (k >= 0 && k < static_cast<int>(m_dayItems.size())) {
    DiagnoseHistory::QueryRecord(m_dayItems[static_cast<size_t>(k)].secondTime,
                                 [this](bool found, const tagQueryDataItem& run) { ShowRecord(found, run); });
  }
  PlaceDayTip();
}

void PageArchievement::ShowRecord(bool found, const tagQueryDataItem& run) {
  if (!found) return;
  m_shownRun = run;
  if (CControlUI* date = Find(u"txtSysdiagnoseDetailDate")) date->SetText(FormatDayLabel(run.secondTime));
  m_summaryStep = 0;
  if (CControlUI* list = Find(u"lstSysdiagnoseArchieve")) m_pPaintManager->SetTimer(list, kSummaryTimer, kAnimationElapse);
  ShowDetailStates(run);
}

void PageArchievement::ShowDetailStates(const tagQueryDataItem& run) {
  for (ArchieveDetailItem& item : m_categoryItems) item.ShowState(GetHardwareState(item.category, run));
}

void PageArchievement::StepSummaryBar(int step) {
  CControlUI* normal = Find(u"lytSysdiagnoseNormal");
  CControlUI* abnormal = Find(u"lytSysdiagnoseAbnormal");
  CControlUI* normalNumber = Find(u"txtSysdiagnoseNormalNum");
  CControlUI* abnormalNumber = Find(u"txtSysdiagnoseAbnormalNum");
  if (!normal || !abnormal || !normalNumber || !abnormalNumber) return;
  const int n = m_shownRun.normalCount;
  const int a = m_shownRun.abnormalCount;
  const CControlUI* track = Find(u"lyt_hardware_norm_state");
  const int width = track ? static_cast<int>(track->GetFixedWidth() / Scale()) : 0;
  const int total = n + a;
  const int normalWidth = total == 0 ? 0 : n * width / total;
  const int abnormalWidth = total == 0 ? 0 : a * width / total;
  const auto grow = [step](int value) { return value * step / kAnimationSteps; };
  normal->SetFixedWidth(grow(normalWidth));
  normal->SetVisible(grow(normalWidth) != 0);
  abnormal->SetFixedWidth(grow(abnormalWidth));
  abnormal->SetVisible(grow(abnormalWidth) != 0);
  normalNumber->SetText(FormatCount(u"IDS_HARDWARE_DIAGNOSE_NUM", u"IDS_HARDWARE_DIAGNOSE_NUM", grow(n)));
  abnormalNumber->SetText(FormatCount(u"IDS_HARDWARE_DIAGNOSE_NUM", u"IDS_HARDWARE_DIAGNOSE_NUM", grow(a)));
}

void PageArchievement::PlaceDayTip() {
  for (size_t k = 0; k < m_dayItems.size(); ++k) {
    const ArchieveDateItem& item = m_dayItems[k];
    auto* option = dynamic_cast<DuiLib::COptionUI*>(Find(std::u16string(kDateOptionPrefix) + Decimal(static_cast<int64_t>(k))));
    if (!option || !option->IsSelected()) continue;
    CControlUI* tip = Find(u"txtSysdiagnoseDateItemsTips");
    if (!tip || !tip->GetParent()) return;
    tip->SetText(FormatCount(u"IDS_HARDWARE_DIAGNOSE_NUM_NORMAL", u"IDS_HARDWARE_DIAGNOSE_NUM_NORMAL", item.normalCount));
    const double s = Scale();
    const int width = static_cast<int>(TextWidth(tip, tip->GetText()) + kTipMargin * s);
    const RECT bar = option->GetPos();
    if (bar.left == 0 && bar.right == 0) return;
    const int overhang = (width - (bar.right - bar.left)) / 2;
    const RECT parent = tip->GetParent()->GetPos();
    int left = static_cast<int>((bar.left - parent.left - std::max(0, overhang)) / s);
    int right = left + static_cast<int>(width / s);
    const int top = kBarBaseLine - item.barHeight;
    if (UICulture::GetInstance().getDirection() == UIDirection::RightToLeft) {
      const int room = static_cast<int>((parent.right - parent.left) / s);
      const int mirroredLeft = room - right;
      right = room - left;
      left = mirroredLeft;
    }
    tip->SetAttribute(u"pos", Decimal(left) + u"," + Decimal(top) + u"," + Decimal(right) + u"," +
                                  Decimal(top + kTipHeight));
    tip->SetVisible(true);
    return;
  }
}

void PageArchievement::ShowLatestSummary(const std::vector<tagQueryDataItem>& runs) {
  std::u16string text;
  if (runs.empty()) {
    text = Text(u"IDS_HARDWARE_DETECT_MAIN_DETECT_NEW");
  } else if (runs.front().abnormalCount != 0) {
    text = UICulture::GetInstance().GetMultiVarStr(u"IDS_HARDWARE_DETECT_MAIN_LAST_ABNORM", {runs.front().abnormalCount});
  } else {
    text = Text(u"IDS_HARDWARE_DETECT_MAIN_LAST_NORM");
  }
  if (CControlUI* subtitle = Find(u"txtSysdiagnoseArchievementSecondTitle")) subtitle->SetText(text);
}

void PageArchievement::LayoutStateLegend() {
  CControlUI* normalLabel = Find(u"txt_hardware_norm_state");
  CControlUI* abnormalLabel = Find(u"txt_hardware_abnorm_state");
  CControlUI* normalTrack = Find(u"lyt_hardware_norm_state");
  CControlUI* abnormalTrack = Find(u"lyt_hardware_abnorm_state");
  if (!normalLabel || !abnormalLabel || !normalTrack || !abnormalTrack) return;
  const int width = std::max(TextWidth(normalLabel, Text(u"IDS_HARDWARW_DETECT_NORM_STATE")),
                             TextWidth(abnormalLabel, Text(u"IDS_HARDWARW_DETECT_ABNORM_STATE")));
  const int track = DuiLib::CResourceManager::Scale(kLegendWidth) - width;
  normalLabel->SetFixedWidthEx(width);
  abnormalLabel->SetFixedWidthEx(width);
  normalTrack->SetFixedWidthEx(track);
  abnormalTrack->SetFixedWidthEx(track);
}

void PageArchievement::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const std::u16string& name = msg.pSender->GetName();
  if (name == u"btnSysdiagnoseScan") {
    SendEvent("620000001", "");
    if (m_switchPage) m_switchPage(PAGE_SCAN);
  } else if (name.starts_with(kDateButtonPrefix)) {
    if (auto* bar = dynamic_cast<DuiLib::COptionUI*>(Find(msg.pSender->GetUserData()))) bar->Selected(true, true);
  }
}

}  // namespace zel::sysdiagnose
