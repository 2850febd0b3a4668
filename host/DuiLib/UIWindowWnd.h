#pragma once
// CWindowWnd: a top-level window without a screen. Create makes it (asking OnCreate, which may
// refuse), ShowWindow shows or hides it, ShowModal runs the UI message loop (nested, on the same
// thread, on whichever clock the loop uses) until Close ends it, and returns the value given to
// Close. Close outside a modal loop only hides the window. The window's HWND is the object itself.
//
// A test or the reference host reaches a modal window through TopModalWindow(), from a task that
// runs inside the modal loop (posted with UIMainQueue::dispatch before the window is opened).
#include <string>
#include <string_view>

#include "DuiLib/UIDefine.h"
#include "DuiLib/UIManager.h"

namespace DuiLib {

class CWindowWnd {
 public:
  CWindowWnd() = default;
  virtual ~CWindowWnd();
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;

  HWND GetHWND() const { return m_bCreated ? const_cast<CWindowWnd*>(this) : nullptr; }
  HWND Create(HWND parent, std::u16string_view name, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
              int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT);
  void ShowWindow(bool show = true, bool takeFocus = true);
  bool IsWindowVisible() const { return m_bVisible; }
  void CenterWindow();
  RECT GetWindowRect() const { return m_rcWindow; }
  UINT ShowModal();
  void Close(UINT result = IDOK);

  // The paint manager of the window's controls; null for a window without controls.
  virtual CPaintManagerUI* GetPaintManager() { return nullptr; }
  // The innermost window running a modal loop, null when none does.
  static CWindowWnd* TopModalWindow();

 protected:
  virtual std::u16string GetWindowClassName() const = 0;
  // Called by Create once the window exists; false fails the creation.
  virtual bool OnCreate() { return true; }
  // Called once the window is gone (after Close).
  virtual void OnFinalMessage(HWND) {}
  virtual SIZE GetDefaultSize() { return SIZE{400, 300}; }

 private:
  HWND m_hParent = nullptr;
  RECT m_rcWindow;
  bool m_bCreated = false;
  bool m_bVisible = false;
  bool m_bInModal = false;
  bool m_bClosed = false;
  UINT m_nModalResult = 0;
};

}  // namespace DuiLib
