#include "DuiLib/UIControl.h"

#include <algorithm>
#include <atomic>

#include "DuiLib/UIAttribute.h"
#include "DuiLib/UICulture.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"
#include "DuiLib/UIResourceManager.h"
#include "platform/encoding.h"
#include "utility/Logger.h"

namespace DuiLib {
namespace {

uint64_t NextControlId() {
  static std::atomic<uint64_t> next{1};
  return next++;
}

int Scale(int value) { return CResourceManager::Scale(value); }

RECT Scale(RECT rc) { return RECT{Scale(rc.left), Scale(rc.top), Scale(rc.right), Scale(rc.bottom)}; }

}  // namespace

CControlUI::CControlUI() : m_id(NextControlId()) {}

CControlUI::~CControlUI() {
  if (m_pManager) m_pManager->ReapObjects(this);
}

std::u16string_view CControlUI::GetClass() const { return u"Control"; }

void CControlUI::SetName(std::u16string_view name) {
  m_sName = name;
  if (m_pManager) m_pManager->TreeChanged();
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
  if (m_pManager && m_pManager != manager) m_pManager->ReapObjects(this);
  m_pManager = manager;
  m_pParent = parent;
  if (m_pManager) m_pManager->TreeChanged();
  NeedUpdate();
}

void CControlUI::SetText(std::u16string_view text) {
  if (m_sText == text) return;
  m_sText = text;
  NeedUpdate();
}

void CControlUI::SetTextColor(DWORD color) {
  CheckUIThread();
  m_dwTextColor = color;
}
void CControlUI::SetDisabledTextColor(DWORD color) {
  CheckUIThread();
  m_dwDisabledTextColor = color;
}

void CControlUI::SetFont(int index) {
  m_iFont = index;
  NeedUpdate();
}

void CControlUI::SetTextStyle(UINT style) {
  m_uTextStyle = style;
  NeedUpdate();
}

RECT CControlUI::GetTextPadding() const { return Scale(m_rcTextPadding); }

void CControlUI::SetTextPadding(RECT padding) {
  m_rcTextPadding = padding;
  NeedUpdate();
}

void CControlUI::SetShowHtml(bool show) {
  m_bShowHtml = show;
  NeedUpdate();
}

void CControlUI::SetAutoCalcWidth(bool on) {
  m_bAutoCalcWidth = on;
  NeedUpdate();
}

void CControlUI::SetVisible(bool visible) {
  if (m_bVisible == visible) return;
  m_bVisible = visible;
  NeedUpdate();
}

void CControlUI::SetEnabled(bool enabled) {
  CheckUIThread();
  m_bEnabled = enabled;
}

void CControlUI::SetMouseEnabled(bool enabled) {
  CheckUIThread();
  m_bMouseEnabled = enabled;
}

RECT CControlUI::GetPos() const {
  if (m_pManager) m_pManager->UpdateLayout();
  return m_rcItem;
}

int CControlUI::GetWidth() const {
  const RECT rc = GetPos();
  return rc.right - rc.left;
}

int CControlUI::GetHeight() const {
  const RECT rc = GetPos();
  return rc.bottom - rc.top;
}

void CControlUI::SetPos(RECT rc) {
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  m_rcItem = rc;
  m_bLayoutStale = false;
}

void CControlUI::MoveBy(int dx, int dy) {
  m_rcItem.left += dx;
  m_rcItem.right += dx;
  m_rcItem.top += dy;
  m_rcItem.bottom += dy;
}

bool CControlUI::KeepsLayout(RECT rc) {
  if (m_bLayoutStale || rc.right - rc.left != m_rcItem.right - m_rcItem.left ||
      rc.bottom - rc.top != m_rcItem.bottom - m_rcItem.top) {
    return false;
  }
  if (rc.left != m_rcItem.left || rc.top != m_rcItem.top) MoveBy(rc.left - m_rcItem.left, rc.top - m_rcItem.top);
  return true;
}

RECT CControlUI::GetPadding() const { return Scale(m_rcPadding); }

void CControlUI::SetPadding(RECT padding) {
  m_rcPadding = padding;
  NeedUpdate();
}

int CControlUI::GetFixedWidth() const { return m_bFixedWidthInPixels ? m_cxFixed : Scale(m_cxFixed); }
int CControlUI::GetFixedHeight() const { return m_bFixedHeightInPixels ? m_cyFixed : Scale(m_cyFixed); }

void CControlUI::SetFixedWidth(int cx) {
  m_cxFixed = std::max(cx, 0);
  m_bFixedWidthInPixels = false;
  NeedUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
  m_cyFixed = std::max(cy, 0);
  m_bFixedHeightInPixels = false;
  NeedUpdate();
}

void CControlUI::SetFixedWidthEx(int pixels) {
  m_cxFixed = std::max(pixels, 0);
  m_bFixedWidthInPixels = true;
  NeedUpdate();
}

void CControlUI::SetFixedHeightEx(int pixels) {
  m_cyFixed = std::max(pixels, 0);
  m_bFixedHeightInPixels = true;
  NeedUpdate();
}

int CControlUI::GetMinWidth() const { return Scale(m_cxMin); }
int CControlUI::GetMaxWidth() const { return Scale(m_cxMax); }
int CControlUI::GetMinHeight() const { return Scale(m_cyMin); }
int CControlUI::GetMaxHeight() const { return Scale(m_cyMax); }

void CControlUI::SetMinWidth(int cx) {
  m_cxMin = std::max(cx, 0);
  NeedUpdate();
}
void CControlUI::SetMaxWidth(int cx) {
  m_cxMax = std::max(cx, 0);
  NeedUpdate();
}
void CControlUI::SetMinHeight(int cy) {
  m_cyMin = std::max(cy, 0);
  NeedUpdate();
}
void CControlUI::SetMaxHeight(int cy) {
  m_cyMax = std::max(cy, 0);
  NeedUpdate();
}

void CControlUI::SetFloat(bool on) {
  m_bFloat = on;
  NeedUpdate();
}

RECT CControlUI::GetFloatPos() const { return Scale(m_rcFloatPos); }

SIZE CControlUI::EstimateSize(SIZE /*available*/) {
  SIZE size{GetFixedWidth(), GetFixedHeight()};
  if (m_bAutoCalcWidth) {
    const RECT padding = GetTextPadding();
    const SIZE text = CRenderEngine::GetTextSize(m_pManager, GetText(), m_iFont, m_uTextStyle | DT_SINGLELINE, m_bShowHtml);
    size.cx = text.cx + padding.left + padding.right;
  }
  return size;
}

void CControlUI::SetBkColor(DWORD color) {
  CheckUIThread();
  m_dwBackColor = color;
}
void CControlUI::SetBkColor2(DWORD color) {
  CheckUIThread();
  m_dwBackColor2 = color;
}
void CControlUI::SetBkImage(std::u16string_view image) {
  CheckUIThread();
  m_sBkImage = image;
}
void CControlUI::SetBorderColor(DWORD color) { m_dwBorderColor = color; }
int CControlUI::GetBorderSize() const { return Scale(m_nBorderSize); }
void CControlUI::SetBorderSize(int size) { m_nBorderSize = std::max(size, 0); }
int CControlUI::GetBorderRound() const { return Scale(m_nBorderRound); }
void CControlUI::SetBorderRound(int radius) { m_nBorderRound = std::max(radius, 0); }

std::u16string CControlUI::GetVirtualWnd() const {
  for (const CControlUI* c = this; c; c = c->m_pParent) {
    if (!c->m_sVirtualWnd.empty()) return c->m_sVirtualWnd;
  }
  return {};
}

void CControlUI::SetAttribute(std::u16string_view name, std::u16string_view value) {
  using namespace attr;
  using Value = std::u16string_view;
  static constexpr Setter<CControlUI> kAttributes[] = {
      {u"name", [](CControlUI& c, Value v) { c.SetName(v); }},
      {u"text", [](CControlUI& c, Value v) { c.SetText(UICulture::GetInstance().ParseBind(v)); }},
      {u"tooltip", [](CControlUI& c, Value v) { c.SetToolTip(UICulture::GetInstance().ParseBind(v)); }},
      {u"userdata", [](CControlUI& c, Value v) { c.SetUserData(v); }},
      {u"width", [](CControlUI& c, Value v) { c.SetFixedWidth(ToInt(v)); }},
      {u"height", [](CControlUI& c, Value v) { c.SetFixedHeight(ToInt(v)); }},
      {u"minwidth", [](CControlUI& c, Value v) { c.SetMinWidth(ToInt(v)); }},
      {u"maxwidth", [](CControlUI& c, Value v) { c.SetMaxWidth(ToInt(v)); }},
      {u"minheight", [](CControlUI& c, Value v) { c.SetMinHeight(ToInt(v)); }},
      {u"maxheight", [](CControlUI& c, Value v) { c.SetMaxHeight(ToInt(v)); }},
      {u"padding", [](CControlUI& c, Value v) { c.SetPadding(ToRect(v)); }},
      {u"float", [](CControlUI& c, Value v) { c.SetFloat(ToBool(v)); }},
      {u"pos", [](CControlUI& c, Value v) { c.SetFloatPos(ToRect(v)); }},
      {u"visible", [](CControlUI& c, Value v) { c.SetVisible(ToBool(v)); }},
      {u"enabled", [](CControlUI& c, Value v) { c.SetEnabled(ToBool(v)); }},
      {u"mouse", [](CControlUI& c, Value v) { c.SetMouseEnabled(ToBool(v)); }},
      {u"bkcolor", [](CControlUI& c, Value v) { c.SetBkColor(ToColor(v)); }},
      {u"bkcolor2", [](CControlUI& c, Value v) { c.SetBkColor2(ToColor(v)); }},
      {u"bkimage", [](CControlUI& c, Value v) { c.SetBkImage(v); }},
      {u"bordercolor", [](CControlUI& c, Value v) { c.SetBorderColor(ToColor(v)); }},
      {u"bordersize", [](CControlUI& c, Value v) { c.SetBorderSize(ToInt(v)); }},
      {u"borderround", [](CControlUI& c, Value v) { c.SetBorderRound(ToInt(v)); }},
      {u"textcolor", [](CControlUI& c, Value v) { c.SetTextColor(ToColor(v)); }},
      {u"disabledtextcolor", [](CControlUI& c, Value v) { c.SetDisabledTextColor(ToColor(v)); }},
      {u"font", [](CControlUI& c, Value v) { c.SetFont(ToInt(v)); }},
      {u"textpadding", [](CControlUI& c, Value v) { c.SetTextPadding(ToRect(v)); }},
      {u"showhtml", [](CControlUI& c, Value v) { c.SetShowHtml(ToBool(v)); }},
      {u"autocalcwidth", [](CControlUI& c, Value v) { c.SetAutoCalcWidth(ToBool(v)); }},
      {u"align", [](CControlUI& c, Value v) { c.SetTextAlign(v); }},
      {u"valign", [](CControlUI& c, Value v) { c.SetTextVAlign(v); }},
      {u"endellipsis", [](CControlUI& c, Value v) { c.SetTextStyleBits(DT_END_ELLIPSIS, 0, ToBool(v)); }},
      {u"multiline", [](CControlUI& c, Value v) { c.SetTextStyleBits(DT_WORDBREAK, DT_SINGLELINE, ToBool(v)); }},
      {u"wordbreak", [](CControlUI& c, Value v) { c.SetTextStyleBits(DT_WORDBREAK, DT_SINGLELINE, ToBool(v)); }},
      {u"virtualwnd", [](CControlUI& c, Value v) { c.SetVirtualWnd(v); }},
  };
  if (Apply(kAttributes, *this, name, value)) return;
  // An attribute no control knows is most likely a typo in a layout file.
  hostlog::Log(log4cplus::DEBUG_LOG_LEVEL, "unknown attribute " + platform::Utf16ToUtf8(name),
               "DuiLib::CControlUI::SetAttribute", "UIControl", __LINE__, __PRETTY_FUNCTION__);
}

// A floating control's place; its size follows from it.
void CControlUI::SetFloatPos(RECT rc) {
  m_rcFloatPos = rc;
  SetFixedWidth(rc.right - rc.left);
  SetFixedHeight(rc.bottom - rc.top);
}

void CControlUI::SetTextAlign(std::u16string_view align) {
  UINT style = m_uTextStyle & ~(DT_CENTER | DT_RIGHT);
  if (align == u"center") style |= DT_CENTER;
  if (align == u"right") style |= DT_RIGHT;
  SetTextStyle(style);
}

void CControlUI::SetTextVAlign(std::u16string_view align) {
  UINT style = m_uTextStyle & ~(DT_VCENTER | DT_BOTTOM);
  if (align == u"vcenter" || align == u"center") style |= DT_VCENTER;
  if (align == u"bottom") style |= DT_BOTTOM;
  SetTextStyle(style);
}

// Sets `on` and clears `off` when `set`; the other way round when not.
void CControlUI::SetTextStyleBits(UINT on, UINT off, bool set) {
  SetTextStyle(set ? ((m_uTextStyle | on) & ~off) : ((m_uTextStyle & ~on) | off));
}

void CControlUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEventType::Click:
      Activate();
      break;
    case UIEventType::MouseEnter:
      Notify(DUI_MSGTYPE_MOUSEENTER);
      break;
    case UIEventType::MouseLeave:
      Notify(DUI_MSGTYPE_MOUSELEAVE);
      break;
    case UIEventType::Timer:
      Notify(DUI_MSGTYPE_TIMER, event.wParam);
      break;
    case UIEventType::DoubleClick:
      // A double click activates the list item it lands on.
      if (m_pParent && m_pParent->GetClass() == u"List") Notify(DUI_MSGTYPE_ITEMACTIVATE);
      break;
    case UIEventType::Link:
      break;
  }
}

bool CControlUI::Activate() { return false; }

void CControlUI::NeedUpdate() {
  for (CControlUI* c = this; c != nullptr; c = c->m_pParent) c->m_bLayoutStale = true;
  if (!m_pManager) return;
  m_pManager->CheckUIThread("a control changed");
  m_pManager->NeedUpdate();
}

void CControlUI::CheckUIThread() const {
  if (m_pManager) m_pManager->CheckUIThread("a control changed");
}

void CControlUI::Notify(std::u16string_view type, WPARAM wParam, LPARAM lParam) {
  if (m_pManager) m_pManager->SendNotify(this, type, wParam, lParam);
}

}  // namespace DuiLib
