#pragma once
// PageDetect: the detect page, the third tab of the page host. StartDetect shows one item per
// chosen category and starts the diagnosis run; each announced check grows into its item as a
// running line (timer 4005), and the worker waits until the line with its result is shown. At
// the end the abnormal categories move to the top, their number is shown, the list returns to
// the top (timer 4006), and the page offers the repair of what can be repaired and, when the
// host's log service allowed it, the upload of the diagnosis logs. The repair run reports line
// by line, scrolling to each category it repairs (timer 4007).
//
// The page's state changes only in SetPageState, which also shows what the state shows.
//
// Lives on the UI thread. The run's workers and the bus only post to the UI queue (the line
// callable also waits for the page); posts that arrive after the page is gone are dropped. The
// page must outlive its runs, as it does in the page host.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "DuiLib/UIList.h"
#include "diagnose/detect_runner.h"
#include "ipc/handler_registration.h"
#include "model/records.h"
#include "shell/sysdiagnose_page.h"
#include "ui/alive_token.h"
#include "ui/ctl_detect_item.h"

namespace zel::sysdiagnose {

class PageDetect : public SysdiagnosePage {
 public:
  using SwitchPageCallback = std::function<void(enumPageType)>;
  using RepairResult = DetectRunner::RepairResult;

  enum class State {
    kDetecting,
    kResult,
    kRepairing,
    kRepairSucceeded,
    kRepairFailed,
  };

  static constexpr UINT kLineGrowthTimer = 4005;
  static constexpr UINT kBackToTopTimer = 4006;
  static constexpr UINT kScrollToItemTimer = 4007;
  static constexpr UINT kAnimationElapse = 20;

  PageDetect();
  ~PageDetect() override;

  // Set by the page host: its SwitchPage.
  void SetSwitchPageCallback(SwitchPageCallback callback) { m_switchPage = std::move(callback); }

  // Called by the page host with a copy of the chosen categories, in their order.
  void StartDetect(std::vector<enmHardwareID> categories);

  void Init() override;
  void OnClick(DuiLib::TNotifyUI& msg) override;
  void OnTimer(DuiLib::TNotifyUI& msg) override;
  void OnLink(DuiLib::TNotifyUI& msg) override;

  State GetPageState() const { return m_pageState; }
  // Whether a diagnosis or repair worker is at work.
  bool IsRunning() const { return m_run.IsRunning(); }
  // Whether the host's log service offered the upload of the diagnosis logs.
  bool IsUploadOffered() const { return m_uploadOffered; }
  const CtlDetectItem* GetItem(enmHardwareID category) const;

 private:
  SwitchPageCallback m_switchPage;

  void SetPageState(State state);

  // The diagnosis run's callables, on the UI thread.
  void OnCheckStart(int32_t category, const tagDetectItemDetail& detail);
  void OnLineResult(int32_t category, const tagHardwareDetectInfo& line);
  void OnCategoryMessage(int32_t category, const std::u16string& text);
  void OnVerdict(int32_t category, const tagDetectResult& verdict);
  void OnFinished(int32_t abnormalCount, const std::vector<enmHardwareID>& abnormal);
  void OnCancelled();

  // The repair run and its callables, on the UI thread.
  void StartRepair();
  void OnRepairEntryStart(enmHardwareID category, const tagRepairItemInfo& entry);
  void OnRepairEntryDone(enmHardwareID category, const tagRepairItemInfo& entry, const RepairResult& result);
  void OnRepairCategoryDone(enmHardwareID category, bool succeeded);
  void OnRepairFinished(bool allSucceeded, enmHardwareID firstFailed);

  void OnLineGrowthTick();
  void OnBackToTopTick();
  void OnScrollToItemTick();
  void ScrollToItem(int32_t category);
  void OpenUploadWindow();

  CtlDetectItem* ItemOf(int32_t category);
  CtlDetectItem* AddItem(int32_t category);
  static void ShowPresentation(CtlDetectItem& item, const tagXmlUIInfo& info);
  bool HasRepairEntries() const;
  int32_t CategoriesWithRepairEntries() const;
  std::u16string AbnormalCountText() const;
  std::u16string CheckTitle(std::u16string_view key, int32_t category, const std::u16string& check) const;
  void SetFirstTitle(std::u16string_view key);
  void SetSecondTitle(const std::u16string& text);
  void SwitchTo(enumPageType page) const;
  DuiLib::CControlUI* Find(std::u16string_view name) const;

  DuiLib::CListUI* m_pList = nullptr;
  DetectRunner m_run;
  State m_pageState = State::kDetecting;
  int32_t m_currentCategory = -1;
  std::map<enmHardwareID, CtlDetectItem> m_detectItems;
  DetectRunner::RepairPlan m_repairItems;
  bool m_resultApplied = false;
  bool m_uploadOffered = false;
  int32_t m_abnormalCount = 0;
  int32_t m_scrollTarget = 0;
  int32_t m_scrollStep = 0;
  int32_t m_scrollSteps = 5;
  int32_t m_scrollGoal = 0;
  AliveToken m_alive;
  HandlerRegistration m_detectReply;  // last: leaves IPCHelper before the rest goes
};

}  // namespace zel::sysdiagnose
