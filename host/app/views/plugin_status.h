#pragma once
// A finished health check as a monitoring plug-in reports it (Icinga, Nagios, Naemon, Zabbix
// agents, Sensu): one status line with performance data, and the exit status the engine reads.
#include <string>
#include <string_view>

#include "app/views/run_result.h"

namespace app {

// The exit statuses of the monitoring-plugin contract.
enum class PluginState { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

struct PluginStatus {
  PluginState state = PluginState::Unknown;
  std::string line;  // "SYSDIAGNOSE CRITICAL - 2 abnormal: Memory, Battery | abnormal=2;;0 ..."
  int ExitCode() const { return static_cast<int>(state); }
};

// Critical with an abnormal category, warning with notices only, OK when all that ran is normal;
// unknown when no category ran.
PluginStatus StatusOf(const RunResult& run);
// The health check could not run, for the reason given.
PluginStatus UnknownStatus(std::string_view why);

}  // namespace app
