#include "app/services/stored_runs.h"

#include <thread>

#include "utility/DataManager.h"

namespace app {

int64_t CountSaveAttempts() {
  const auto failed = static_cast<int64_t>(DataManager::Instance().FailuresSoFar().stores);
  std::vector<DataManager::Row> rows;
  if (!DataManager::Instance().Get("select count(*) from TABLE_HARDWARE_DIAGNOSE", DataManager::RETURN_ORDER_COLUMNS,
                                   rows) ||
      rows.empty() || rows[0].empty()) {
    return failed;
  }
  const int64_t* count = linb::any_cast<int64_t>(&rows[0][0]);
  return failed + (count ? *count : 0);
}

bool WaitForSaveAttempts(int64_t count, std::chrono::milliseconds timeout, const std::function<void()>& pump) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (CountSaveAttempts() < count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (pump) pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string LostRunError() {
  const DataManager::Failures failures = DataManager::Instance().FailuresSoFar();
  return failures.stores == 0 ? std::string() : "could not store the run: " + failures.lastStore;
}

std::string UnreadHistoryError() {
  const DataManager::Failures failures = DataManager::Instance().FailuresSoFar();
  return failures.reads == 0 ? std::string() : "could not read the history: " + failures.lastRead;
}

}  // namespace app
