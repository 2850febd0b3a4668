#include "platform/system_times.h"

#include <unistd.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

namespace platform {
namespace {

std::mutex hookLock;
std::function<std::optional<SystemTimes>()> timesHook;
std::function<uint32_t()> clockHook;

std::optional<SystemTimes> ReadProcStat() {
  std::ifstream stat("/proc/stat");
  std::string line;
  if (!std::getline(stat, line) || line.rfind("cpu ", 0) != 0) return std::nullopt;
  std::istringstream fields(line.substr(4));
  uint64_t user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
  if (!(fields >> user >> nice >> system >> idle)) return std::nullopt;
  fields >> iowait >> irq >> softirq >> steal;  // older kernels lack some of these
  const long ticks = sysconf(_SC_CLK_TCK);
  const uint64_t unit = ticks > 0 ? 10'000'000ULL / static_cast<uint64_t>(ticks) : 100'000ULL;
  SystemTimes t;
  t.idle = (idle + iowait) * unit;
  t.kernel = (system + irq + softirq + steal) * unit + t.idle;
  t.user = (user + nice) * unit;
  return t;
}

uint32_t ReadCpufreq() {
  std::ifstream freq("/sys/devices/system/cpu/cpu0/cpufreq/scaling_cur_freq");
  uint64_t kHz = 0;
  if (!(freq >> kHz)) return 0;
  return static_cast<uint32_t>(kHz / 1000);
}

}  // namespace

std::optional<SystemTimes> GetSystemTimes() {
  {
    std::lock_guard lock(hookLock);
    if (timesHook) return timesHook();
  }
  return ReadProcStat();
}

uint32_t ProcessorCount() { return std::thread::hardware_concurrency(); }

uint32_t FirstProcessorClockMHz() {
  {
    std::lock_guard lock(hookLock);
    if (clockHook) return clockHook();
  }
  return ReadCpufreq();
}

void SetSystemTimesForTesting(std::function<std::optional<SystemTimes>()> source) {
  std::lock_guard lock(hookLock);
  timesHook = std::move(source);
}

void SetProcessorClockForTesting(std::function<uint32_t()> source) {
  std::lock_guard lock(hookLock);
  clockHook = std::move(source);
}

}  // namespace platform
