#pragma once
// Periodic performance report: while the audio loop-back check runs, samples the processor load,
// the processor clock and a device temperature every 200 ms, then sends them as one event.
// Owned by the diagnosing thread; Sample runs on the timer's thread, and the samples are read
// only after Stop has stopped the timer, so they need no lock.
#include <cstdint>
#include <memory>
#include <vector>

#include "utility/Concurrency.h"

namespace zel::sysdiagnose {

class BIReport {
 public:
  static constexpr unsigned int kSamplePeriodMs = 200;

  BIReport() = default;  // a stopped sampler
  ~BIReport();
  BIReport(const BIReport&) = delete;
  BIReport& operator=(const BIReport&) = delete;

  // Takes the baseline times, empties the samples and starts sampling; the first sample comes one
  // period later.
  void Start();
  // Once this returns, no sample is being taken and none will be.
  void Stop();
  // Sends event "624000009" with the samples taken.
  void SendReport();

  // The call block's function: one sample of each kind for the sampler the timer names.
  static void Sample(BIReport* report);
  // Processor load in percent (0..100) since the previous reading of the system times.
  uint32_t CpuLoadPercent();
  // Current clock of the first processor in MHz; 0 when unknown.
  uint32_t CpuClockMHz();

 private:
  uint64_t m_idle = 0;    // previous system times, 100 ns units; kernel includes idle
  uint64_t m_kernel = 0;
  uint64_t m_user = 0;
  std::vector<uint32_t> m_cpuUsage;
  std::vector<uint32_t> m_cpuClock;
  std::vector<int32_t> m_deviceTemper;
  std::unique_ptr<Concurrency::timer<BIReport*>> m_timer;
  std::unique_ptr<Concurrency::call<BIReport*>> m_call;
};

}  // namespace zel::sysdiagnose
