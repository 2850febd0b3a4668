#include "platform/clock.h"

#include <cstdlib>
#include <ctime>
#include <mutex>
#include <thread>

namespace platform {
namespace {

std::mutex hookLock;
std::function<int64_t()> clockHook;
std::function<void(std::chrono::milliseconds)> sleepHook;

}  // namespace

int64_t SecondsSince1970() {
  {
    std::lock_guard lock(hookLock);
    if (clockHook) return clockHook();
  }
  return static_cast<int64_t>(std::time(nullptr));
}

LocalTime ToLocalTime(int64_t secondsSince1970) {
  const std::time_t t = static_cast<std::time_t>(secondsSince1970);
  std::tm tm{};
  localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

LocalTime GetLocalTime() { return ToLocalTime(SecondsSince1970()); }

void SleepFor(std::chrono::milliseconds duration) {
  std::function<void(std::chrono::milliseconds)> hook;
  {
    std::lock_guard lock(hookLock);
    hook = sleepHook;
  }
  if (hook) {
    hook(duration);
  } else {
    std::this_thread::sleep_for(duration);
  }
}

void SetClockForTesting(std::function<int64_t()> secondsSince1970) {
  std::lock_guard lock(hookLock);
  clockHook = std::move(secondsSince1970);
}

void SetSleepForTesting(std::function<void(std::chrono::milliseconds)> sleep) {
  std::lock_guard lock(hookLock);
  sleepHook = std::move(sleep);
}

void SetTimeZoneForTesting(const char* tz) {
  setenv("TZ", tz, 1);
  tzset();
}

}  // namespace platform
