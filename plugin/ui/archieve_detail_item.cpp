#include "ui/archieve_detail_item.h"

#include "DuiLib/UIDlgBuilder.h"
#include "DuiLib/UIRender.h"
#include "model/hardware_state.h"

namespace zel::sysdiagnose {
namespace {

constexpr std::u16string_view kLayout = u"layout\\sysdiagnose_archievement_detail.xml";
constexpr DWORD kNormalColor = 0xFF68D568;
constexpr DWORD kAbnormalColor = 0xFFFA2A2D;
constexpr std::u16string_view kNormalMark = u"file='drawable/hardware/ico_right.png'";
constexpr std::u16string_view kAbnormalMark = u"file='drawable/hardware/ic_unusual.png'";

int MeasuredWidth(DuiLib::CControlUI* label, std::u16string_view text) {
  RECT rc{0, 0, 9999, 9999};
  DuiLib::CRenderEngine::DrawText(label->GetManager(), rc, text, 0, label->GetFont(),
                                  label->GetTextStyle() | DT_CALCRECT);
  return rc.right - rc.left;
}

}  // namespace

bool ArchieveDetailItem::Create(DuiLib::CContainerUI* container) {
  if (!container) return false;
  DuiLib::CDialogBuilder builder;
  auto* built = dynamic_cast<DuiLib::CContainerUI*>(builder.Create(kLayout, {}, nullptr, nullptr, container));
  if (!built) return false;
  root = built;
  icon = built->FindSubControl(u"ctlIcon");
  name = built->FindSubControl(u"txtName");
  description = built->FindSubControl(u"txtDescription");
  status = built->FindSubControl(u"ctlStatus");
  return true;
}

void ArchieveDetailItem::Show(const tagXmlUIInfo& info) {
  if (name) {
    name->SetText(info.name);
    if (MeasuredWidth(name, info.name) > name->GetMaxWidth()) name->SetToolTip(info.name);
  }
  if (icon) icon->SetBkImage(info.iconMiddle);
  if (description) description->SetText(info.modelName);
}

void ArchieveDetailItem::ShowState(State state) {
  if (!status) return;
  status->SetBkColor(state == kAbnormal ? kAbnormalColor : kNormalColor);
  status->SetBkImage(state == kNormal ? kNormalMark : state == kAbnormal ? kAbnormalMark : u"");
}

ArchieveDetailItem::State GetHardwareState(int32_t category, const tagQueryDataItem& run) {
  const auto index = StateIndexOf(category);
  if (!index) return ArchieveDetailItem::kNormal;
  const int32_t state = StateAt(run, *index);
  if (state == 0) return ArchieveDetailItem::kNormal;
  return state > 0 ? ArchieveDetailItem::kAbnormal : ArchieveDetailItem::kNotDiagnosed;
}

}  // namespace zel::sysdiagnose
