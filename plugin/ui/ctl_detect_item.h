#pragma once
// CtlDetectItem: one diagnosed category of the detect page, the scan item's control tree built
// from "layout\sysdiagnose_detect_item.xml", with one CtlDetectDetail line per announced check in
// "lytItems". It collects its lines' repair entries for the page and applies the page's repair
// results to the right line; its content follows the lines' heights as they are added, folded
// and unfolded. Built in place and never copied or moved; UI thread.
#include <map>
#include <string>
#include <vector>

#include "ui/ctl_detect_detail.h"
#include "ui/ctl_scan_item.h"

namespace zel::sysdiagnose {

class CtlDetectItem : public CtlScanItem {
 public:
  using RepairResult = CtlDetectDetail::RepairResult;

  bool Create(DuiLib::CContainerUI* container) override;

  // A new running line for an announced check.
  void AddCheckLine(const tagDetectItemDetail& detail);
  // The result of the last announced check, on the last line.
  void ApplyLine(const tagHardwareDetectInfo& line);
  // After the category's verdict: the failed lines with a repair show the repair command.
  void EndCategory();
  // One entry per line the repair run can take on: its index, title, repair name and code.
  void AddRepairEntries(std::vector<tagRepairItemInfo>& entries) const;
  // After the run: every line with a fold toggle shows its detail text.
  void PostRunUpdate();
  // A repair run begins: the lines it takes on fold and turn busy.
  void SetRepairing();
  void SetLineLook(int index, CtlDetectDetail::Look look, const RepairResult& result);

  // The category's own message (its presence check failed) in place of the summary.
  void ShowMessage(const std::u16string& text);
  // The verdict's colour behind the big icon.
  void SetVerdictColor(DWORD color);

  int GetLineCount() const { return m_nLineCount; }
  const CtlDetectDetail* GetLine(int index) const;

  // Content height from the lines' heights (at least 64), and the item's full height.
  void Relayout() override;

 private:
  void OnLineFolded();

  std::map<int, CtlDetectDetail> m_lines;
  int m_nLineCount = 0;
};

}  // namespace zel::sysdiagnose
