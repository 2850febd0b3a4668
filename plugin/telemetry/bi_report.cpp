#include "telemetry/bi_report.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/system_times.h"
#include "telemetry/send_event.h"
#include "utility/JsonSdk.h"

namespace zel::sysdiagnose {
namespace {

// The system has no temperature source.
constexpr int32_t kNoTemperature = 0;

template <typename T>
std::string JoinSamples(const std::vector<T>& samples, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) text += '|';
    text += std::to_string(samples[i]);
  }
  return text;
}

}  // namespace

BIReport::~BIReport() { Stop(); }

void BIReport::Start() {
  Stop();  // a second Start begins a new series
  if (const auto times = platform::GetSystemTimes()) {
    m_idle = times->idle;
    m_kernel = times->kernel;
    m_user = times->user;
  }
  m_cpuUsage.clear();
  m_cpuClock.clear();
  m_deviceTemper.clear();
  m_timer = std::make_unique<Concurrency::timer<BIReport*>>(kSamplePeriodMs, this, nullptr, true);
  m_call = std::make_unique<Concurrency::call<BIReport*>>([](BIReport* const& report) { Sample(report); });
  m_timer->link_target(m_call.get());
  m_timer->start();
}

void BIReport::Stop() {
  if (m_timer) {
    m_timer->stop();
    m_timer.reset();
  }
  m_call.reset();
}

void BIReport::SendReport() {
  // The three lists grow together; the shortest bounds them all the same.
  const size_t count = std::min({m_cpuUsage.size(), m_cpuClock.size(), m_deviceTemper.size()});
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"CpuUsage", JoinSamples(m_cpuUsage, count)},
      {"CpuClock", JoinSamples(m_cpuClock, count)},
      {"DeviceTemper", JoinSamples(m_deviceTemper, count)},
  };
  std::string json;
  JsonSdk::VectorToJson(json, pairs);
  SendEvent("624000009", json);
}

void BIReport::Sample(BIReport* report) {
  if (!report) return;
  const uint32_t load = report->CpuLoadPercent();
  const uint32_t clock = report->CpuClockMHz();
  report->m_cpuUsage.push_back(load);
  report->m_cpuClock.push_back(clock);
  report->m_deviceTemper.push_back(kNoTemperature);
}

uint32_t BIReport::CpuLoadPercent() {
  // A failed read has nothing to compare: no load, and the previous times stay the baseline.
  const auto times = platform::GetSystemTimes();
  if (!times) return 0;
  const auto idleDelta = static_cast<int64_t>(times->idle - m_idle);
  const auto kernelDelta = static_cast<int64_t>(times->kernel - m_kernel);
  const auto userDelta = static_cast<int64_t>(times->user - m_user);
  m_idle = times->idle;
  m_kernel = times->kernel;
  m_user = times->user;

  const int64_t total = kernelDelta + userDelta;
  const int64_t busy = total - idleDelta;
  if (total <= 0 || busy <= 0 || idleDelta < 0) return 0;
  const float percent = static_cast<float>(busy) / static_cast<float>(total) * 100.0f;
  return std::min(static_cast<uint32_t>(percent), 100u);
}

uint32_t BIReport::CpuClockMHz() {
  if (platform::ProcessorCount() == 0) return 0;
  return platform::FirstProcessorClockMHz();
}

}  // namespace zel::sysdiagnose
