#include "DuiLib/UIText.h"

#include "DuiLib/UITextMarkup.h"

namespace DuiLib {

CTextUI::CTextUI() { SetTextStyle(DT_WORDBREAK); }

std::u16string_view CTextUI::GetClass() const { return u"Text"; }

int CTextUI::GetLinkCount() const { return IsShowHtml() ? CountTextLinks(GetText()) : 0; }

void CTextUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEventType::Link) {
    if (static_cast<int>(event.wParam) < GetLinkCount()) Notify(DUI_MSGTYPE_LINK, event.wParam);
    return;
  }
  CLabelUI::DoEvent(event);
}

}  // namespace DuiLib
