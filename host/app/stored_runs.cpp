#include "app/stored_runs.h"

#include <thread>

#include "utility/DataManager.h"

namespace app {

int64_t CountStoredRuns() {
  std::vector<DataManager::Row> rows;
  if (!DataManager::Instance().Get("select count(*) from TABLE_HARDWARE_DIAGNOSE", DataManager::RETURN_ORDER_COLUMNS,
                                   rows) ||
      rows.empty() || rows[0].empty()) {
    return 0;
  }
  const int64_t* count = linb::any_cast<int64_t>(&rows[0][0]);
  return count ? *count : 0;
}

bool WaitForStoredRuns(int64_t count, std::chrono::milliseconds timeout, const std::function<void()>& pump) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (CountStoredRuns() < count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (pump) pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

}  // namespace app
