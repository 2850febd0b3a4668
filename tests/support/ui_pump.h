#pragma once
// Runs the UI loop on its virtual clock while pages animate and other threads post work.
#include <chrono>
#include <functional>

#include "DuiLib/UIMessageLoop.h"

namespace testenv {

// Runs the UI loop until `done` holds: while `animating` holds, the clock moves one 20 ms step
// at a time; otherwise the loop waits for work posted from other threads. `observe` sees the
// state after every task and every step. False when `timeout` (real time) passed first.
inline bool PumpUntil(const std::function<bool()>& done, const std::function<bool()>& animating,
                      const std::function<void()>& observe = [] {},
                      std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const auto check = [&] {
    observe();
    return done();
  };
  while (!check()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    if (animating()) {
      UIMessageLoop::Instance().AdvanceBy(std::chrono::milliseconds(20));
    } else {
      UIMessageLoop::Instance().RunUntil([&] { return check() || animating(); }, std::chrono::milliseconds(50));
    }
  }
  return true;
}

}  // namespace testenv
