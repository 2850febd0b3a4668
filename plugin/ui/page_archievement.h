#pragma once
// PageArchievement: the history page, the first page the user sees. A row of up to twelve day
// bars (the latest run of each of the last days that had runs, oldest left, heights by the
// number of normal categories), the selected day's result per category, a two-colour summary
// bar of that run, and a subtitle on the latest run. Its button starts a new diagnosis.
//
// Lives on the UI thread, reads the record store there and writes nothing. The bars grow on
// timer 4001, the summary bar on timer 4002, 20 steps each.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DuiLib/UIList.h"
#include "model/records.h"
#include "shell/sysdiagnose_page.h"
#include "ui/alive_token.h"
#include "ui/archieve_date_item.h"
#include "ui/archieve_detail_item.h"

namespace zel::sysdiagnose {

class PageArchievement : public SysdiagnosePage {
 public:
  using SwitchPageCallback = std::function<void(enumPageType)>;

  static constexpr UINT kDayBarTimer = 4001;
  static constexpr UINT kSummaryTimer = 4002;
  static constexpr UINT kAnimationElapse = 20;
  static constexpr int kAnimationSteps = 20;
  static constexpr int kMaxDays = 12;

  PageArchievement();

  // Set by the page host: its SwitchPage.
  void SetSwitchPageCallback(SwitchPageCallback callback) { m_switchPage = std::move(callback); }

  // Reloads the categories, the day bars and the subtitle from the record store.
  void Refresh();

  void Init() override;
  void OnClick(DuiLib::TNotifyUI& msg) override;
  void OnTimer(DuiLib::TNotifyUI& msg) override;
  void OnSelectChanged(DuiLib::TNotifyUI& msg) override;

  const std::vector<ArchieveDateItem>& DayItems() const { return m_dayItems; }
  const tagQueryDataItem& ShownRun() const { return m_shownRun; }

 private:
  SwitchPageCallback m_switchPage;
  std::vector<ArchieveDateItem> m_dayItems;
  std::vector<ArchieveDetailItem> m_categoryItems;
  int m_barStep = 0;
  tagQueryDataItem m_shownRun;
  int m_summaryStep = 0;
  // Posted work checks it is still wanted: the page may be gone when it runs.
  AliveToken m_alive;

  void ShowCategories(const std::vector<tagXmlUIInfo>& entries);
  void ShowDays(const std::vector<tagQueryDataItem>& runs);
  void ShowNoHistory();
  void ShowRecord(bool found, const tagQueryDataItem& run);
  void ShowDetailStates(const tagQueryDataItem& run);
  void ShowLatestSummary(const std::vector<tagQueryDataItem>& runs);
  void StepSummaryBar(int step);
  void StepDayBars();
  void PlaceDayTip();
  void LayoutStateLegend();
  // Empties the day row; the kept bars go with their controls.
  DuiLib::CContainerUI* ClearDayRow();
  void SetDayLabel(int index, const std::u16string& text);
  DuiLib::CControlUI* Find(std::u16string_view name) const;
};

// The count `n` in the text of `singular` (or `plural` when n > 1), formatted with ICU
// MessageFormat; empty when the pattern cannot be formatted.
std::u16string FormatCount(std::u16string_view singular, std::u16string_view plural, int n);
// "Today", "Yesterday" or "n days ago" for a run made at `seconds`, from the local day of now.
std::u16string FormatDayLabel(int64_t seconds);

}  // namespace zel::sysdiagnose
