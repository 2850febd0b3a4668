#include "ui/ctl_detect_item.h"

#include <algorithm>
#include <string>

#include "DuiLib/UIResourceManager.h"
#include "platform/encoding.h"

namespace zel::sysdiagnose {

namespace {

constexpr std::u16string_view kItemLayout = u"layout\\sysdiagnose_detect_item.xml";
constexpr int kMinContentHeight = 64;
constexpr DWORD kMessageColor = 0xFFFB7779;
constexpr int kMessageFont = 11;

}  // namespace

bool CtlDetectItem::Create(DuiLib::CContainerUI* container) { return Build(container, kItemLayout); }

void CtlDetectItem::AddCheckLine(const tagDetectItemDetail& detail) {
  if (!m_pItems) return;
  CtlDetectDetail& line = m_lines[m_nLineCount];
  if (!line.Create()) {
    m_lines.erase(m_nLineCount);
    return;
  }
  m_pItems->Add(line.GetRoot());
  line.SetTitle(detail.name);
  line.SetRepair(detail.repairName);
  line.onFold = [this](bool) { OnLineFolded(); };
  ++m_nLineCount;
  Relayout();
}

void CtlDetectItem::ApplyLine(const tagHardwareDetectInfo& line) {
  const auto last = m_lines.find(m_nLineCount - 1);
  if (last != m_lines.end()) last->second.SetResult(line);
}

void CtlDetectItem::EndCategory() {
  for (auto& [index, line] : m_lines) {
    if (line.NeedsRepair()) line.ShowRepairCommand();
  }
}

void CtlDetectItem::AddRepairEntries(std::vector<tagRepairItemInfo>& entries) const {
  for (const auto& [index, line] : m_lines) {
    if (!line.NeedsRepair()) continue;
    // The line's title goes along, so that the page can name the check being repaired.
    entries.push_back({index, line.Title(), line.RepairName(), platform::Utf8ToUtf16(std::to_string(line.Code()))});
  }
}

void CtlDetectItem::PostRunUpdate() {
  for (auto& [index, line] : m_lines) {
    if (line.ShowsToggle()) line.Expand();
  }
}

void CtlDetectItem::SetRepairing() {
  for (auto& [index, line] : m_lines) {
    if (!line.NeedsRepair()) continue;
    line.Fold();
    line.SetLook(CtlDetectDetail::Look::kRepairing, RepairResult{});
  }
}

void CtlDetectItem::SetLineLook(int index, CtlDetectDetail::Look look, const RepairResult& result) {
  const auto it = m_lines.find(index);
  if (it != m_lines.end()) it->second.SetLook(look, result);
}

void CtlDetectItem::ShowMessage(const std::u16string& text) {
  if (!m_pDescription) return;
  m_pDescription->SetText(text);
  m_pDescription->SetTextColor(kMessageColor);
  m_pDescription->SetFont(kMessageFont);
}

void CtlDetectItem::SetVerdictColor(DWORD color) {
  if (m_pBigIcon) m_pBigIcon->SetBkColor(color);
}

const CtlDetectDetail* CtlDetectItem::GetLine(int index) const {
  const auto it = m_lines.find(index);
  return it == m_lines.end() ? nullptr : &it->second;
}

void CtlDetectItem::Relayout() {
  if (!m_pContent) return;
  int lines = 0;
  for (const auto& [index, line] : m_lines) lines += line.GetRoot()->GetFixedHeight();
  m_pContent->SetFixedHeightEx(std::max(lines, DuiLib::CResourceManager::Scale(kMinContentHeight)));
  if (m_pHardware && m_pTitle) m_pHardware->SetFixedHeightEx(ExpandedHeight());
}

void CtlDetectItem::OnLineFolded() {
  Relayout();
  // A grown item follows at once; one the user folded keeps its title row only.
  if (!IsFolded()) Unfold();
}

}  // namespace zel::sysdiagnose
