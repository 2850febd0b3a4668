#pragma once
// The background hardware scan and its hand-off with the scan page. The scan thread walks the
// catalogue, passes each information row to `onRow` and waits there until the page has shown it.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "hardware/hardware_details.h"
#include "model/records.h"

namespace zel::sysdiagnose {

// One per scan page, owned by the page; it must outlive any scan started with it.
struct ScanControl {
  std::mutex lock;                                // guards rowConsumed
  std::condition_variable rowConsumedCondition;
  std::atomic<bool> cancelRequested{false};       // page: cancel pressed; scan: acted on it
  bool rowConsumed = false;                       // the page has finished with the last row
  std::atomic<bool> running{false};               // a scan thread is at work
};

using ScanFinishedCallback = std::function<void(enmHardwareID lastCategory)>;
using ScanCancelledCallback = std::function<void()>;

// Starts a detached scan thread and returns at once. `onRow` runs on the scan thread for every
// row; `onFinished` (last catalogue entry's id, or -1 for an empty catalogue) or `onCancelled`
// runs once at the end, also on the scan thread. A cancel left over from an earlier scan is
// forgotten here.
void StartHardwareScan(ScanControl& control, HardwareRowCallback onRow, ScanFinishedCallback onFinished,
                       ScanCancelledCallback onCancelled);

// Page side of one row, in this order: ClearRowConsumed, post a copy of the row to the UI
// thread, WaitRowConsumed (scan thread); then SignalRowConsumed once the row is shown (UI thread).
void ClearRowConsumed(ScanControl& control);
void WaitRowConsumed(ScanControl& control);
void SignalRowConsumed(ScanControl& control);

}  // namespace zel::sysdiagnose
