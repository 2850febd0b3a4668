#include "DuiLib/UINotifyPump.h"

#include "DuiLib/UIControl.h"

namespace DuiLib {
namespace {

std::u16string Lower(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

// The entry of one map for the message: by type and the sender's name first, then by type alone.
const DUI_MSGMAP_ENTRY* FindEntry(const DUI_MSGMAP_ENTRY* entries, const TNotifyUI& msg) {
  const std::u16string_view name = msg.pSender ? std::u16string_view(msg.pSender->GetName()) : std::u16string_view();
  const DUI_MSGMAP_ENTRY* anyControl = nullptr;
  for (const DUI_MSGMAP_ENTRY* e = entries; e && e->nSig != DuiSig_end; ++e) {
    if (msg.sType != e->sMsgType) continue;
    const std::u16string_view control = e->sCtrlName;
    if (control.empty()) {
      if (!anyControl) anyControl = e;
    } else if (control == name) {
      return e;
    }
  }
  return anyControl;
}

}  // namespace

const DUI_MSGMAP_ENTRY CNotifyPump::_messageEntries[] = {{u"", u"", DuiSig_end, nullptr}};
const DUI_MSGMAP CNotifyPump::messageMap = {nullptr, &CNotifyPump::_messageEntries[0]};

const DUI_MSGMAP* CNotifyPump::GetMessageMap() const { return &CNotifyPump::messageMap; }

bool CNotifyPump::AddVirtualWnd(std::u16string name, CNotifyPump* object) {
  if (!object || name.empty()) return false;
  return m_VirtualWndMap.emplace(Lower(std::move(name)), object).second;
}

bool CNotifyPump::RemoveVirtualWnd(const std::u16string& name) { return m_VirtualWndMap.erase(Lower(name)) != 0; }

CNotifyPump* CNotifyPump::GetVirtualWnd(const std::u16string& name) const {
  const auto it = m_VirtualWndMap.find(Lower(name));
  return it == m_VirtualWndMap.end() ? nullptr : it->second;
}

void CNotifyPump::NotifyPump(TNotifyUI& msg) {
  if (!msg.sVirtualWnd.empty()) {
    if (CNotifyPump* page = GetVirtualWnd(msg.sVirtualWnd); page && page != this && page->LoopDispatch(msg)) return;
  }
  LoopDispatch(msg);
}

bool CNotifyPump::LoopDispatch(TNotifyUI& msg) {
  for (const DUI_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    if (const DUI_MSGMAP_ENTRY* entry = FindEntry(map->lpEntries, msg)) {
      if (entry->nSig == DuiSig_vn && entry->pfn) entry->pfn(this, msg);
      return true;
    }
  }
  return false;
}

}  // namespace DuiLib
