#pragma once
// PageScan: the scan page, the second tab of the page host. Every entry clears the page and
// starts a hardware scan; each category of the catalogue becomes a CtlScanItem whose rows grow
// into view one by one (timer 4003), the scan thread waiting for each. When the scan ends the
// list goes back to the top (timer 4004) and every item turns into a ticked check box; the
// detect button hands the ticked categories, in list order, to the page host.
//
// The page's state changes only in SetState, which also shows what the state shows.
//
// Lives on the UI thread. The scan thread only posts rows and waits; what it shares with the
// page (the hand-off block) outlives the page, so a page that goes away mid-scan releases it.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "DuiLib/UIList.h"
#include "hardware/scan_control.h"
#include "model/records.h"
#include "shell/sysdiagnose_page.h"
#include "ui/ctl_scan_item.h"

namespace zel::sysdiagnose {

class PageScan : public SysdiagnosePage {
 public:
  using SwitchPageCallback = std::function<void(enumPageType)>;
  using SelectionCallback = std::function<void(const std::vector<enmHardwareID>&)>;

  enum class State {
    kIdle,        // not entered yet
    kScanning,    // rows grow into view, then the list goes back to the top
    kCancelling,  // the cancel was pressed; the page leaves once the scan has stopped
    kCancelled,   // left for the history page
    kReady,       // the categories can be ticked and diagnosed
  };

  static constexpr UINT kRowGrowthTimer = 4003;
  static constexpr UINT kBackToTopTimer = 4004;
  static constexpr UINT kAnimationElapse = 20;

  PageScan();
  ~PageScan() override;

  // Set by the page host: its SwitchPage and its SetSelectedHardware.
  void SetSwitchPageCallback(SwitchPageCallback callback) { m_switchPage = std::move(callback); }
  void SetSelectionCallback(SelectionCallback callback) { m_selectHardware = std::move(callback); }

  // Entering the page: the scanning look, then a new scan.
  void StartScan();

  void Init() override;
  void OnClick(DuiLib::TNotifyUI& msg) override;
  void OnTimer(DuiLib::TNotifyUI& msg) override;
  void OnSelectChanged(DuiLib::TNotifyUI& msg) override;

  // Whether a scan thread is at work for the page.
  bool IsScanRunning() const { return m_scan->control.running; }
  State GetState() const { return m_state; }
  const std::vector<enmHardwareID>& ScanOrder() const { return m_scanOrder; }

 private:
  // What one scan shares with its thread. A new entry to the page, or the page's end, abandons
  // the scan: its thread is released and stops at the next category, and what it still posts is
  // dropped.
  struct ScanLink {
    ScanControl control;
    std::atomic<bool> abandoned{false};
  };

  SwitchPageCallback m_switchPage;
  SelectionCallback m_selectHardware;

  void SetState(State state);
  void ShowScanningLook();
  void ShowReadyLook();
  void AbandonScan();
  void OnScanRow(enmHardwareID category, const tagHardwareDetailInfo& row);
  CtlScanItem* AddItem(enmHardwareID category);
  void SetSecondTitle(const std::u16string& text);
  void UpdateSelectedCount();
  void OnCancelled();
  void OnGrowthTick();
  void OnBackToTopTick();
  CtlScanItem* ItemOf(int32_t category);
  int ChosenCount() const;
  void SwitchTo(enumPageType page) const;
  // A control of this page by name.
  DuiLib::CControlUI* Find(std::u16string_view name) const;

  DuiLib::CListUI* m_pList = nullptr;
  State m_state = State::kIdle;
  std::map<enmHardwareID, CtlScanItem> m_scanItems;
  std::vector<enmHardwareID> m_scanOrder;
  int32_t m_currentCategory = -1;
  std::shared_ptr<ScanLink> m_scan;
};

}  // namespace zel::sysdiagnose
