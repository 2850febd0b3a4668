#pragma once
// CtlScanItem: one category of the scan page, a plain object around the control tree of
// "layout\sysdiagnose_scan_item.xml": the title row (small icon, name, summary, fold arrow,
// status indicator) over the content (big icon and the information rows), and a divider. The
// item grows into view one step at a time while its rows arrive, and folds on a click of its
// title row. Derived items (the detect item) build from their own layout with the same names.
//
// The controls belong to the container the item was built into: the item never deletes them,
// and it must not outlive them while the window can still deliver input to them (its folder
// button calls back into it). It is built in place and never copied or moved. UI thread.
#include <string_view>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIContainer.h"
#include "DuiLib/UIControl.h"
#include "model/records.h"

namespace zel::sysdiagnose {

class CtlScanItem {
 public:
  // Status indicator looks the scan page uses (see SetStatusIcon).
  static constexpr int kStatusCheckBox = 1;
  static constexpr int kStatusBusy = 2;
  static constexpr int kStatusEmpty = 6;
  // Pixels (at 96 DPI) the root grows by per animation step.
  static constexpr int kGrowthStep = 20;

  CtlScanItem() = default;
  virtual ~CtlScanItem() = default;
  CtlScanItem(const CtlScanItem&) = delete;
  CtlScanItem& operator=(const CtlScanItem&) = delete;

  // Builds the item's controls at the end of `container`, which owns them from then on. False,
  // with nothing built, without a container or when the layout cannot be built.
  virtual bool Create(DuiLib::CContainerUI* container);

  DuiLib::CControlUI* GetRoot() const { return m_pRoot; }
  enmHardwareID GetCategory() const { return m_category; }
  void SetCategory(enmHardwareID category) { m_category = category; }

  void SetSmallIcon(std::u16string_view image);
  void SetBigIcon(std::u16string_view image);
  void SetItemName(std::u16string_view text);
  void SetDescription(std::u16string_view text);

  // The status indicator "optChoose" in one of its numbered looks; GetStatus is the last look set.
  void SetStatus(int status);
  int GetStatus() const { return m_nStatus; }
  // Whether the check box is ticked.
  bool IsChosen() const;
  // The divider under the item.
  void ShowLine(bool show);

  // One information row, or a separator between two devices; each re-lays out the item.
  void AddDetailRow(const tagHardwareDetailInfo& row);
  void AddSeparator();
  int GetRowCount() const { return m_nRowCount; }

  // Content height from the row count (32 per row, at least 64), and the item's full height.
  virtual void Relayout();
  // One step of the growth animation; true once the root has its full height.
  bool GrowStep();
  virtual void Fold();
  virtual void Unfold();
  bool IsFolded() const { return m_bFolded; }

 protected:
  // Builds `layout` into `container` and finds the named controls; subscribes to "btnFolder".
  bool Build(DuiLib::CContainerUI* container, std::u16string_view layout);
  // "btnFolder": a click folds or unfolds; the mouse over it shows the fold arrow.
  bool OnFolderNotify(DuiLib::TNotifyUI& msg);

  // Height in pixels of the title row and of the title row with the content, paddings included.
  int TitleHeight() const;
  int ExpandedHeight() const;
  // Root height in pixels that shows "lytHardware" whole, divider included.
  int RootHeightFor(int hardwareHeight) const;
  // Builds one row of "layout\sysdiagnose_scan_detail.xml" at the end of "lytItems".
  DuiLib::CContainerUI* AddRowControls();

  DuiLib::CControlUI* m_pRoot = nullptr;
  DuiLib::CControlUI* m_pHardware = nullptr;    // "lytHardware"
  DuiLib::CControlUI* m_pTitle = nullptr;       // "lytTitle"
  DuiLib::CControlUI* m_pContent = nullptr;     // "lytContent"
  DuiLib::CControlUI* m_pSmallIcon = nullptr;   // "ctlSmallIcon"
  DuiLib::CControlUI* m_pName = nullptr;        // "txtName"
  DuiLib::CControlUI* m_pDescription = nullptr; // "txtDescription"
  DuiLib::CControlUI* m_pFolderIcon = nullptr;  // "ctlFolder"
  DuiLib::CAnimPanelUI* m_pChoose = nullptr;    // "optChoose"
  DuiLib::CControlUI* m_pBigIcon = nullptr;     // "ctlBigIcon"
  DuiLib::CContainerUI* m_pItems = nullptr;     // "lytItems"
  DuiLib::CControlUI* m_pLine = nullptr;        // "lytLine"
  DuiLib::CControlUI* m_pFolder = nullptr;      // "btnFolder"

  enmHardwareID m_category = static_cast<enmHardwareID>(-1);
  int m_nGrowthStep = kGrowthStep;
  bool m_bFolded = false;
  int m_nStatus = kStatusEmpty;
  int m_nRowCount = 0;
};

}  // namespace zel::sysdiagnose
