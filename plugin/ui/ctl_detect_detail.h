#pragma once
// CtlDetectDetail: one check line of a detect item, a control tree built from
// "layout\sysdiagnose_detect_detail.xml" that the item's "lytItems" owns once it is added. A line
// goes through its looks (Look), which change only in ShowLook; a failed line also offers the
// repair command, and folds and unfolds its detail text. UI thread; the one-click fix repairs on its own
// thread and comes back through the UI queue.
#include <functional>
#include <memory>
#include <string>

#include "DeviceFalutDetect/DeviceFalutDetect.h"
#include "DuiLib/UIControl.h"
#include "DuiLib/UIDefine.h"
#include "model/records.h"
#include "ui/alive_token.h"

namespace DuiLib {
class CAnimPanelUI;
}

namespace zel::sysdiagnose {

class CtlDetectDetail {
 public:
  using RepairResult = HardwareDetect::tagHARDWARE_REPAIR_RESULT;

  // What the line shows: its check running, the check's result, then the looks of its repair.
  enum class Look {
    kRunning,
    kPassed,
    kFailed,      // the check's message under the fold
    kSuggestion,  // a mild finding with a one-click fix
    kRepairing,
    kRepaired,
    kRepairedRestart,
    kRepairedShutdown,
    kFixed,  // repaired by the line's one-click fix
    kRepairFailed,
  };

  static constexpr int kTitleRowHeight = 32;
  static constexpr int kDetailTextWidth = 480;

  CtlDetectDetail() = default;
  CtlDetectDetail(const CtlDetectDetail&) = delete;
  CtlDetectDetail& operator=(const CtlDetectDetail&) = delete;

  // Builds the line; false when the layout cannot be built (the line then stays empty).
  bool Create();
  DuiLib::CControlUI* GetRoot() const { return root; }

  void SetTitle(const std::u16string& name);
  void SetRepair(const std::u16string& repairName);
  void SetResult(const tagHardwareDetectInfo& line);
  void ShowRepairCommand();
  // One of the repair looks, with the repair's result (its message, if any, as the detail).
  void SetLook(Look look, const RepairResult& result);
  void Fold();
  void Expand();
  bool OnNotify(DuiLib::TNotifyUI& msg);

  Look GetLook() const { return look_; }
  bool IsPassed() const;
  bool IsSuggestion() const { return bSuggest; }
  bool HasRepair() const { return bHasRepair; }
  // Not passed, not a mild finding, and with a repair: what the repair run takes on.
  bool NeedsRepair() const { return !IsPassed() && !bSuggest && bHasRepair; }
  bool ShowsToggle() const;
  bool IsFolded() const { return bFolded; }
  const std::u16string& Title() const { return strTitle; }
  const std::u16string& RepairName() const { return strRepairName; }
  uint32_t Code() const { return nCode; }

  // Called with the new folded state, so the item can follow the line's height.
  std::function<void(bool folded)> onFold;

 private:
  // The only place the look changes. `message`: the failed check's text, or a repair's message key.
  void ShowLook(Look look, const std::u16string& message);
  void ShowRunning();
  void ShowSuggestion();
  void ShowCheckResult(bool passed, const std::u16string& text);
  void ShowRepairLook(Look look, const std::u16string& message);
  void ShowToggleRow(bool detail, bool type, bool folder);
  void SetDetailText(const std::u16string& text);
  void SetFolderImage(bool folded);
  void RepairByOneClick();

  DuiLib::CControlUI* root = nullptr;
  DuiLib::CControlUI* lytTitle = nullptr;
  DuiLib::CControlUI* lytDetail = nullptr;
  DuiLib::CControlUI* txtTitle = nullptr;
  DuiLib::CControlUI* txtResult = nullptr;
  DuiLib::CAnimPanelUI* optChoose = nullptr;
  DuiLib::CControlUI* btnDetail = nullptr;
  DuiLib::CControlUI* txtDetail = nullptr;
  DuiLib::CControlUI* lytError = nullptr;
  DuiLib::CControlUI* lytSuggest = nullptr;
  DuiLib::CControlUI* btnSuggest = nullptr;
  DuiLib::CControlUI* txtType = nullptr;
  DuiLib::CControlUI* ctlFolder = nullptr;
  DuiLib::CControlUI* txtSuggest = nullptr;
  Look look_ = Look::kRunning;
  bool bHasRepair = false;
  std::u16string strTitle;
  std::u16string strRepairName;
  uint32_t nCode = 0;
  bool bFolded = true;
  bool bSuggest = false;  // the finding was mild: the one-click fix's, not the repair run's
  // Lets a repair result that comes back after the line is gone find nothing.
  AliveToken alive_;
};

}  // namespace zel::sysdiagnose
