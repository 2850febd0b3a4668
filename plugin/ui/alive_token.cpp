#include "ui/alive_token.h"

#include "DuiLib/UIMainQueue.h"

namespace zel::sysdiagnose {

void AliveToken::Weak::Post(std::function<void()> task) const {
  UIMainQueue::getInstance().dispatch([mark = mark_, task = std::move(task)] {
    // Checked on the UI thread, where the owner goes: it cannot go while the task runs.
    if (mark.lock()) task();
  });
}

}  // namespace zel::sysdiagnose
