#include "ui/ctl_detect_detail.h"

#include <algorithm>
#include <span>
#include <string_view>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UICulture.h"
#include "DuiLib/UIDelegate.h"
#include "DuiLib/UIDlgBuilder.h"
#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"
#include "DuiLib/UIResourceManager.h"
#include "diagnose/hardware_repair_helper.h"
#include "shell/status_icon.h"
#include "utility/SystemInfo.h"

namespace zel::sysdiagnose {

using DuiLib::CControlUI;

namespace {

constexpr std::u16string_view kLayout = u"layout\\sysdiagnose_detect_detail.xml";
constexpr std::u16string_view kFolded = u"file='drawable/hardware/btn_down.png'";
constexpr std::u16string_view kUnfolded = u"file='drawable/hardware/btn_up.png'";
constexpr std::u16string_view kRepairCommandKey = u"IDS_HARDWARE_DETECT_ITEM_REPAIR_COMMAND";

// Status icons of the shared status-icon routine.
constexpr int kIconBusy = 2;
constexpr int kIconPassed = 3;
constexpr int kIconStopped = 4;
constexpr int kIconAbnormal = 5;
constexpr int kIconRestart = 7;
constexpr int kIconShutdown = 8;

struct Attribute {
  std::u16string_view name;
  std::u16string_view value;
};

// The repair command (and the texts of the restart and shutdown looks): a red button with white
// text for Chinese users, red text for everyone else.
constexpr Attribute kCommandAsButton[] = {
    {u"width", u"56"}, {u"autocalcwidth", u""}, {u"bkcolor", u"#FFFB7779"}, {u"textcolor", u"#FFFFFFFF"}};
constexpr Attribute kCommandAsText[] = {
    {u"width", u""}, {u"autocalcwidth", u"true"}, {u"bkcolor", u""}, {u"textcolor", u"#FFFB7779"}};
constexpr Attribute kSuggestionAsText[] = {
    {u"width", u""}, {u"autocalcwidth", u"true"}, {u"bkcolor", u""}, {u"textcolor", u"#FFFFAA2E"}};

struct RepairLook {
  CtlDetectDetail::Look look;
  int statusIcon;
  bool marksPassed;
  std::u16string_view resultKey;      // shown in "txtResult"; empty: "txtResult" hidden
  std::u16string_view detailDefault;  // "txtDetail" when the result has no message; empty: untouched
  bool detail, type, folder;          // the toggle row: "btnDetail", "txtType", "ctlFolder"
};

using Look = CtlDetectDetail::Look;

constexpr RepairLook kRepairLooks[] = {
    {CtlDetectDetail::Look::kRepairing, kIconBusy, false, u"", u"", false, true, false},
    {CtlDetectDetail::Look::kRepaired, kIconPassed, true, u"", u"", false, true, false},
    {CtlDetectDetail::Look::kFixed, kIconPassed, true, u"", u"", false, true, false},
    {CtlDetectDetail::Look::kRepairedRestart, kIconRestart, true, u"IDS_HARDWARE_DETECT_ITEM_OPERAT_SUCCESS_NEED_RESTART",
     u"IDS_HARDWARE_DETECT_ITEM_OPERAT_SUCCESS_NEED_RESTART_DESCRIPTION", true, false, true},
    {CtlDetectDetail::Look::kRepairedShutdown, kIconShutdown, true,
     u"IDS_HARDWARE_DETECT_ITEM_OPERAT_SUCCESS_NEED_SHUTDOWN",
     u"IDS_HARDWARE_DETECT_ITEM_OPERAT_SUCCESS_NEED_SHUTDOWN_DESCRIPTION", true, false, true},
    {CtlDetectDetail::Look::kRepairFailed, kIconAbnormal, false, u"", u"IDS_HARDWARE_DETECT_ITEM_OPERAT_FAIL", true, true,
     true},
};

const RepairLook* RepairLookOf(Look look) {
  const auto it =
      std::find_if(std::begin(kRepairLooks), std::end(kRepairLooks), [look](const RepairLook& l) { return l.look == look; });
  return it == std::end(kRepairLooks) ? nullptr : it;
}

bool IsChineseUser() {
  std::u16string language = SystemInfo::getCurrentUserLanguage();
  std::transform(language.begin(), language.end(), language.begin(),
                 [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; });
  return language.find(u"zh-cn") != std::u16string::npos;
}

void Apply(CControlUI* control, std::span<const Attribute> attributes) {
  if (!control) return;
  for (const Attribute& a : attributes) control->SetAttribute(a.name, a.value);
}

void SetTextAndTip(CControlUI* control, const std::u16string& text) {
  if (!control) return;
  control->SetText(text);
  control->SetToolTip(text);
}

void Show(CControlUI* control, bool visible) {
  if (control) control->SetVisible(visible);
}

std::u16string Localized(std::u16string_view key) { return UICulture::GetInstance().GetString(key); }

// The text of `key` in the command's dress: a button or coloured text, by the user's language.
void ShowAsCommand(CControlUI* control, std::u16string_view key) {
  if (!control) return;
  control->SetVisible(true);
  SetTextAndTip(control, Localized(key));
  Apply(control, IsChineseUser() ? std::span<const Attribute>(kCommandAsButton) : kCommandAsText);
}

}  // namespace

bool CtlDetectDetail::Create() {
  DuiLib::CDialogBuilder builder;
  root = builder.Create(kLayout);
  if (!root) return false;
  auto* tree = dynamic_cast<DuiLib::CContainerUI*>(root);
  const auto find = [tree](std::u16string_view name) { return tree ? tree->FindSubControl(name) : nullptr; };
  lytTitle = find(u"lytTitle");
  lytDetail = find(u"lytDetail");
  txtTitle = find(u"txtTitle");
  txtResult = find(u"txtResult");
  optChoose = dynamic_cast<DuiLib::CAnimPanelUI*>(find(u"optChoose"));
  btnDetail = find(u"btnDetail");
  txtDetail = find(u"txtDetail");
  lytError = find(u"lytError");
  lytSuggest = find(u"lytSuggest");
  btnSuggest = find(u"btnSuggest");
  txtType = find(u"txtType");
  ctlFolder = find(u"ctlFolder");
  txtSuggest = find(u"txtSuggest");
  if (btnDetail) btnDetail->OnNotify += DuiLib::MakeDelegate(this, &CtlDetectDetail::OnNotify);
  if (btnSuggest) btnSuggest->OnNotify += DuiLib::MakeDelegate(this, &CtlDetectDetail::OnNotify);
  if (!IsChineseUser()) Apply(txtSuggest, kSuggestionAsText);
  return true;
}

void CtlDetectDetail::SetTitle(const std::u16string& name) {
  strTitle = name;
  if (txtTitle) {
    txtTitle->SetText(name);
    RECT measured{0, 0, 9999, 9999};
    DuiLib::CRenderEngine::DrawText(txtTitle->GetManager(), measured, name, 0, txtTitle->GetFont(),
                                    DT_CALCRECT | DT_SINGLELINE);
    // Compared with the room the text has (the control less its text padding): a tooltip exactly
    // when the title is cut short.
    const RECT padding = txtTitle->GetTextPadding();
    const int room = txtTitle->GetWidth() - padding.left - padding.right;
    txtTitle->SetToolTip(measured.right - measured.left > room ? name : u"");
  }
  ShowLook(Look::kRunning, u"");
}

void CtlDetectDetail::SetRepair(const std::u16string& repairName) {
  strRepairName = repairName;
  bHasRepair = !repairName.empty();
}

void CtlDetectDetail::SetResult(const tagHardwareDetectInfo& line) {
  nCode = static_cast<uint32_t>(line.code);
  bSuggest = !line.passed && line.level == 1;
  ShowLook(line.passed ? Look::kPassed : bSuggest ? Look::kSuggestion : Look::kFailed, line.text);
}

void CtlDetectDetail::ShowRepairCommand() { ShowAsCommand(txtResult, kRepairCommandKey); }

void CtlDetectDetail::SetLook(Look look, const RepairResult& result) {
  if (RepairLookOf(look)) ShowLook(look, result.message);
}

bool CtlDetectDetail::IsPassed() const {
  if (look_ == Look::kPassed) return true;
  const RepairLook* repair = RepairLookOf(look_);
  return repair && repair->marksPassed;
}

bool CtlDetectDetail::ShowsToggle() const {
  if (look_ == Look::kFailed) return true;
  const RepairLook* repair = RepairLookOf(look_);
  return repair && repair->detail;
}

void CtlDetectDetail::ShowLook(Look look, const std::u16string& message) {
  look_ = look;
  switch (look) {
    case Look::kRunning:
      return ShowRunning();
    case Look::kSuggestion:
      return ShowSuggestion();
    case Look::kPassed:
    case Look::kFailed:
      return ShowCheckResult(look == Look::kPassed, message);
    default:
      return ShowRepairLook(look, message);
  }
}

void CtlDetectDetail::ShowSuggestion() {
  // The check is over: its busy animation stops (status 4); the one-click fix speaks for it.
  SetStatusIcon(optChoose, kIconStopped);
  Show(lytSuggest, true);
  Show(lytError, false);
  Show(btnDetail, false);
}

void CtlDetectDetail::ShowCheckResult(bool passed, const std::u16string& text) {
  if (passed) {
    SetStatusIcon(optChoose, kIconPassed);
  } else {
    SetStatusIcon(optChoose, kIconAbnormal);
    SetDetailText(text);
  }
  ShowToggleRow(!passed, true, !passed);
  SetFolderImage(bFolded);
}

void CtlDetectDetail::ShowRepairLook(Look look, const std::u16string& message) {
  const RepairLook* it = RepairLookOf(look);
  if (!it) return;
  if (it->statusIcon == kIconBusy) {
    ShowRunning();
  } else {
    SetStatusIcon(optChoose, it->statusIcon);
  }
  if (it->resultKey.empty()) {
    Show(txtResult, false);
  } else {
    ShowAsCommand(txtResult, it->resultKey);
  }
  if (!it->detailDefault.empty()) SetDetailText(Localized(message.empty() ? it->detailDefault : message));
  ShowToggleRow(it->detail, it->type, it->folder);
}

void CtlDetectDetail::Fold() {
  if (lytDetail) {
    lytDetail->SetFixedHeight(0);
    lytDetail->SetVisible(false);
  }
  if (root) root->SetFixedHeight(kTitleRowHeight);
  SetFolderImage(true);
  bFolded = true;
  if (onFold) onFold(true);
}

void CtlDetectDetail::Expand() {
  int height = 0;
  // An empty detail text takes no room (a measured empty text would still be one line high).
  if (txtDetail && !txtDetail->GetText().empty()) {
    RECT measured{0, 0, DuiLib::CResourceManager::Scale(kDetailTextWidth), 9999};
    DuiLib::CRenderEngine::DrawText(txtDetail->GetManager(), measured, txtDetail->GetText(), 0, txtDetail->GetFont(),
                                    DT_CALCRECT | DT_WORDBREAK);
    // Back from pixels to the 96-DPI units the size setters take.
    height = (measured.bottom - measured.top) * 96 / DuiLib::CResourceManager::GetDPI();
  }
  if (lytDetail) {
    lytDetail->SetFixedHeight(height);
    lytDetail->SetVisible(true);
  }
  if (root) root->SetFixedHeight(height + kTitleRowHeight);
  SetFolderImage(false);
  bFolded = false;
  if (onFold) onFold(false);
}

bool CtlDetectDetail::OnNotify(DuiLib::TNotifyUI& msg) {
  if (msg.sType != DuiLib::DUI_MSGTYPE_CLICK || !msg.pSender) return true;
  if (msg.pSender == btnDetail) {
    if (bFolded) {
      Expand();
    } else {
      Fold();
    }
  } else if (msg.pSender == btnSuggest) {
    RepairByOneClick();
  }
  return true;
}

void CtlDetectDetail::ShowRunning() {
  if (!optChoose) return;
  optChoose->SetBkImage(u"");
  SetStatusIcon(optChoose, kIconBusy);
}

void CtlDetectDetail::ShowToggleRow(bool detail, bool type, bool folder) {
  Show(btnDetail, detail);
  Show(txtType, type);
  Show(ctlFolder, folder);
}

void CtlDetectDetail::SetDetailText(const std::u16string& text) { SetTextAndTip(txtDetail, text); }

void CtlDetectDetail::SetFolderImage(bool folded) {
  if (ctlFolder) ctlFolder->SetBkImage(folded ? kFolded : kUnfolded);
}

void CtlDetectDetail::RepairByOneClick() {
  Show(lytSuggest, false);
  Show(lytError, true);
  Show(btnDetail, true);
  ShowLook(Look::kRepairing, u"");
  HardwareRepairHelper::Instance().RepairAsync(strRepairName, nCode, [this, alive = alive_.GetWeak()](RepairResult& result) {
    alive.Post([this, result] { SetLook(result.succeeded ? Look::kFixed : Look::kRepairFailed, result); });
  });
}

}  // namespace zel::sysdiagnose
