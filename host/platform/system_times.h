#pragma once
// Processor facts: system times (as GetSystemTimes gives them) and the processor clock.
#include <cstdint>
#include <functional>
#include <optional>

namespace platform {

// Accumulated system times in 100 ns units. kernel includes idle, as on the host.
struct SystemTimes {
  uint64_t idle = 0;
  uint64_t kernel = 0;
  uint64_t user = 0;
};

// From the "cpu" line of /proc/stat; nullopt when it cannot be read.
std::optional<SystemTimes> GetSystemTimes();

// Number of processors the system reports (0 when unknown).
uint32_t ProcessorCount();

// Current clock of the first processor in MHz from cpufreq; 0 when unknown.
uint32_t FirstProcessorClockMHz();

// Test hooks: an empty function restores the real source.
void SetSystemTimesForTesting(std::function<std::optional<SystemTimes>()> source);
void SetProcessorClockForTesting(std::function<uint32_t()> source);

}  // namespace platform
