#pragma once
// A finished health check in the Prometheus text exposition format, for node_exporter's textfile
// collector: the verdict of each category, each check's outcome, the run, each disk's SMART
// health and the measured values behind verdicts. What node_exporter's own collectors export
// (power supplies, hwmon sensors, disk I/O) is not repeated.
#include <string>

#include "app/views/run_result.h"

namespace app {

std::string PrometheusText(const RunResult& run);

// The mode of the written file: node_exporter runs as another user and must read it.
inline constexpr unsigned kTextfileMode = 0644;

}  // namespace app
