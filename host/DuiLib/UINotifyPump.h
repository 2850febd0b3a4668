#pragma once
// CNotifyPump and message maps: how a window hands notifications to the pages inside it.
//
// A page is a CNotifyPump with a message map, a table of (notification type, control name,
// handler) entries declared in the class and defined in its source:
//
//   class PageScan : public CNotifyPump {
//     DUI_DECLARE_MESSAGE_MAP()
//     void OnClick(TNotifyUI& msg);
//   };
//   DUI_BEGIN_MESSAGE_MAP(PageScan, CNotifyPump)
//     DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, PageScan::OnClick)
//     DUI_ON_MSGTYPE_CTRNAME(DUI_MSGTYPE_CLICK, u"btnBack", PageScan::OnBack)
//   DUI_END_MESSAGE_MAP()
//
// LoopDispatch walks the class's map, then the base maps it chains to: in each map an entry for
// the type and the sender's name wins over one for the type with an empty name (any control);
// the first map with an entry handles the message and dispatch stops. Handlers are called
// through the member pointer, so a virtual handler reaches the override of a derived class.
//
// The window's pump: pages register under a name (AddVirtualWnd) and mark their root control
// with it (SetVirtualWnd); NotifyPump gives a message whose sVirtualWnd names a registered page
// to that page's map first (names compared without regard to case), and to the pump's own map
// when that page has no entry for it.
#include <map>
#include <string>
#include <string_view>

#include "DuiLib/UIDefine.h"

namespace DuiLib {

class CNotifyPump;

// The text of a notification type or control name in a map entry (a view or a literal).
constexpr const char16_t* DuiMsgText(std::u16string_view text) { return text.data(); }

// An entry calls its handler through a small function that turns the pump back into the class
// that declared the handler (a plain member pointer converted to the base would not survive
// multiple inheritance checks).
using DUI_PMSG = void (*)(CNotifyPump*, TNotifyUI&);

template <auto Handler>
struct DuiHandler;

template <class T, void (T::*Handler)(TNotifyUI&)>
struct DuiHandler<Handler> {
  static void Call(CNotifyPump* pump, TNotifyUI& msg) { (static_cast<T*>(pump)->*Handler)(msg); }
};

enum DuiSig : UINT {
  DuiSig_end = 0,
  DuiSig_vn = 2,  // void handler(TNotifyUI&)
};

struct DUI_MSGMAP_ENTRY {
  const char16_t* sMsgType;
  const char16_t* sCtrlName;
  UINT nSig;
  DUI_PMSG pfn;
};

struct DUI_MSGMAP {
  const DUI_MSGMAP* (*pfnGetBaseMap)();
  const DUI_MSGMAP_ENTRY* lpEntries;
};

class CNotifyPump {
 public:
  virtual ~CNotifyPump() = default;

  virtual const DUI_MSGMAP* GetMessageMap() const;

  bool AddVirtualWnd(std::u16string name, CNotifyPump* object);
  bool RemoveVirtualWnd(const std::u16string& name);
  CNotifyPump* GetVirtualWnd(const std::u16string& name) const;
  void NotifyPump(TNotifyUI& msg);
  // Runs the handler the maps hold for the message; false when none does.
  bool LoopDispatch(TNotifyUI& msg);

 protected:
  static const DUI_MSGMAP messageMap;

 private:
  static const DUI_MSGMAP_ENTRY _messageEntries[];
  std::map<std::u16string, CNotifyPump*> m_VirtualWndMap;  // keys in lower case
};

}  // namespace DuiLib

#define DUI_DECLARE_MESSAGE_MAP()                                    \
 private:                                                            \
  static const ::DuiLib::DUI_MSGMAP_ENTRY _messageEntries[];         \
                                                                     \
 protected:                                                          \
  static const ::DuiLib::DUI_MSGMAP messageMap;                      \
  static const ::DuiLib::DUI_MSGMAP* _GetBaseMessageMap();           \
                                                                     \
 public:                                                             \
  const ::DuiLib::DUI_MSGMAP* GetMessageMap() const override;        \
                                                                     \
 private:

#define DUI_BEGIN_MESSAGE_MAP(theClass, baseClass)                                                       \
  const ::DuiLib::DUI_MSGMAP* theClass::_GetBaseMessageMap() { return &baseClass::messageMap; }          \
  const ::DuiLib::DUI_MSGMAP* theClass::GetMessageMap() const { return &theClass::messageMap; }          \
  const ::DuiLib::DUI_MSGMAP theClass::messageMap = {&theClass::_GetBaseMessageMap, &theClass::_messageEntries[0]}; \
  const ::DuiLib::DUI_MSGMAP_ENTRY theClass::_messageEntries[] = {

#define DUI_ON_MSGTYPE(msgtype, memberFxn) \
  {::DuiLib::DuiMsgText(msgtype), u"", ::DuiLib::DuiSig_vn, &::DuiLib::DuiHandler<&memberFxn>::Call},

#define DUI_ON_MSGTYPE_CTRNAME(msgtype, ctrname, memberFxn) \
  {::DuiLib::DuiMsgText(msgtype), ::DuiLib::DuiMsgText(ctrname), ::DuiLib::DuiSig_vn, &::DuiLib::DuiHandler<&memberFxn>::Call},

#define DUI_ON_CLICK_CTRNAME(ctrname, memberFxn) DUI_ON_MSGTYPE_CTRNAME(::DuiLib::DUI_MSGTYPE_CLICK, ctrname, memberFxn)

#define DUI_END_MESSAGE_MAP()                       \
  { u"", u"", ::DuiLib::DuiSig_end, nullptr }       \
  }                                                 \
  ;
