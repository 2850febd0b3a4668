#pragma once
// A window for UI tests: a paint manager holding a tree built from layout text, on the UI loop's
// virtual clock (timers fire only when the test moves the clock), and a recorder of the
// notifications the window's notifier sees.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DuiLib/UIDlgBuilder.h"
#include "DuiLib/UIDriver.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIMessageLoop.h"
#include "platform/encoding.h"

namespace testenv {

// One notification as "type:sender" (and ":wParam" for timers and tab selections).
class NotifyRecorder : public DuiLib::INotifyUI {
 public:
  void Notify(DuiLib::TNotifyUI& msg) override {
    std::string line = platform::Utf16ToUtf8(msg.sType) + ":" +
                       (msg.pSender ? platform::Utf16ToUtf8(msg.pSender->GetName()) : std::string("-"));
    if (msg.sType == DuiLib::DUI_MSGTYPE_TIMER || msg.sType == DuiLib::DUI_MSGTYPE_TABSELECTIN ||
        msg.sType == DuiLib::DUI_MSGTYPE_LINK) {
      line += ":" + std::to_string(msg.wParam);
    }
    seen.push_back(line);
  }
  std::vector<std::string> seen;
};

class UiWindow {
 public:
  // `layout`: layout text (a <Window> with a size, or a bare control element).
  explicit UiWindow(const std::u16string& layout = u"") {
    UIMessageLoop::Instance().Reset();
    UIMessageLoop::Instance().UseVirtualClock(true);
    manager.SetInitSize(400, 300);
    if (!layout.empty()) {
      DuiLib::CDialogBuilder builder;
      DuiLib::CControlUI* root = builder.Create(layout, {}, nullptr, &manager);
      EXPECT_NE(root, nullptr) << builder.GetLastErrorMessage();
      if (root) manager.AttachDialog(root);
    }
    manager.AddNotifier(&recorder);
  }
  ~UiWindow() {
    UIMessageLoop::Instance().Reset();
    UIMessageLoop::Instance().UseVirtualClock(false);
  }
  UiWindow(const UiWindow&) = delete;
  UiWindow& operator=(const UiWindow&) = delete;

  template <class T = DuiLib::CControlUI>
  T* Find(std::u16string_view name) {
    auto* control = dynamic_cast<T*>(manager.FindControl(name));
    EXPECT_NE(control, nullptr) << "no " << platform::Utf16ToUtf8(name) << " of that class";
    return control;
  }

  DuiLib::CPaintManagerUI manager;
  NotifyRecorder recorder;
  DuiLib::UIDriver driver{manager};
};

}  // namespace testenv
