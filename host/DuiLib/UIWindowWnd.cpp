#include "DuiLib/UIWindowWnd.h"

#include <algorithm>
#include <vector>

#include "DuiLib/UIMessageLoop.h"

namespace DuiLib {
namespace {

constexpr SIZE kScreen{1920, 1080};

std::vector<CWindowWnd*>& ModalWindows() {
  static std::vector<CWindowWnd*> windows;  // UI thread only
  return windows;
}

}  // namespace

CWindowWnd::~CWindowWnd() { std::erase(ModalWindows(), this); }

HWND CWindowWnd::Create(HWND parent, std::u16string_view, DWORD, DWORD, int x, int y, int cx, int cy) {
  if (m_bCreated) return GetHWND();
  m_hParent = parent;
  m_bCreated = true;
  m_bClosed = false;
  if (!OnCreate()) {
    m_bCreated = false;
    return nullptr;
  }
  const SIZE size = GetDefaultSize();
  const int width = cx == CW_USEDEFAULT ? size.cx : cx;
  const int height = cy == CW_USEDEFAULT ? size.cy : cy;
  const int left = x == CW_USEDEFAULT ? 0 : x;
  const int top = y == CW_USEDEFAULT ? 0 : y;
  m_rcWindow = RECT{left, top, left + width, top + height};
  return GetHWND();
}

void CWindowWnd::ShowWindow(bool show, bool) {
  if (m_bCreated) m_bVisible = show;
}

void CWindowWnd::CenterWindow() {
  RECT area{0, 0, kScreen.cx, kScreen.cy};
  if (m_hParent) area = m_hParent->GetWindowRect();
  const int width = m_rcWindow.right - m_rcWindow.left;
  const int height = m_rcWindow.bottom - m_rcWindow.top;
  const int left = area.left + (area.right - area.left - width) / 2;
  const int top = area.top + (area.bottom - area.top - height) / 2;
  m_rcWindow = RECT{left, top, left + width, top + height};
}

UINT CWindowWnd::ShowModal() {
  if (!m_bCreated || m_bClosed) return m_nModalResult;
  m_bVisible = true;
  m_bInModal = true;
  ModalWindows().push_back(this);
  // Run returns when Close quits it. A Quit meant for an outer loop ends it early too: the modal
  // loop goes on, and the Quit is passed on once the window has closed.
  bool outerQuit = false;
  while (!m_bClosed) {
    UIMessageLoop::Instance().Run();
    outerQuit = outerQuit || !m_bClosed;
  }
  if (outerQuit) UIMessageLoop::Instance().Quit();
  std::erase(ModalWindows(), this);
  m_bInModal = false;
  OnFinalMessage(this);
  return m_nModalResult;
}

void CWindowWnd::Close(UINT result) {
  if (!m_bCreated || m_bClosed) return;
  m_nModalResult = result;
  m_bVisible = false;
  if (!m_bInModal) return;
  m_bClosed = true;
  UIMessageLoop::Instance().Quit();
}

CWindowWnd* CWindowWnd::TopModalWindow() { return ModalWindows().empty() ? nullptr : ModalWindows().back(); }

}  // namespace DuiLib
