// UploadWnd: the log files the log service lists, one row per kind, and the user's answer.
#include "ui/upload_wnd.h"

#include <gtest/gtest.h>

#include <string>

#include "DuiLib/UIAnimPanel.h"
#include "DuiLib/UIList.h"
#include "DuiLib/UIManager.h"
#include "app/log_service.h"
#include "platform/encoding.h"
#include "platform/shell_folder.h"
#include "support/log_capture.h"
#include "support/test_env.h"
#include "plugin/ui/when_modal.h"

namespace {

using namespace DuiLib;
using namespace std::chrono_literals;
using app::LogService;
using zel::sysdiagnose::UploadWnd;

// A notebook whose log service lists `items` (JSON array) and whose host has the application-log
// upload switched `appLog`.
std::string Notebook(bool appLog, const std::string& items) {
  return std::string(R"({"host": {"features": {"AppLogUpload": )") + (appLog ? "true" : "false") +
         R"(}}, "logService": {"offerUpload": 1, "items": )" + items + "}}";
}

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

  // Opens the window as the detect page does and returns its modal result.
  UINT Open(UploadWnd& window) {
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

  testenv::ScopedDataDir dataDir;
  LogService logService;
};

TEST_F(UploadWndTest, WithTheAppLogInTheUploadTheButtonWaitsForThatLog) {
  // Given a host with the application-log upload and a service that lists another log first
  testenv::UseMachine(Notebook(true, R"([{"module": 7, "name": "/var/log/sysdiagnose/wlan.log"},
                                         {"module": 4, "name": "/var/log/sysdiagnose/host.log"}])"));
  UploadWnd window;
  testenv::WhenModal([](CPaintManagerUI& pm) { return List(pm).GetCount() == 2; },
                     [](UIDriver& d) {
                       // Then the application log is still being generated and the upload waits
                       CPaintManagerUI& pm = *d.Find(u"btnUpload")->GetManager();
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

  EXPECT_EQ(Open(window), 1u);
  EXPECT_TRUE(UIMessageLoop::Instance().RunUntil(
      [&] { return logService.LastDecision() == LogService::UploadDecision::Upload; }, 10s));
}

TEST_F(UploadWndTest, WithoutTheAppLogTheFirstFileFreesTheButtonAndAnAppLogIsNotOffered) {
  testenv::UseMachine(Notebook(false, R"([{"module": 4, "name": "/var/log/sysdiagnose/host.log"},
                                          {"module": 9, "name": "/home/zoë/日志/电池-报告.log"}])"));
  UploadWnd window;
  testenv::WhenModal([](CPaintManagerUI& pm) { return List(pm).GetCount() == 1 && UploadEnabled(pm); },
                     [](UIDriver& d) {
                       CPaintManagerUI& pm = *d.Find(u"btnUpload")->GetManager();
                       EXPECT_EQ(Shown(pm, 0, u"lblContent"), "电池-报告.log");
                       EXPECT_EQ(Row(pm, 0)->GetUserData(), u"/home/zoë/日志/电池-报告.log");
                       d.Click(u"btnCancel");
                     });

  EXPECT_EQ(Open(window), 0u);
}

TEST_F(UploadWndTest, EveryButtonTellsTheServiceTheAnswerAndEndsTheWindowWithIt) {
  struct Case {
    const char16_t* button;
    UINT result;
    LogService::UploadDecision decision;
  };
  const Case cases[] = {{u"btnClose", 0, LogService::UploadDecision::Declined},
                        {u"btnCancel", 0, LogService::UploadDecision::Declined},
                        {u"btnUpload", 1, LogService::UploadDecision::Upload}};
  testenv::UseMachine(Notebook(false, R"([{"module": 7, "name": "/var/log/wlan.log"}])"));
  for (const Case& c : cases) {
    logService.Stop();  // forgets the last answer
    logService.Start();
    UploadWnd window;
    testenv::WhenModal([](CPaintManagerUI& pm) { return UploadEnabled(pm); },
                       [&](UIDriver& d) { EXPECT_TRUE(d.Click(c.button)); });

    EXPECT_EQ(Open(window), c.result) << platform::Utf16ToUtf8(c.button);
    EXPECT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return logService.LastDecision() == c.decision; }, 10s))
        << platform::Utf16ToUtf8(c.button);
  }
}

TEST_F(UploadWndTest, AnEmptyListAddsNoRowAndLeavesTheUploadOff) {
  testenv::LogCapture log;
  testenv::UseMachine(Notebook(false, "[]"));
  const auto answered = [&log] {
    for (const auto& line : log.Lines()) {
      if (line.message == "OnRecvSample items.size():0(zel::sysdiagnose::UploadWnd::OnRecvSample)" &&
          line.file == "zel_wnd_upload" && line.level == log4cplus::WARN_LOG_LEVEL) {
        return true;
      }
    }
    return false;
  };
  UploadWnd window;
  testenv::WhenModal([&](CPaintManagerUI&) { return answered(); },
                     [](UIDriver& d) {
                       CPaintManagerUI& pm = *d.Find(u"btnUpload")->GetManager();
                       d.RunPending();
                       EXPECT_EQ(List(pm).GetCount(), 0);
                       EXPECT_FALSE(UploadEnabled(pm));
                       d.Click(u"btnClose");
                     });

  EXPECT_EQ(Open(window), 0u);
}

TEST_F(UploadWndTest, ActivatingAFinishedRowOpensItsFolderAndSaysWhenThatFails) {
  testenv::UseMachine(Notebook(true, R"([{"module": 7, "name": "/var/log/sysdiagnose/wlan.log"}])"));
  std::vector<std::string> opened;
  std::string answer;  // what the "file manager" answers
  platform::SetOpenFolderForTesting([&](const std::string& folder) {
    opened.push_back(folder);
    return answer;
  });
  UploadWnd window;
  testenv::WhenModal([](CPaintManagerUI& pm) { return List(pm).GetCount() == 2; },
                     [&](UIDriver& d) {
                       CPaintManagerUI& pm = *d.Find(u"btnUpload")->GetManager();
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

  Open(window);
  EXPECT_EQ(opened, (std::vector<std::string>{"/var/log/sysdiagnose", "/var/log/sysdiagnose"}));
}

TEST_F(UploadWndTest, TheTitleBarDragsTheWindowExceptOverItsButton) {
  testenv::UseMachine(Notebook(false, "[]"));
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
  testenv::UseMachine(Notebook(false, R"([{"module": 7, "name": "/var/log/wlan.log"}])"));
  const auto received = [&log] {
    for (const auto& line : log.Lines()) {
      if (line.message.starts_with("OnRecvSample l.iModule:7")) return true;
    }
    return false;
  };
  {
    UploadWnd window;
    ASSERT_NE(window.Create(nullptr, u"", 0, 0), nullptr);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!received() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(received());
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
