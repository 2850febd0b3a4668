#pragma once
// Acting on a modal window from the test: a task posted before ShowModal runs inside the modal
// loop, lets the loop go on until the window is ready, then acts as the user would. A window the
// act leaves open is closed with 99 so that a failing test ends instead of hanging.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "DuiLib/UIDriver.h"
#include "DuiLib/UIMainQueue.h"
#include "DuiLib/UIMessageLoop.h"
#include "DuiLib/UIWindowWnd.h"

namespace testenv {

inline constexpr unsigned kLeftOpen = 99;

inline void WhenModal(std::function<bool(DuiLib::CPaintManagerUI&)> ready, std::function<void(DuiLib::UIDriver&)> act) {
  UIMainQueue::getInstance().dispatch([ready = std::move(ready), act = std::move(act)] {
    DuiLib::CWindowWnd* window = DuiLib::CWindowWnd::TopModalWindow();
    ASSERT_NE(window, nullptr);
    DuiLib::CPaintManagerUI& manager = *window->GetPaintManager();
    EXPECT_TRUE(UIMessageLoop::Instance().RunUntil([&] { return ready(manager); }, std::chrono::seconds(10)))
        << "the modal window never got ready";
    DuiLib::UIDriver driver(manager);
    act(driver);
    if (DuiLib::CWindowWnd::TopModalWindow() == window && window->IsWindowVisible()) window->Close(kLeftOpen);
  });
}

}  // namespace testenv
