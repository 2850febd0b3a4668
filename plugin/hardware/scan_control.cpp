#include "hardware/scan_control.h"

#include <exception>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "model/hardware_catalog.h"
#include "model/page_call.h"
#include "telemetry/send_event.h"
#include "utility/Logger.h"

namespace zel::sysdiagnose {

namespace {

constexpr const char* kSourceTag = "zel_hardware_scan";

struct ScanCallbacks {
  HardwareRowCallback onRow;
  ScanFinishedCallback onFinished;
  ScanCancelledCallback onCancelled;
};

// "1,0,1": one flag per scanned category.
std::string FoundFlagsText(const std::vector<bool>& found) {
  std::string text;
  for (size_t i = 0; i < found.size(); ++i) {
    if (i > 0) text += ',';
    text += found[i] ? '1' : '0';
  }
  return text;
}

void EndCancelled(ScanControl& control, const ScanCallbacks& callbacks) {
  CallPage(callbacks.onCancelled, "onCancelled");
  control.cancelRequested = false;
  control.running = false;
}

// The found flag of every scanned category, or nothing when a cancel request stopped the scan.
std::optional<std::vector<bool>> ScanCategories(ScanControl& control, const std::vector<tagDetectItem>& items,
                                                const HardwareRowCallback& onRow) {
  std::vector<bool> found;
  for (const auto& item : items) {
    if (control.cancelRequested) return std::nullopt;
    if (!IsHardwareCategory(item.id)) continue;
    found.push_back(CollectHardwareDetails(item.id, onRow));
  }
  return found;
}

void RunScan(ScanControl& control, const ScanCallbacks& callbacks) {
  std::optional<std::vector<bool>> found;
  std::vector<tagDetectItem> items;
  try {
    items = GetHardwareCatalog().Items();
    found = ScanCategories(control, items, Shielded(callbacks.onRow, "onRow"));
  } catch (const std::exception& error) {
    // A library failure ends this scan as cancelled instead of ending the host.
    hostlog::Error(std::string("hardware scan stopped: ") + error.what(),
                   "zel::sysdiagnose::StartHardwareScan", kSourceTag, __LINE__, __PRETTY_FUNCTION__);
  }
  if (!found) return EndCancelled(control, callbacks);
  const int32_t last = items.empty() ? -1 : items.back().id;
  CallPage(callbacks.onFinished, "onFinished", static_cast<enmHardwareID>(last));
  SendEvent("620000010", FoundFlagsText(*found));
  control.running = false;
}

}  // namespace

void StartHardwareScan(ScanControl& control, HardwareRowCallback onRow, ScanFinishedCallback onFinished,
                       ScanCancelledCallback onCancelled) {
  // A cancel that came too late for the previous scan must not stop this one before it starts.
  control.cancelRequested = false;
  // Running from now, not from when the thread gets going: a cancel pressed in between must be
  // seen as a cancel of this scan, not as a press after its end.
  control.running = true;
  ScanCallbacks callbacks{std::move(onRow), std::move(onFinished), std::move(onCancelled)};
  try {
    std::thread([&control, callbacks] { RunScan(control, callbacks); }).detach();
  } catch (const std::exception& error) {
    hostlog::Error(std::string("cannot start the hardware scan: ") + error.what(),
                   "zel::sysdiagnose::StartHardwareScan", kSourceTag, __LINE__, __PRETTY_FUNCTION__);
    EndCancelled(control, callbacks);
  }
}

void ClearRowConsumed(ScanControl& control) {
  std::lock_guard lock(control.lock);
  control.rowConsumed = false;
}

void WaitRowConsumed(ScanControl& control) {
  std::unique_lock lock(control.lock);
  control.rowConsumedCondition.wait(lock, [&control] { return control.rowConsumed; });
}

void SignalRowConsumed(ScanControl& control) {
  std::lock_guard lock(control.lock);
  control.rowConsumed = true;
  control.rowConsumedCondition.notify_all();
}

}  // namespace zel::sysdiagnose
