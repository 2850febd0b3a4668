#include "ui/archieve_date_item.h"

#include <string>

#include "DuiLib/UIDlgBuilder.h"
#include "platform/encoding.h"

namespace zel::sysdiagnose {
namespace {

constexpr std::u16string_view kLayout = u"layout\\sysdiagnose_archievement_date.xml";

struct BarColors {
  DWORD top, bottom, selectedTop, selectedBottom;
};
constexpr BarColors kRealBar{0x677B6EF9, 0x672D78FC, 0xB47B6EF9, 0xB42D78FC};
constexpr BarColors kEmptyBar{0x007B6EF9, 0x002D78FC, 0x007B6EF9, 0x002D78FC};

std::u16string Decimal(int index) { return platform::Utf8ToUtf16(std::to_string(index)); }

}  // namespace

bool ArchieveDateItem::Create(DuiLib::CContainerUI* container, int index) {
  if (!container) return false;
  DuiLib::CDialogBuilder builder;
  auto* built = dynamic_cast<DuiLib::CContainerUI*>(builder.Create(kLayout, {}, nullptr, nullptr, container));
  if (!built) return false;
  root = built;
  option = dynamic_cast<DuiLib::COptionUI*>(built->FindSubControl(u"opt_hardware_his"));
  button = dynamic_cast<DuiLib::CButtonUI*>(built->FindSubControl(u"btn_hardware_his"));
  label = built->FindSubControl(u"txt_hardware_his");
  const std::u16string optionName = u"optSysdiagnoseDateItem" + Decimal(index);
  if (option) {
    option->SetName(optionName);
    option->SetUserData(Decimal(index));
  }
  if (button) {
    button->SetName(u"btnSysdiagnoseDateItem" + Decimal(index));
    button->SetUserData(optionName);
  }
  return true;
}

void ArchieveDateItem::SetReal(bool real) {
  const BarColors& colors = real ? kRealBar : kEmptyBar;
  if (option) {
    option->SetBkColor(colors.top);
    option->SetBkColor2(colors.bottom);
    option->SetSelectedBkColor(colors.selectedTop);
    option->SetSelectedBkColor2(colors.selectedBottom);
    option->SetMouseEnabled(real);
  }
  if (button) button->SetMouseEnabled(real);
}

void ArchieveDateItem::SetLeftGap(int gap) {
  if (!root) return;
  // The bar's column has no other padding.
  root->SetPadding(RECT{gap, 0, 0, 0});
}

}  // namespace zel::sysdiagnose
