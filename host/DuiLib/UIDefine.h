#pragma once
// The plain types of the UI library: the Windows geometry records and integer names the host's
// headers use (global, as the Windows SDK declares them), the notification record TNotifyUI, the
// notification type names, and the text-style flags of CRenderEngine::DrawText.
#include <cstdint>
#include <string>
#include <string_view>

using UINT = uint32_t;
using DWORD = uint32_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;

struct RECT {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const RECT&) const = default;
};

struct SIZE {
  int cx = 0;
  int cy = 0;
  bool operator==(const SIZE&) const = default;
};

struct POINT {
  int x = 0;
  int y = 0;
  bool operator==(const POINT&) const = default;
};

// Text styles (the values of the Windows DT_ flags).
inline constexpr UINT DT_TOP = 0x0000;
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_RIGHT = 0x0002;
inline constexpr UINT DT_VCENTER = 0x0004;
inline constexpr UINT DT_BOTTOM = 0x0008;
inline constexpr UINT DT_WORDBREAK = 0x0010;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_CALCRECT = 0x0400;
inline constexpr UINT DT_NOPREFIX = 0x0800;
inline constexpr UINT DT_END_ELLIPSIS = 0x8000;

inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);
inline constexpr UINT IDOK = 1;
inline constexpr UINT IDCANCEL = 2;

namespace DuiLib {

class CControlUI;

// Notification types the controls send.
inline constexpr std::u16string_view DUI_MSGTYPE_CLICK = u"click";
inline constexpr std::u16string_view DUI_MSGTYPE_SELECTCHANGED = u"selectchanged";
inline constexpr std::u16string_view DUI_MSGTYPE_TABSELECTIN = u"tabselectin";
inline constexpr std::u16string_view DUI_MSGTYPE_TIMER = u"timer";
inline constexpr std::u16string_view DUI_MSGTYPE_LINK = u"link";
inline constexpr std::u16string_view DUI_MSGTYPE_MOUSEENTER = u"mouseenter";
inline constexpr std::u16string_view DUI_MSGTYPE_MOUSELEAVE = u"mouseleave";
inline constexpr std::u16string_view DUI_MSGTYPE_ITEMACTIVATE = u"itemactivate";

// One notification: what happened (sType) to which control (pSender). sVirtualWnd is the
// virtual-window name of the sender (its own or its nearest ancestor's), filled in by
// CPaintManagerUI::SendNotify. "timer": wParam is the timer id; "tabselectin": wParam the new
// and lParam the previous tab index; "link": wParam the link's index in the text.
struct TNotifyUI {
  std::u16string sType;
  std::u16string sVirtualWnd;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;  // milliseconds of the UI loop's clock
  POINT ptMouse;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// What reaches a control from the window (the driver) or from its timers.
enum class UIEventType { Click, DoubleClick, MouseEnter, MouseLeave, Link, Timer };

struct TEventUI {
  UIEventType Type = UIEventType::Click;
  WPARAM wParam = 0;  // timer id, link index
};

// A font of the host's font table (CPaintManagerUI::GetFontInfo).
struct TFontInfo {
  int size = 12;  // pixels at 96 DPI
  bool bold = false;
};

}  // namespace DuiLib
