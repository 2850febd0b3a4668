// UploadWnd: the log files the log service lists, one row per kind, and the user's answer.
#include "ui/upload_wnd.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIList.h"
#include "app/services/log_service.h"
#include "platform/encoding.h"
#include "platform/shell_folder.h"
#include "plugin/ui/when_modal.h"
#include "support/log_capture.h"
#include "support/test_env.h"

namespace {

using namespace DuiLib;
using namespace std::chrono_literals;
using app::LogService;
using zel::sysdiagnose::UploadWnd;

class UploadWndTest : public ::testing::Test {
 protected:
  UploadWndTest() {
    UIMessageLoop::Instance().Reset();
    UIMessageLoop::Instance().UseVirtualClock(true);
    logService.Start();
  }
  ~UploadWndTest() override {
    logService.Stop();
    UIMessageLoop::Instance().Reset();
    UIMessageLoop::Instance().UseVirtualClock(false);
    platform::SetOpenFolderForTesting(nullptr);
  }

  // Given a host with the application-log upload switched `appLog` and a service that lists
  // `items` (JSON array), when the window is opened as the detect page opens it and `act` runs
  // once `ready` holds: the window's modal result.
  static UINT Show(bool appLog, const std::string& items, std::function<bool(CPaintManagerUI&)> ready,
                   std::function<void(UIDriver&, CPaintManagerUI&)> act) {
    testenv::UseMachine(std::string(R"({"host": {"features": {"AppLogUpload": )") + (appLog ? "true" : "false") +
                        R"(}}, "logService": {"offerUpload": 1, "items": )" + items + "}}");
    UploadWnd window;
    testenv::WhenModal(std::move(ready), [act = std::move(act)](UIDriver& d) { act(d, *d.Find(u"btnUpload")->GetManager()); });
    EXPECT_NE(window.Create(nullptr, u"", 0, 0x100, 9999, 0), nullptr);
    window.ShowWindow(true, true);
    window.CenterWindow();
    return window.ShowModal();
  }

  static CListUI& List(CPaintManagerUI& pm) { return *static_cast<CListUI*>(pm.FindControl(u"lstUploadItems")); }
  static CControlUI* Row(CPaintManagerUI& pm, int i) { return List(pm).GetItemAt(i); }
  static std::string Shown(CPaintManagerUI& pm, int i, const char16_t* name) {
    return platform::Utf16ToUtf8(pm.FindSubControlByName(Row(pm, i), name)->GetText());
  }
  static bool IsLoading(CPaintManagerUI& pm, int i) {
    return pm.FindSubControlByName(Row(pm, i), u"lytLoadding")->IsVisible() &&
           !pm.FindSubControlByName(Row(pm, i), u"lytContent")->IsVisible() &&
           static_cast<CAnimPanelUI*>(pm.FindSubControlByName(Row(pm, i), u"btnLoadding"))->IsPlaying();
  }
  static bool UploadEnabled(CPaintManagerUI& pm) { return pm.FindControl(u"btnUpload")->IsEnabled(); }
  static bool Logged(const testenv::LogCapture& log, std::string_view start) {
    for (const auto& line : log.Lines()) {
      if (line.message.starts_with(start)) return true;
    }
    return false;
  }
  bool Decided(LogService::UploadDecision decision) {
    return UIMessageLoop::Instance().RunUntil([&] { return logService.LastDecision() == decision; }, 10s);
  }

  testenv::ScopedDataDir dataDir;
  LogService logService;
};

TEST_F(UploadWndTest, WithTheAppLogInTheUploadTheButtonWaitsForThatLog) {
  // Given a service that lists another log first
  const UINT result = Show(true, R"([{"module": 7, "name": "/var/log/sysdiagnose/wlan.log"},
                                     {"module": 4, "name": "/var/log/sysdiagnose/host.log"}])",
      [](CPaintManagerUI& pm) { return List(pm).GetCount() == 2; },
      [](UIDriver& d, CPaintManagerUI& pm) {
        // Then the application log is still being generated and the upload waits
        EXPECT_TRUE(IsLoading(pm, 0));
        EXPECT_EQ(Shown(pm, 0, u"lblLoadding"), "Generating the application log…");
        EXPECT_EQ(pm.FindSubControlByName(Row(pm, 0), u"ctlContent")->GetBkImage(),
                  u"file='drawable/hardware/icon_corvane.png'");
        EXPECT_FALSE(IsLoading(pm, 1));
        EXPECT_EQ(Shown(pm, 1, u"lblContent"), "wlan.log");
        EXPECT_EQ(pm.FindSubControlByName(Row(pm, 1), u"ctlContent")->GetBkImage(),
                  u"file='drawable/hardware/icon_default.png'");
        EXPECT_FALSE(UploadEnabled(pm)) << "another kind does not free the button";
        EXPECT_FALSE(d.Click(u"btnUpload"));

        // When the application log arrives, its row fills and the button frees
        EXPECT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return UploadEnabled(pm); }, 10s));
        EXPECT_FALSE(IsLoading(pm, 0));
        EXPECT_EQ(Shown(pm, 0, u"lblContent"), "host.log");
        EXPECT_EQ(Row(pm, 0)->GetUserData(), u"/var/log/sysdiagnose/host.log");
        EXPECT_EQ(List(pm).GetCount(), 2);
        d.Click(u"btnUpload");
      });

  EXPECT_EQ(result, 1u);
  EXPECT_TRUE(Decided(LogService::UploadDecision::Upload));
}

TEST_F(UploadWndTest, EveryButtonTellsTheServiceTheAnswer) {
  const struct {
    const char16_t* button;
    UINT result;
    LogService::UploadDecision decision;
  } cases[] = {{u"btnClose", 0, LogService::UploadDecision::Declined},
               {u"btnCancel", 0, LogService::UploadDecision::Declined},
               {u"btnUpload", 1, LogService::UploadDecision::Upload}};
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::Utf16ToUtf8(c.button));
    logService.Stop();  // forgets the last answer
    logService.Start();
    const UINT result = Show(false, R"([{"module": 4, "name": "/var/log/sysdiagnose/host.log"},
                                        {"module": 9, "name": "/home/zoë/日志/电池-报告.log"}])",
        [](CPaintManagerUI& pm) { return UploadEnabled(pm); },
        [&](UIDriver& d, CPaintManagerUI& pm) {
          EXPECT_EQ(List(pm).GetCount(), 1) << "the first file frees the button; no application log";
          EXPECT_EQ(Shown(pm, 0, u"lblContent"), "电池-报告.log");
          EXPECT_EQ(Row(pm, 0)->GetUserData(), u"/home/zoë/日志/电池-报告.log");
          EXPECT_TRUE(d.Click(c.button));
        });

    EXPECT_EQ(result, c.result);
    EXPECT_TRUE(Decided(c.decision));
  }
}

TEST_F(UploadWndTest, AnEmptyListAddsNoRowAndLeavesTheUploadOff) {
  testenv::LogCapture log;
  const UINT result = Show(false, "[]", [&](CPaintManagerUI&) { return Logged(log, "OnRecvSample items.size():0"); },
                           [](UIDriver& d, CPaintManagerUI& pm) {
                             d.RunPending();
                             EXPECT_EQ(List(pm).GetCount(), 0);
                             EXPECT_FALSE(UploadEnabled(pm));
                             d.Click(u"btnClose");
                           });
  EXPECT_EQ(result, 0u);
}

TEST_F(UploadWndTest, ActivatingAFinishedRowOpensItsFolder) {
  std::vector<std::string> opened;
  std::string answer;  // what the "file manager" answers
  platform::SetOpenFolderForTesting([&](const std::string& folder) {
    opened.push_back(folder);
    return answer;
  });
  Show(true, R"([{"module": 7, "name": "/var/log/sysdiagnose/wlan.log"}])",
       [](CPaintManagerUI& pm) { return List(pm).GetCount() == 2; },
       [&](UIDriver& d, CPaintManagerUI& pm) {
         EXPECT_FALSE(d.DoubleClick(Row(pm, 0))) << "the loading row takes no input";
         EXPECT_TRUE(d.DoubleClick(Row(pm, 1)));
         EXPECT_EQ(pm.FindControl(u"lblUploadMessage")->GetText(), u"");

         answer = "xdg-open could not be started: No such file or directory";
         d.DoubleClick(Row(pm, 1));
         EXPECT_EQ(pm.FindControl(u"lblUploadMessage")->GetText(),
                   u"The folder could not be opened: no file manager was found.");
         EXPECT_EQ(pm.FindControl(u"lblUploadMessage")->GetToolTip(),
                   u"xdg-open could not be started: No such file or directory");
         d.Click(u"btnCancel");
       });
  EXPECT_EQ(opened, (std::vector<std::string>{"/var/log/sysdiagnose", "/var/log/sysdiagnose"}));
}

TEST_F(UploadWndTest, TheTitleBarDragsTheWindowExceptOverItsButton) {
  testenv::UseMachine(R"({"logService": {"items": []}})");
  UploadWnd window;
  ASSERT_NE(window.Create(nullptr, u"", 0, 0), nullptr);
  CPaintManagerUI& pm = *window.GetPaintManager();
  const RECT close = pm.FindControl(u"btnClose")->GetPos();
  const RECT list = pm.FindControl(u"lstUploadItems")->GetPos();

  EXPECT_EQ(window.OnNcHitTest({40, 20}), UploadWnd::kHitCaption);
  EXPECT_EQ(window.OnNcHitTest({close.left + 2, close.top + 2}), UploadWnd::kHitClient);
  EXPECT_EQ(window.OnNcHitTest({list.left + 2, list.top + 2}), UploadWnd::kHitClient);
}

TEST_F(UploadWndTest, AnAnswerThatComesAfterTheWindowIsGoneReachesNothing) {
  // Given a window whose list has come back from the service but not yet reached the UI thread
  testenv::LogCapture log;
  testenv::UseMachine(R"({"logService": {"offerUpload": 1, "items": [{"module": 7, "name": "/var/log/wlan.log"}]}})");
  {
    UploadWnd window;
    ASSERT_NE(window.Create(nullptr, u"", 0, 0), nullptr);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!Logged(log, "OnRecvSample l.iModule:7") && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(Logged(log, "OnRecvSample l.iModule:7"));
  }
  // When the UI thread runs what was posted for it (AddressSanitizer fails a job that touches
  // the window), and the service answers once more
  UIMessageLoop::Instance().RunUntilIdle();
  const uint64_t violations = UIThreadViolations();
  {
    UploadWnd second;
    ASSERT_NE(second.Create(nullptr, u"", 0, 0), nullptr);
    EXPECT_TRUE(UIMessageLoop::Instance().RunUntil(
        [&] { return List(*second.GetPaintManager()).GetCount() == 1; }, 10s));
  }
  // Then only the window that is there got its row, on the UI thread
  EXPECT_EQ(UIThreadViolations(), violations);
}

}  // namespace
