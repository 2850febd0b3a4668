#pragma once
// What the detect page tests share: the page in a host window's tab layout on the UI loop's
// virtual clock, the reference log service on the bus, the product's pauses returning at once,
// and a driver that moves the clock in animation ticks while the run's real workers post to the
// UI thread. Every test ends with no control touched off the UI thread.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "DataReport/EventDataReport.h"
#include "DuiLib/UIList.h"
#include "app/log_service.h"
#include "machine/machine.h"
#include "model/hardware_catalog.h"
#include "platform/clock.h"
#include "platform/encoding.h"
#include "support/test_env.h"
#include "support/page_window.h"
#include "support/ui_window.h"
#include "ui/page_detect.h"

namespace detecttest {

using namespace DuiLib;
using namespace zel::sysdiagnose;
using namespace std::chrono_literals;

inline std::string ReadResource(const std::string& relative) {
  std::ifstream in(testenv::ResourcePath(relative));
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class DetectPageTest : public ::testing::Test {
 protected:
  // The catalogue is built once per process from the machine it first sees: one with every
  // device, so that every category has its item.
  static void SetUpTestSuite() {
    testenv::UseMachine(ReadResource("machines/faulty-notebook.json"));
    GetHardwareCatalog();
  }

  DetectPageTest() {
    platform::SetSleepForTesting([](std::chrono::milliseconds) {});
    EventDataReport::Instance().ClearSentEvents();
    logService.Start();
    page.SetSwitchPageCallback([this](enumPageType to) { switches.push_back(to); });
    violations = UIThreadViolations();
  }

  ~DetectPageTest() override {
    EXPECT_TRUE(UIMessageLoop::Instance().RunUntil([this] { return !page.IsRunning(); }, 30s));
    EXPECT_EQ(UIThreadViolations(), violations) << "a control was touched off the UI thread";
    logService.Stop();
    platform::SetSleepForTesting(nullptr);
  }

  // Moves the clock in animation ticks, running what the workers post, until `done` holds.
  bool Drive(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline) {
      if (UIMessageLoop::Instance().RunUntil(done, 1ms)) return true;
      w.driver.Advance(20ms);
    }
    return done();
  }
  bool DriveToState(int32_t state) {
    return Drive([&] { return page.GetPageState() == state && !page.IsRunning(); });
  }

  // Given the machine; when the page runs the categories to their result.
  void RunToResult(const std::string& machine, std::vector<enmHardwareID> categories) {
    testenv::UseMachine(machine);
    page.StartDetect(std::move(categories));
    ASSERT_TRUE(DriveToState(PageDetect::kResult));
  }

  CListUI& List() { return *w.Find<CListUI>(u"lstSysdiagnoseDetectItems"); }
  CControlUI* Control(std::u16string_view name) { return w.manager.FindControl(name); }
  std::u16string TextOf(std::u16string_view name) { return Control(name)->GetText(); }
  const CtlDetectItem& Item(enmHardwareID category) {
    const CtlDetectItem* item = page.GetItem(category);
    EXPECT_NE(item, nullptr) << "no item for category " << category;
    static const CtlDetectItem none;
    return item ? *item : none;
  }
  CControlUI* PartOf(enmHardwareID category, std::u16string_view name) {
    return w.manager.FindSubControlByName(Item(category).GetRoot(), name);
  }
  const CtlDetectDetail& LineOf(enmHardwareID category, int index) {
    const CtlDetectDetail* line = Item(category).GetLine(index);
    EXPECT_NE(line, nullptr) << "no line " << index << " in category " << category;
    static const CtlDetectDetail none;
    return line ? *line : none;
  }
  CControlUI* LinePart(enmHardwareID category, int index, std::u16string_view name) {
    return w.manager.FindSubControlByName(LineOf(category, index).GetRoot(), name);
  }
  // The categories of the list's items, top to bottom.
  std::vector<enmHardwareID> ListOrder() {
    std::vector<enmHardwareID> order;
    for (int i = 0; i < List().GetCount(); ++i) {
      for (int c = 0; c < kHardwareCategoryCount; ++c) {
        const auto id = static_cast<enmHardwareID>(c);
        if (page.GetItem(id) && page.GetItem(id)->GetRoot() == List().GetItemAt(i)) order.push_back(id);
      }
    }
    return order;
  }
  bool Sent(const std::string& id) {
    for (const auto& [eventId, value] : EventDataReport::Instance().SentEvents()) {
      if (eventId == id && value.empty()) return true;
    }
    return false;
  }
  static std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

  testenv::ScopedDataDir dataDir;
  app::LogService logService;
  testenv::PageWindow<PageDetect> detect;
  testenv::UiWindow& w = detect.window;
  PageDetect& page = detect.page;
  std::vector<enumPageType> switches;
  uint64_t violations = 0;
};

}  // namespace detecttest
