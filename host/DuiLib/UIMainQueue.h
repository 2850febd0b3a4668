#pragma once
// Hands work to the UI thread: dispatch may be called from any thread; the function runs on the
// thread that runs the UI message loop (UIMessageLoop).
#include <functional>

class UIMainQueue {
 public:
  static UIMainQueue& getInstance();
  void dispatch(std::function<void()> fn);
};
