#pragma once
// Wall clock, local time and sleeping. Tests can replace the clock and the sleep so that
// midnight cases and the product's long pauses run without waiting.
#include <chrono>
#include <cstdint>
#include <functional>

namespace platform {

struct LocalTime {
  int year = 0;    // e.g. 2026
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..60
};

// Seconds since 1970-01-01 00:00 UTC.
int64_t SecondsSince1970();

// Local time of SecondsSince1970(), in the process's time zone.
LocalTime GetLocalTime();
LocalTime ToLocalTime(int64_t secondsSince1970);

// Sleeps for the given time (or calls the test's sleep function instead).
void SleepFor(std::chrono::milliseconds duration);

// Test hooks: an empty function restores the real one.
void SetClockForTesting(std::function<int64_t()> secondsSince1970);
void SetSleepForTesting(std::function<void(std::chrono::milliseconds)> sleep);
// Sets $TZ and re-reads it (e.g. "UTC", "Asia/Shanghai", "EST5EDT").
void SetTimeZoneForTesting(const char* tz);

}  // namespace platform
