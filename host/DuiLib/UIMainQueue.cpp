#include "DuiLib/UIMainQueue.h"

#include "DuiLib/UIMessageLoop.h"

UIMainQueue& UIMainQueue::getInstance() {
  static UIMainQueue instance;
  return instance;
}

void UIMainQueue::dispatch(std::function<void()> fn) {
  if (fn) UIMessageLoop::Instance().Post(std::move(fn));
}
