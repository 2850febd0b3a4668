// WindowImplBase: a modal window built from its skin, run on the UI loop.
#include "DuiLib/WindowImplBase.h"

#include <gtest/gtest.h>

#include "DuiLib/UIDriver.h"
#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIMessageLoop.h"
#include "platform/encoding.h"
#include "support/log_capture.h"

namespace {

using namespace DuiLib;

class ConfirmWindow : public WindowImplBase {
 public:
  explicit ConfirmWindow(std::u16string skin) : skin_(std::move(skin)) {}
  std::vector<std::string> seen;

 protected:
  std::u16string GetWindowClassName() const override { return u"ConfirmWindow"; }
  std::u16string GetSkinFile() override { return skin_; }
  std::u16string GetSkinFolder() override { return u"res/"; }
  void InitWindow() override {
    m_pm.FindControl(u"btnUpload")->SetEnabled(false);
    seen.push_back("init");
  }
  void OnClick(TNotifyUI& msg) override {
    const std::u16string& name = msg.pSender->GetName();
    seen.push_back("click " + platform::Utf16ToUtf8(name));
    if (name == u"btnUpload") Close(1);
    if (name == u"btnCancel") Close(0);
  }

 private:
  std::u16string skin_;
};

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() { UIMessageLoop::Instance().Reset(); }
  ~WindowTest() override { UIMessageLoop::Instance().Reset(); }

  // Acts on the window that is modal when the posted task runs.
  static void WhenModal(std::function<void(CWindowWnd&, UIDriver&)> act) {
    UIMainQueue::getInstance().dispatch([act] {
      CWindowWnd* window = CWindowWnd::TopModalWindow();
      ASSERT_NE(window, nullptr);
      UIDriver driver(*window->GetPaintManager());
      act(*window, driver);
    });
  }
};

// The Quit is meant for a loop outside the window: it waits until the window closes.
TEST_F(WindowTest, ShowModalRunsUntilAButtonClosesTheWindowReturnsItsResultAndPassesOnAnOuterQuit) {
  ConfirmWindow window(u"layout/sysdiagnose_upload.xml");
  ASSERT_NE(window.Create(nullptr, u"", 0, 0x100, 9999, 0), nullptr);
  EXPECT_EQ(window.GetWindowRect(), (RECT{9999, 0, 9999 + 480, 360})) << "the skin's size";
  window.CenterWindow();
  UIMainQueue::getInstance().dispatch([] { UIMessageLoop::Instance().Quit(); });
  WhenModal([](CWindowWnd&, UIDriver& driver) {
    EXPECT_FALSE(driver.Click(u"btnUpload")) << "disabled by InitWindow";
    driver.Find(u"btnUpload")->SetEnabled(true);
    EXPECT_TRUE(driver.Click(u"btnUpload"));
  });
  EXPECT_EQ(window.ShowModal(), 1u);
  EXPECT_EQ(window.seen, (std::vector<std::string>{"init", "click btnUpload"}));
  EXPECT_FALSE(window.IsWindowVisible());
  EXPECT_EQ(CWindowWnd::TopModalWindow(), nullptr);

  bool ranOn = false;
  UIMainQueue::getInstance().dispatch([&] {
    ranOn = true;
    UIMessageLoop::Instance().Quit();
  });
  UIMessageLoop::Instance().Run();  // returns at once: the Quit was passed on
  EXPECT_FALSE(ranOn);
}

TEST_F(WindowTest, AModalWindowInsideAnotherEndsFirst) {
  ConfirmWindow outer(u"layout/sysdiagnose_upload.xml");
  ConfirmWindow inner(u"layout/sysdiagnose_upload.xml");
  ASSERT_TRUE(outer.Create(nullptr, u"", 0, 0));
  ASSERT_TRUE(inner.Create(&outer, u"", 0, 0));
  UINT innerResult = 99;
  WhenModal([&](CWindowWnd&, UIDriver&) {
    WhenModal([&](CWindowWnd& window, UIDriver& driver) {
      EXPECT_EQ(&window, &inner);
      driver.Click(u"btnCancel");
    });
    innerResult = inner.ShowModal();
    outer.Close(7);
  });
  EXPECT_EQ(outer.ShowModal(), 7u);
  EXPECT_EQ(innerResult, 0u);
}

TEST_F(WindowTest, ASkinThatCannotBeBuiltFailsCreate) {
  testenv::LogCapture log;
  ConfirmWindow window(u"layout/no_such_skin.xml");
  EXPECT_EQ(window.Create(nullptr, u"", 0, 0), nullptr);
  EXPECT_EQ(window.GetHWND(), nullptr);
  EXPECT_EQ(window.ShowModal(), 0u) << "a window that was never made does not block";
  EXPECT_EQ(log.LinesAtLeast(log4cplus::WARN_LOG_LEVEL).size(), 1u);
}

}  // namespace
